"""Whole-program runs of Kgsetup.exe from the command line, under Wine.

Every scenario gets a clean machine of its own (a fresh Wine prefix), runs
the installer there through kgprobe (which captures its standard output and
its full 32-bit exit code) and then looks at what the run left: services,
files and registry. Expected texts are composed from ui/strings.rc and the
system texts that FormatMessageA gives on that machine, then written as a
text-mode stream writes them (LF becomes CR LF).

CTest sets KG_SOURCE_DIR, KG_BUILD_DIR and KG_PROBE; KG_E2E_KEEP=1 keeps the
machines for inspection.
"""

import os
import pathlib
import re
import shutil
import subprocess
import unittest

SOURCE = pathlib.Path(os.environ["KG_SOURCE_DIR"])
BUILD = pathlib.Path(os.environ["KG_BUILD_DIR"])
PROBE = pathlib.Path(os.environ["KG_PROBE"])
WINE_RUN = SOURCE / "tests/harness/wine-run"
WINE_STATE = BUILD / "wine"
WORK = BUILD / "tests/e2e/work"

INSTALLER = BUILD / "Kgsetup.exe"
UNPACKED = BUILD / "unpacked/Kgsetup.exe"
SAMPLE_DRIVER = BUILD / "sample/kestgard.sys"
SAMPLE_MESSAGES = BUILD / "sample/kestgard.dll"

SERVICE = "Kestrelgard"
EVENTLOG_KEY = r"SYSTEM\CurrentControlSet\Services\EventLog\System\Kestrelgard"
TEMP_FOLDER = "kginst"

SERVICE_KERNEL_DRIVER = 1
SERVICE_AUTO_START = 2
SERVICE_ERROR_NORMAL = 1
SERVICE_STOPPED = 1
SERVICE_RUNNING = 4
REG_SZ = 1
REG_DWORD = 4
ERROR_FILE_NOT_FOUND = 2
ERROR_ACCESS_DENIED = 5
ERROR_SHARING_VIOLATION = 32
ERROR_SERVICE_DOES_NOT_EXIST = 1060
ERROR_SERVICE_EXISTS = 1073
INSTALL_FAILED = 1603
USAGE_SHOWN = 1

# Where the payload trailer keeps its entry count and the last entry's name
# length, counted back from the end of the file (see payload/format.h).
COUNT_FROM_END = 14
LAST_NAME_LENGTH_FROM_END = 18


def load_strings():
    """The string table as {identifier number: text}, escapes resolved."""
    ids = {}
    for match in re.finditer(r"#define\s+(IDS_\w+)\s+(\d+)", (SOURCE / "ui/resource.h").read_text()):
        ids[match.group(1)] = int(match.group(2))
    strings = {}
    table = (SOURCE / "ui/strings.rc").read_text()
    for match in re.finditer(r'^\s*(IDS_\w+)\s+"((?:[^"\\]|\\.|"")*)"', table, re.MULTILINE):
        text = re.sub(r'\\(.)|""', lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1) or '"'),
                      match.group(2))
        strings[ids[match.group(1)]] = text
    return strings


STRINGS = load_strings()


def text_mode(text):
    """What a text-mode stream writes for `text`: each LF as CR LF."""
    return text.encode("ascii").replace(b"\n", b"\r\n")


def windows_path(path):
    """A host path as the Windows programs see it on drive Z:."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def wine_run(prefix, *args):
    return subprocess.run([str(WINE_RUN), "--state", str(WINE_STATE), "--prefix", str(prefix), *map(str, args)],
                          stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=300)


class Machine:
    """A clean Windows machine: a fresh Wine prefix of its own."""

    _messages = {}  # system texts are the same on every machine

    def __init__(self, name):
        self.prefix = WINE_STATE / f"e2e-{name}"
        self.work = WORK / name
        shutil.rmtree(self.work, ignore_errors=True)
        self.work.mkdir(parents=True)
        self._check(wine_run(self.prefix, "--fresh"), "--fresh")
        self._runs = 0
        self._paths = None
        # One session for the whole scenario, as on a machine that stays on:
        # a new session would start the stopped driver again.
        self._keeper = subprocess.Popen(
            [str(WINE_RUN), "--state", str(WINE_STATE), "--prefix", str(self.prefix), str(PROBE), "hold"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        if self._keeper.stdout.readline().strip() != b"holding":
            self.close()
            raise AssertionError("kgprobe hold did not start")

    def close(self):
        self._keeper.stdin.close()
        try:
            self._keeper.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self._keeper.kill()
        self._keeper.stdout.close()
        wine_run(self.prefix, "--stop")
        if os.environ.get("KG_E2E_KEEP") != "1":
            shutil.rmtree(self.prefix, ignore_errors=True)

    @staticmethod
    def _check(result, what):
        if result.returncode != 0:
            raise AssertionError(f"{what} failed ({result.returncode}): {result.stdout!r}")

    def probe(self, *args, allowed=(0,)):
        result = wine_run(self.prefix, PROBE, *args)
        if result.returncode not in allowed:
            self._check(result, f"kgprobe {' '.join(args)}")
        return result.stdout

    def run(self, program, arguments):
        """Runs `program` with exactly the argument text `arguments`; returns
        (standard output bytes, 32-bit exit code)."""
        self._runs += 1
        output = self.work / f"run{self._runs}.out"
        reply = self.probe("run", windows_path(output), windows_path(program), arguments).decode()
        exit_code = re.fullmatch(r"exit=(\d+)\r?\n", reply)
        if not exit_code:
            raise AssertionError(f"kgprobe run: {reply!r}")
        return output.read_bytes(), int(exit_code.group(1))

    def service(self, name=SERVICE):
        """The service's configuration and state, or {"open-error": code}."""
        reply = self.probe("service", name, allowed=(0, 1)).decode()
        fields = dict(line.split("=", 1) for line in reply.splitlines())
        return {key: value if key == "image" else int(value) for key, value in fields.items()}

    def active_drivers(self):
        return self.probe("active-drivers").decode().split()

    def stop(self, name=SERVICE):
        self.probe("stop", name)

    def registry_values(self, key):
        """{name: (type, size, data)} of an HKLM key, or None without the key."""
        reply = self.probe("regvalues", key, allowed=(0, 1)).decode()
        if reply.startswith("open-error="):
            if reply.strip() != f"open-error={ERROR_FILE_NOT_FOUND}":
                raise AssertionError(f"kgprobe regvalues: {reply!r}")
            return None
        values = {}
        for line in reply.splitlines():
            name, value_type, size, data = line.split("\t")[:4]
            values[name] = (int(value_type), int(size), bytes.fromhex(data))
        return values

    def message(self, code):
        """The system text for `code`, bytes as FormatMessageA gives them."""
        if code not in Machine._messages:
            Machine._messages[code] = self.probe("message", str(code))
        return Machine._messages[code]

    def paths(self):
        if self._paths is None:
            reply = self.probe("paths").decode()
            self._paths = dict(line.split("=", 1) for line in reply.splitlines())
        return self._paths

    def host_path(self, path):
        """The host path of a C: path, looked up without regard to case."""
        drive, _, rest = path.partition(":\\")
        assert drive.upper() == "C", path
        host = self.prefix / "drive_c"
        for part in filter(None, rest.split("\\")):
            matches = [entry for entry in os.listdir(host) if entry.lower() == part.lower()] if host.is_dir() else []
            host = host / (matches[0] if matches else part)
        return host

    def temp_folder(self):
        return self.host_path(self.paths()["temp"]) / TEMP_FOLDER

    def system_file(self, *parts):
        return self.host_path("\\".join([self.paths()["system"], *parts]))

    def files(self):
        """Every file and folder of drive C:, with the size and time of each file."""
        root = self.prefix / "drive_c"
        listing = {}
        for folder, folders, files in os.walk(root):
            for name in folders:
                listing[os.path.relpath(os.path.join(folder, name), root)] = "folder"
            for name in files:
                info = os.lstat(os.path.join(folder, name))
                listing[os.path.relpath(os.path.join(folder, name), root)] = (info.st_size, info.st_mtime_ns)
        return listing

    # Expected outputs.
    def copy_failure(self, name, code):
        return text_mode(STRINGS[106].replace("%s", name) + ":\n") + self.message(code).replace(b"\n", b"\r\n")

    def install_failure(self, code):
        detail = self.message(code).decode().replace("\r", "").replace("\n", "")
        return text_mode(STRINGS[107] + ": " + detail)


INSTALLED = text_mode(STRINGS[110])
USAGE = text_mode(STRINGS[111])
EXTRACT_FAILED = text_mode(STRINGS[118])


def read_if_file(path):
    return path.read_bytes() if path.is_file() else None


class MachineTest(unittest.TestCase):
    """A test class whose checks share one machine, made before the first
    and ended after the last."""

    machine_name = None

    @classmethod
    def setUpClass(cls):
        cls.machine = Machine(cls.machine_name)
        try:
            cls.prepare()
        except BaseException:
            cls.machine.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.machine.close()

    @classmethod
    def prepare(cls):
        pass

    @classmethod
    def state(cls):
        """What an install leaves behind and a failed one must not change."""
        machine = cls.machine
        service = machine.service()
        return {
            "service": {key: value for key, value in service.items() if key != "state"},
            "running": service.get("state") == SERVICE_RUNNING,
            "active": SERVICE in machine.active_drivers(),
            "registry": machine.registry_values(EVENTLOG_KEY),
            "driver": read_if_file(machine.system_file("drivers", "kestgard.sys")),
            "messages": read_if_file(machine.system_file("kestgard.dll")),
            "temp folder left": machine.temp_folder().exists(),
        }

    def assertNothingInstalled(self):
        machine = self.machine
        self.assertEqual(machine.service(), {"open-error": ERROR_SERVICE_DOES_NOT_EXIST})
        self.assertIsNone(machine.registry_values(EVENTLOG_KEY))
        self.assertFalse(machine.system_file("drivers", "kestgard.sys").is_file())
        self.assertFalse(machine.system_file("kestgard.dll").exists())
        self.assertFalse(machine.temp_folder().exists())


class InstallTest(MachineTest):
    """/i on a clean machine, then /i again with the driver running and with
    it stopped."""

    machine_name = "install"

    @classmethod
    def prepare(cls):
        machine = cls.machine
        cls.first = machine.run(INSTALLER, "/i")
        cls.installed = cls.state()
        cls.again_running = machine.run(INSTALLER, "/i")
        cls.after_running = cls.state()
        machine.stop()
        cls.again_stopped = machine.run(INSTALLER, "/i")
        cls.after_stopped = cls.state()

    def test_install_reports_success(self):
        self.assertEqual(self.first, (INSTALLED, 0))

    def test_driver_service_is_created_and_running(self):
        self.assertEqual(self.installed["service"], {
            "type": SERVICE_KERNEL_DRIVER,
            "start": SERVICE_AUTO_START,
            "error-control": SERVICE_ERROR_NORMAL,
            "image": self.machine.paths()["system"] + r"\drivers\kestgard.sys",
        })
        self.assertTrue(self.installed["running"])
        self.assertTrue(self.installed["active"], "not enumerated as an active driver")

    def test_files_are_the_payload(self):
        self.assertEqual(self.installed["driver"], SAMPLE_DRIVER.read_bytes())
        self.assertEqual(self.installed["messages"], SAMPLE_MESSAGES.read_bytes())

    def test_event_log_source_is_registered(self):
        message_file = (self.machine.paths()["system"] + r"\kestgard.dll").encode() + b"\0"
        self.assertEqual(self.installed["registry"], {
            "TypesSupported": (REG_DWORD, 4, (7).to_bytes(4, "little")),
            "EventMessageFile": (REG_SZ, len(message_file), message_file),
        })

    def test_temporary_folder_is_removed(self):
        self.assertFalse(self.installed["temp folder left"])
        self.assertFalse(self.after_running["temp folder left"])
        self.assertFalse(self.after_stopped["temp folder left"])

    def test_again_while_the_driver_runs_fails_to_copy_it(self):
        # Wine keeps a loaded driver's file locked, so the copy over it fails
        # with a sharing violation; Windows would copy it and fail later, at
        # the service's creation.
        self.assertEqual(self.again_running,
                         (self.machine.copy_failure("kestgard.sys", ERROR_SHARING_VIOLATION), INSTALL_FAILED))
        self.assertTrue(self.after_running["running"])
        for part in ("service", "active", "registry"):
            self.assertEqual(self.after_running[part], self.installed[part], part)

    def test_again_after_the_driver_stopped_fails_to_create_the_service(self):
        self.assertEqual(self.again_stopped, (self.machine.install_failure(ERROR_SERVICE_EXISTS), INSTALL_FAILED))
        self.assertFalse(self.after_stopped["running"], "a failed install started the driver")
        self.assertEqual(self.after_stopped["service"], self.installed["service"])
        self.assertEqual(self.after_stopped["registry"], self.installed["registry"])


class OtherArgumentsInstallTest(unittest.TestCase):
    """Arguments that look like the help switch but are not it install."""

    def test_install(self):
        for number, arguments in enumerate(["x/?", "/??", "="]):
            with self.subTest(arguments=arguments):
                machine = Machine(f"install-args{number}")
                try:
                    self.assertEqual(machine.run(INSTALLER, arguments), (INSTALLED, 0))
                    self.assertIn(SERVICE, machine.active_drivers())
                finally:
                    machine.close()


class UsageTest(MachineTest):
    """A help switch anywhere shows the usage text and installs nothing."""

    machine_name = "usage"

    def test_help_switches(self):
        for arguments in ["/?", "-?", "foo -?", "/?=x", "'/?'", '"-?"']:
            with self.subTest(arguments=arguments):
                self.assertEqual(self.machine.run(INSTALLER, arguments), (USAGE, USAGE_SHOWN))
                self.assertEqual(self.machine.service(), {"open-error": ERROR_SERVICE_DOES_NOT_EXIST})
                self.assertFalse(self.machine.temp_folder().exists())


class CopyFailureTest(MachineTest):
    """A folder in the driver's place makes its copy fail."""

    machine_name = "copy-failure"

    @classmethod
    def prepare(cls):
        cls.machine.system_file("drivers", "kestgard.sys").mkdir()
        cls.result = cls.machine.run(INSTALLER, "/i")

    def test_copy_failure_is_reported(self):
        # CopyFileA onto a folder fails with access denied.
        self.assertEqual(self.result, (self.machine.copy_failure("kestgard.sys", ERROR_ACCESS_DENIED), INSTALL_FAILED))

    def test_nothing_is_installed(self):
        self.assertTrue(self.machine.system_file("drivers", "kestgard.sys").is_dir())
        self.assertNothingInstalled()


def damaged_copy(folder, name, change):
    """A copy of the packed installer with its bytes changed by `change`."""
    data = bytearray(INSTALLER.read_bytes())
    change(data)
    path = folder / name
    path.write_bytes(data)
    return path


def set_field(from_end, value):
    def change(data):
        data[len(data) - from_end:len(data) - from_end + 4] = value.to_bytes(4, "little")
    return change


class PayloadFailureTest(MachineTest):
    """Without its payload, or with a damaged one, the installer has nothing
    to copy; it writes nothing outside its temporary folder."""

    machine_name = "payload"

    def run_changing_nothing(self, program):
        before = self.machine.files()
        result = self.machine.run(program, "/i")
        self.assertEqual(self.machine.files(), before)
        self.assertNothingInstalled()
        return result

    def test_without_payload(self):
        self.assertEqual(self.run_changing_nothing(UNPACKED),
                         (self.machine.copy_failure("kestgard.sys", ERROR_FILE_NOT_FOUND), INSTALL_FAILED))

    def test_damaged_trailer(self):
        # Cut short, the magic no longer ends the file, but bytes follow the
        # image: a payload that lost its end, not a program without one.
        damages = {
            "count-too-large": set_field(COUNT_FROM_END, 0x101),
            "name-too-long": set_field(LAST_NAME_LENGTH_FROM_END, 5000),
            "magic-bit-flipped": lambda data: data.__setitem__(len(data) - 1, data[-1] ^ 0x01),
            "cut-by-one-byte": lambda data: data.pop(),
            "cut-into-the-data": lambda data: data.__delitem__(slice(len(data) - 100, None)),
        }
        for name, change in damages.items():
            with self.subTest(name):
                program = damaged_copy(self.machine.work, f"{name}.exe", change)
                expected = EXTRACT_FAILED + self.machine.copy_failure("kestgard.sys", ERROR_FILE_NOT_FOUND)
                self.assertEqual(self.run_changing_nothing(program), (expected, INSTALL_FAILED))


if __name__ == "__main__":
    unittest.main()
