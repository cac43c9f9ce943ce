"""Whole-program runs of the packed Kgsetup.exe from the command line on a clean
Wine machine: only what a whole program shows, the bytes on standard output (a
text-mode stream: LF becomes CR LF), the full exit code and the temporary
folder gone. CTest sets KG_SOURCE_DIR, KG_BUILD_DIR and KG_PROBE;
KG_E2E_KEEP=1 keeps the machine (build/x64/wine/e2e).
"""

import os
import pathlib
import shutil
import subprocess
import unittest

SOURCE, BUILD, PROBE = (pathlib.Path(os.environ[name]) for name in ("KG_SOURCE_DIR", "KG_BUILD_DIR", "KG_PROBE"))
STATE = BUILD / "wine"
PREFIX = STATE / "e2e"
WORK = BUILD / "tests/e2e/work"
INSTALLER = BUILD / "Kgsetup.exe"

INSTALLED = b"Kestrelgard has been successfully installed."
USAGE = (b"Kestrelgard Installation Tool\r\nCopyright (C) 2026 The Kestrelgard Developers. All rights reserved.\r\n"
         b"Usage: Kgsetup /i   Installs Kestrelgard\r\n\r\n")
EXTRACT_FAILED = b"Error while extracting files"


def wine(*args):
    return subprocess.run([SOURCE / "tests/harness/wine-run", "--state", STATE, "--prefix", PREFIX, *args],
                          stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=300, check=True).stdout


def windows(path):
    return "Z:" + str(path.resolve()).replace("/", "\\")


def copy_failed(code):
    """The system's text keeps its CR LF, which the stream makes CR CR LF."""
    return b"An error occurred while copying the file kestgard.sys:\r\n" + wine(PROBE, "message", str(code)).replace(b"\n", b"\r\n")


class CommandLine(unittest.TestCase):
    def setUp(self):
        shutil.rmtree(WORK, ignore_errors=True)
        WORK.mkdir(parents=True)
        wine("--fresh")
        self.addCleanup(self.stop)

    def stop(self):
        wine("--stop")
        if os.environ.get("KG_E2E_KEEP") != "1":
            shutil.rmtree(PREFIX, ignore_errors=True)

    def test_runs_in_turn_on_one_machine(self):
        damaged = bytearray(INSTALLER.read_bytes())
        damaged[-1] ^= 1  # the magic's last byte: a payload that lost its end
        (WORK / "damaged.exe").write_bytes(damaged)
        rows = [  # what, program, argument text, standard output, exit code
            ("usage", INSTALLER, "/?", USAGE, 1),
            ("usage asked behind another argument", INSTALLER, "x -?", USAGE, 1),
            ("no payload", BUILD / "unpacked/Kgsetup.exe", "/i", copy_failed(2), 1603),
            ("damaged payload", WORK / "damaged.exe", "/i", EXTRACT_FAILED + copy_failed(2), 1603),
            ("install", INSTALLER, "/i", INSTALLED, 0),
        ]
        for what, program, arguments, output, exit_code in rows:
            out = WORK / f"{what}.out"
            reply = wine(PROBE, "run", windows(out), windows(program), arguments)
            self.assertEqual((out.read_bytes(), reply), (output, b"exit=%d, temporary folder gone\r\n" % exit_code), what)


if __name__ == "__main__":
    unittest.main()
