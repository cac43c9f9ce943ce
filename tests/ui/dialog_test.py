"""The installer dialog used as a person uses it, under Xvfb.

Every test class works on Wine machines of its own (fresh prefixes). On each,
kgpilot runs for as long as the machine is used, which also keeps its
session on: it starts Kgsetup.exe without arguments, reads the dialog,
presses its buttons, types keys, answers the message boxes and takes
screenshots, kept in build/x64/tests/ui/shots/.

CTest sets KG_SOURCE_DIR and KG_BUILD_DIR; KG_UI_KEEP=1 keeps the machines.
"""

import json
import os
import pathlib
import select
import shutil
import subprocess
import unittest

SOURCE = pathlib.Path(os.environ["KG_SOURCE_DIR"])
BUILD = pathlib.Path(os.environ["KG_BUILD_DIR"])
WINE_RUN = SOURCE / "tests/harness/wine-run"
WINE_STATE = BUILD / "wine"
PILOT = BUILD / "tests/ui/kgpilot.exe"
INSTALLER = BUILD / "Kgsetup.exe"
SHOTS = BUILD / "tests/ui/shots"

DIALOG = "Kestrelgard v1.0 Installer"
ABOUT = "About Kestrelgard v1.0"
BOX = "Kgsetup"
INFO_INSTALL = "This program installs Kestrelgard on your computer."
INFO_UPGRADE = "This program upgrades the installed Kestrelgard to this version."
INSTALLED = "Kestrelgard has been successfully installed."
REMOVED = "Kestrelgard has been successfully removed from your system.\nPlease reboot to complete uninstallation."
UPGRADED = ("The new version of Kestrelgard has been successfully copied to your system.\n"
            "Please reboot for the upgrade to take effect.")
COPY_FAILED = "An error occurred while copying the file kestgard.sys:\n"
ABOUT_TEXTS = ["Kestrelgard Version 1.0", "(C) 2026 The Kestrelgard Developers", "OK", "No warranty."]

IDOK, IDCANCEL, INSTALL, UNINSTALL, UPGRADE = 1, 2, 1000, 1002, 1003
SC_MINIMIZE, SC_RESTORE, SS_ICON, BS_DEFPUSHBUTTON = 0xF020, 0xF120, 3, 1
ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION = 5, 32

# What the dialog shows in each of its states: the info line and the buttons
# that are enabled.
STATES = {
    "opened, not installed": (INFO_INSTALL, "Install Cancel"),
    "opened, installed": (INFO_UPGRADE, "Cancel Uninstall Upgrade"),
    "installed": (INFO_INSTALL, "Close"),
    "removed or upgraded": (INFO_UPGRADE, "Close"),
}

# Every way out ends the dialog run with exit code 0.
WAYS_OUT = {
    "Escape": ("keys", DIALOG, "Escape"),
    "close box": ("close-box", DIALOG),
    "Alt+F4": ("keys", DIALOG, "Alt+F4"),
    "button 2": ("click", DIALOG, IDCANCEL),
}


def windows_path(path):
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def wine_run(prefix, *args, **kwargs):
    return subprocess.run([str(WINE_RUN), "--state", str(WINE_STATE), "--prefix", str(prefix), *map(str, args)],
                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=300, check=True, **kwargs)


class Machine:
    """A clean Wine machine with kgpilot running on it."""

    def __init__(self, name):
        self.name = name
        self.prefix = WINE_STATE / f"ui-{name}"
        self.work = BUILD / "tests/ui/work" / name
        shutil.rmtree(self.work, ignore_errors=True)
        self.work.mkdir(parents=True)
        wine_run(self.prefix, "--fresh")
        self.pilot = subprocess.Popen([str(WINE_RUN), "--state", str(WINE_STATE), "--prefix", str(self.prefix),
                                       str(PILOT)], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)

    def __call__(self, *args):
        self.pilot.stdin.write("\t".join(map(str, args)) + "\n")
        self.pilot.stdin.flush()
        if not select.select([self.pilot.stdout], [], [], 60)[0]:
            raise AssertionError(f"kgpilot did not answer {args}")
        reply = json.loads(self.pilot.stdout.readline())
        if "error" in reply:
            raise AssertionError(f"kgpilot {args}: {reply['error']}")
        return reply

    def close(self):
        self.pilot.stdin.close()
        self.pilot.wait(60)
        self.pilot.stdout.close()
        wine_run(self.prefix, "--stop")
        if os.environ.get("KG_UI_KEEP") != "1":
            shutil.rmtree(self.prefix, ignore_errors=True)

    def system_file(self, *parts):
        return self.prefix.joinpath("drive_c/windows/system32", *parts)

    def install_silently(self):
        self("start", windows_path(INSTALLER), "/i")
        assert self("exit", 60000)["exit"] == 0, "the silent install failed"

    def open_dialog(self):
        self("start", windows_path(INSTALLER))
        return self("window", DIALOG, 20000)["hwnd"]

    def ends(self):
        """The dialog run's exit code once it has ended, None while it runs."""
        return self("exit", 10000)["exit"]

    def seen(self):
        """What the dialog shows: its info line, its enabled buttons in tab
        order, and the focused control's label with a "*" when it has the
        default button's look (the one Enter presses)."""
        controls = self("read", DIALOG)["controls"]
        label = {c["id"]: c["text"].replace("&", "") for c in controls if c["class"] == "Button"}
        enabled = " ".join(label[c["id"]] for c in controls if c["id"] in label and c["enabled"])
        info = next(c["text"] for c in controls if c["id"] == 1001)
        focus = next((label.get(c["id"], c["text"]) + "*" * (c["style"] & 0xF == BS_DEFPUSHBUTTON)
                      for c in controls if c["focused"]), None)
        return (info, enabled), focus

    def box(self):
        """The open message box: caption, text, icon, buttons and owner."""
        read = self("read", BOX)
        texts = [c["text"] for c in read["controls"] if c["id"] == 0xFFFF]
        buttons = [c["text"] for c in read["controls"] if c["class"] == "Button"]
        return {"text": texts[0] if texts else None, "icon": self("icons", BOX)["statics"], "buttons": buttons,
                "owner": read["owner"]}

    def system_text(self, code):
        """The system's text for `code` as a message box shows it: without
        its line end."""
        text = self("message", code)["text"]
        return text[:-2] if len(text) > 2 and text.endswith("\r\n") else text

    def shot(self, window, name):
        """A screenshot of `window` as build/x64/tests/ui/shots/NAME.png."""
        bmp = self.work / f"{name}.bmp"
        self("shot", window, windows_path(bmp))
        SHOTS.mkdir(parents=True, exist_ok=True)
        subprocess.run(["convert", str(bmp), str(SHOTS / f"{name}.png")], check=True)


def assert_state(test, machine, name, what):
    state, focus = machine.seen()
    test.assertEqual(state, STATES[name], f"{what}: not the state {name!r}")
    test.assertIn(str(focus).rstrip("*"), state[1].split(), f"{what}: the focus is on {focus!r}, not on an enabled button")


class MachineTest(unittest.TestCase):
    machine_name = None

    @classmethod
    def setUpClass(cls):
        cls.machine = Machine(cls.machine_name)
        try:
            cls.prepare(cls.machine)
        except BaseException:
            cls.machine.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.machine.close()

    @classmethod
    def prepare(cls, machine):
        pass

    def setUp(self):
        self.dialog = self.machine.open_dialog()
        self.assertIsNotNone(self.dialog, "the dialog did not open")

    def tearDown(self):
        if self.machine("exit", 0)["exit"] is None:
            self.machine("keys", DIALOG, "Escape")
        self.assertEqual(self.machine.ends(), 0, "the dialog run's exit code")

    def assertWaysOut(self, more=None):
        for way, action in {**WAYS_OUT, **(more or {})}.items():
            with self.subTest(way):
                self.machine(*action)
                self.assertEqual(self.machine.ends(), 0, f"{way}: the dialog did not end, or not with 0")
                self.assertIsNotNone(self.machine.open_dialog())

    def assertKeys(self, rows):
        """Types each row's keys and checks where the focus is; no key of
        these opens a box or changes the state."""
        state, _ = self.machine.seen()
        for keys, focus in rows:
            if keys:
                self.machine("keys", DIALOG, *keys)
            self.assertEqual(self.machine.seen(), (state, focus), f"after {' '.join(keys)}")
            self.assertIsNone(self.machine("window", BOX, 0)["hwnd"], f"{' '.join(keys)} opened a box")


class NotInstalledTest(MachineTest):
    """The dialog on a clean machine."""

    machine_name = "not-installed"

    def test_opens_offering_install(self):
        assert_state(self, self.machine, "opened, not installed", "opened")
        self.machine.shot(DIALOG, "dialog-not-installed")

    def test_ways_out(self):
        self.assertWaysOut()

    def test_keys(self):
        self.assertKeys([
            # keys              focus after them (*: it looks the default button)
            ([],                "Install*"),
            (["Tab"],           "Cancel*"),
            (["Tab"],           "Install*"),   # past the disabled Uninstall and Upgrade
            (["Shift+Tab"],     "Cancel*"),
            (["Alt+U"],         "Cancel*"),    # disabled: the access key does nothing
            (["Alt+P"],         "Cancel*"),
        ])

    def test_system_menu_and_icons(self):
        items = self.machine("sysmenu", DIALOG)["items"]
        self.assertEqual(items[-2:], [[0, "", True], [16, "&About Kestrelgard...", False]])
        self.assertEqual(self.machine("icons", DIALOG), {"big": "icon 128", "small": "none", "drag": "icon 128",
                                                         "statics": []})

    def test_about_box(self):
        # command, how it is closed (None: no About box opens)
        for command, close in [(16, ("click", ABOUT, IDOK)), (17, ("keys", ABOUT, "Escape")),
                               (31, ("keys", ABOUT, "Enter")), (15, None), (32, None)]:
            with self.subTest(command=command):
                self.machine("syscommand", DIALOG, command)
                about = self.machine("window", ABOUT, 0)["hwnd"]
                if close is None:
                    self.assertIsNone(about, f"system command {command} opened the About box")
                    continue
                self.assertIsNotNone(about, f"system command {command} did not open the About box")
                read = self.machine("read", about)
                texts = [c["text"] for c in read["controls"] if c["class"] != "Static" or c["style"] & 0x1F != SS_ICON]
                self.assertEqual(texts, ABOUT_TEXTS)
                self.assertEqual(self.machine("icons", about)["statics"], ["icon 128"])
                self.assertEqual(read["owner"], self.dialog, "the About box is not owned by the dialog")
                self.assertFalse(self.machine("read", DIALOG)["enabled"], "the dialog is enabled under the About box")
                if command == 16:
                    self.machine.shot(about, "about")
                self.machine(*close)
                self.assertIsNone(self.machine("window", ABOUT, 0)["hwnd"], f"{close} did not close the About box")
                back = self.machine("read", DIALOG)
                self.assertTrue(back["enabled"] and back["active"], "the dialog is not back after the About box")

    def test_minimised_painting(self):
        # The minimised dialog draws icon 128 centred in its client area on
        # the context whose background it erased; the normal one draws none.
        for command, iconic in [(SC_MINIMIZE, True), (SC_RESTORE, False)]:
            with self.subTest(iconic=iconic):
                self.machine("syscommand", DIALOG, command)
                paint = self.machine("paint", DIALOG)
                self.assertEqual(paint["iconic"], iconic)
                (width, height), (cx, cy) = paint["client"], paint["icon size"]
                centred = [[int((width - cx + 1) / 2), int((height - cy + 1) / 2), "icon 128", True]]
                self.assertEqual((paint["erased"], paint["drawn"]), (1, centred) if iconic else (0, []))


class InstalledTest(MachineTest):
    """The dialog on a machine where the driver runs."""

    machine_name = "installed"

    @classmethod
    def prepare(cls, machine):
        machine.install_silently()

    def test_opens_offering_uninstall_and_upgrade(self):
        assert_state(self, self.machine, "opened, installed", "opened")
        self.machine.shot(DIALOG, "dialog-installed")

    def test_ways_out(self):
        # Enter presses the focused Cancel, not the template's default button.
        self.assertWaysOut({"Enter": ("keys", DIALOG, "Enter")})

    def test_keys(self):
        self.assertKeys([
            # keys              focus after them (*: it looks the default button)
            ([],                "Cancel*"),    # the first enabled button
            (["Tab"],           "Uninstall*"),
            (["Tab"],           "Upgrade*"),
            (["Tab"],           "Cancel*"),    # past the disabled Install
            (["Alt+I"],         "Cancel*"),    # disabled: the access key does nothing
        ])


def copy_failure(code):
    return lambda machine: COPY_FAILED + machine.system_text(code)


def folder_in_drivers_place(machine):
    machine.system_file("drivers", "kestgard.sys").mkdir()


def folder_removed(machine):
    machine.system_file("drivers", "kestgard.sys").rmdir()


def driver_file_replaceable(machine):
    # Wine keeps a loaded driver's file from being overwritten; Windows does
    # not. The loaded file is moved aside (the driver keeps its mapping) and
    # a copy put in its place.
    driver = machine.system_file("drivers", "kestgard.sys")
    driver.rename(driver.with_suffix(".loaded"))
    shutil.copyfile(driver.with_suffix(".loaded"), driver)


class OperationsTest(unittest.TestCase):
    """Each operation from the dialog, as the Install, Uninstall and Upgrade
    buttons run it: the box it shows, the state it leaves."""

    def test_operations(self):
        install = Machine.install_silently
        rows = [
            # what, a new machine's name (None: the row before's, its dialog open), made ready by, what the user
            # presses, the box's text and icon, the state after, the way out (None: the next row goes on)
            ("install", "clean", [], ("keys", DIALOG, "Enter"),
             INSTALLED, "information", "installed", ("keys", DIALOG, "Enter")),
            ("uninstall", "uninstall", [install], ("click", DIALOG, UNINSTALL),
             REMOVED, "information", "removed or upgraded", WAYS_OUT["close box"]),
            ("failed upgrade", "upgrade", [install], ("click", DIALOG, UPGRADE),
             copy_failure(ERROR_SHARING_VIOLATION), "exclamation", "opened, installed", None),
            ("upgrade again", None, [driver_file_replaceable], ("keys", DIALOG, "Enter"),
             UPGRADED, "information", "removed or upgraded", WAYS_OUT["Alt+F4"]),
            ("failed install", "install-fails", [folder_in_drivers_place], ("click", DIALOG, INSTALL),
             copy_failure(ERROR_ACCESS_DENIED), "exclamation", "opened, not installed", None),
            ("install again", None, [folder_removed], ("keys", DIALOG, "Alt+I"),
             INSTALLED, "information", "installed", WAYS_OUT["Escape"]),
        ]
        machine = dialog = None
        try:
            for what, name, ready, press, told, icon, after, way_out in rows:
                with self.subTest(what):
                    if name is not None:
                        if machine is not None:
                            machine.close()
                        machine = Machine(name)
                    for step in ready:
                        step(machine)
                    if name is not None:
                        dialog = machine.open_dialog()
                    machine(*press)
                    told = told(machine) if callable(told) else told
                    self.assertEqual(machine.box(), {"text": told, "icon": [icon], "buttons": ["OK"], "owner": dialog},
                                     what)
                    self.assertFalse(machine("read", DIALOG)["enabled"], f"{what}: the dialog is enabled under the box")
                    machine.shot(BOX, f"box-{what.replace(' ', '-')}")
                    machine("click", BOX, IDOK)
                    assert_state(self, machine, after, what)
                    machine.shot(DIALOG, f"dialog-after-{what.replace(' ', '-')}")
                    if way_out is not None:
                        machine(*way_out)
                        self.assertEqual(machine.ends(), 0, f"{what}: {way_out} did not end the run with 0")
        finally:
            if machine is not None:
                machine.close()


if __name__ == "__main__":
    unittest.main()
