"""The web-address line of the installer dialog used as a person uses a link,
under Xvfb: its colours read from the screen, the cursor and the tooltip over
it, and a click opened through the machine's real shell, whose http handler
is kgurlrecorder (the tests' own program, which records the address it is
given).

Runs like dialog_test.py (CTest sets KG_SOURCE_DIR and KG_BUILD_DIR).
"""

import time
import unittest

from dialog_test import BOX, BUILD, DIALOG, IDOK, MachineTest, windows_path

LINK = 1004
INFO = 1001
ADDRESS = "http://www.kestrelgard.example/"
OTHER_ADDRESS = "http://www.example.com/kestrelgard/"
NO_ASSOCIATION = "There is no application associated\nwith the given filename extension."
SS_NOTIFY = 0x100
RECORDER = BUILD / "tests/ui/kgurlrecorder.exe"


class LinkTest(MachineTest):
    machine_name = "link"

    def setUp(self):
        self.opened = self.machine.work / f"opened-{self._testMethodName}.txt"
        self.handler(True)
        super().setUp()

    def handler(self, present):
        """kgurlrecorder as the http handler, or no handler at all."""
        command = f'"{windows_path(RECORDER)}" "{windows_path(self.opened)}" "%1"' if present else ""
        self.machine("http", command)

    def addresses_opened(self, count):
        """The addresses the shell gave the handler, once there are `count`
        (the shell returns before its handler runs)."""
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            lines = self.opened.read_text().splitlines() if self.opened.exists() else []
            if len(lines) >= count:
                return lines
            time.sleep(0.1)
        return lines

    def colours(self):
        """Whether the link's text is drawn blue or purple (pure pixels counted)."""
        reply = self.machine("colours", DIALOG, LINK)
        return "blue" if reply["blue"] and not reply["purple"] else "purple" if reply["purple"] and not reply[
            "blue"] else f"{reply['blue']} blue and {reply['purple']} purple pixels"

    def link_rect(self):
        return self.machine("colours", DIALOG, LINK)["rect"]

    def tooltip(self):
        """The tooltip's text, once it shows after the mouse rests on the link."""
        self.machine("hover", DIALOG, LINK)
        deadline = time.monotonic() + 5
        while True:
            tip = self.machine("tooltip", DIALOG, LINK)
            if tip["showing"] or time.monotonic() > deadline:
                return tip["text"] if tip["showing"] else None
            time.sleep(0.1)

    def shot(self, name):
        """A screenshot of the dialog with the mouse off the link, so that no
        tooltip covers it."""
        self.machine("hover", DIALOG, INFO)
        deadline = time.monotonic() + 5
        while self.machine("tooltip", DIALOG, LINK)["showing"] and time.monotonic() < deadline:
            time.sleep(0.1)
        self.machine.shot(DIALOG, name)

    def test_unvisited_link(self):
        self.assertEqual(self.colours(), "blue", "the link is not blue at first")
        link = next(c for c in self.machine("read", DIALOG)["controls"] if c["id"] == LINK)
        self.assertEqual(link["text"], ADDRESS)
        self.assertTrue(link["style"] & SS_NOTIFY, "the first paint did not let the link report clicks")
        self.assertEqual(self.machine("hover", DIALOG, INFO)["cursor"], "arrow")
        self.assertEqual(self.machine("hover", DIALOG, LINK)["cursor"], "hand", "no hand over the link")
        self.assertEqual(self.tooltip(), ADDRESS, "the tooltip does not show the address")
        self.shot("link-unvisited")

    def test_click_opens_the_address_and_turns_the_link_purple(self):
        self.machine("press", DIALOG, LINK)
        self.assertEqual(self.addresses_opened(1), [ADDRESS], "the shell was not asked to open the address")
        self.assertIsNone(self.machine("window", BOX, 0)["hwnd"], "a successful click showed a box")
        self.assertEqual(self.colours(), "purple", "the followed link is not purple")
        self.shot("link-visited")

        # A new text refits the link around its centre, and the next click
        # opens it: the text of the click before was not kept.
        before = self.link_rect()
        self.machine("settext", DIALOG, LINK, OTHER_ADDRESS)
        after = self.link_rect()
        self.assertGreater(after[2] - after[0], before[2] - before[0], "the link was not refitted to its longer text")
        self.assertLessEqual(abs((after[0] + after[2]) - (before[0] + before[2])), 1, "the refit moved the centre")
        self.assertEqual(self.tooltip(), OTHER_ADDRESS)
        self.machine("press", DIALOG, LINK)
        self.assertEqual(self.addresses_opened(2), [ADDRESS, OTHER_ADDRESS])

    def test_without_a_handler_the_click_is_told_and_the_link_stays_blue(self):
        self.handler(False)
        self.machine("press", DIALOG, LINK)
        box = self.machine.box()
        self.assertEqual(box, {"text": NO_ASSOCIATION, "icon": ["stop"], "buttons": ["OK"], "owner": self.dialog})
        self.machine.shot(BOX, "box-link-failed")
        self.machine("click", BOX, IDOK)  # the box may cover the link
        self.assertEqual(self.colours(), "blue", "a failed click turned the link purple")

        self.handler(True)
        self.machine("press", DIALOG, LINK)
        self.assertEqual(self.addresses_opened(1), [ADDRESS])
        self.assertEqual(self.colours(), "purple", "a successful click after a failed one left the link blue")


if __name__ == "__main__":
    unittest.main()
