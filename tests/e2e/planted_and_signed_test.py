"""Whole-program runs of what a release meets in the field: an installer
signed after packing, and a temporary folder that someone else made first on
a temporary directory that every user can write. Each on a clean machine.

CTest sets KG_SOURCE_DIR, KG_BUILD_DIR and KG_PROBE."""

import pathlib
import shutil
import sys
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "harness"))
from kgsetup_test import (ERROR_FILE_NOT_FOUND, ERROR_SERVICE_DOES_NOT_EXIST, EXTRACT_FAILED,  # noqa: E402
                          INSTALL_FAILED, INSTALLED, INSTALLER, SAMPLE_DRIVER, SAMPLE_MESSAGES, STRINGS, MachineTest,
                          text_mode)
from signing import TestCertificate  # noqa: E402


class SignedInstallTest(MachineTest):
    """The packed installer, signed, installs as the unsigned one does."""

    machine_name = "signed"

    @classmethod
    def prepare(cls):
        certificate = TestCertificate(cls.machine.work)
        signed = certificate.sign(INSTALLER, cls.machine.work / "Kgsetup.exe")
        assert certificate.verifies(signed), "osslsigncode does not verify the signed installer"
        cls.result = cls.machine.run(signed, "/i")
        cls.installed = cls.state()

    def test_install_succeeds(self):
        self.assertEqual(self.result, (INSTALLED, 0))
        self.assertTrue(self.installed["running"])

    def test_files_are_the_payload(self):
        self.assertEqual(self.installed["driver"], SAMPLE_DRIVER.read_bytes())
        self.assertEqual(self.installed["messages"], SAMPLE_MESSAGES.read_bytes())
        self.assertFalse(self.installed["temp folder left"])


class PlantedFolderTest(MachineTest):
    """A kginst folder made beforehand, with a driver and a message library
    of someone else's in it and below it: replaced, and the real files
    installed."""

    machine_name = "planted"

    @classmethod
    def prepare(cls):
        folder = cls.machine.temp_folder()
        (folder / "nested" / "deeper").mkdir(parents=True)
        (folder / "kestgard.sys").write_bytes(b"planted driver")
        (folder / "kestgard.dll").write_bytes(b"planted library")
        (folder / "nested" / "deeper" / "kestgard.sys").write_bytes(b"planted deeper")
        folder.chmod(0o777)
        cls.result = cls.machine.run(INSTALLER, "/i")
        cls.installed = cls.state()

    def test_install_succeeds_with_the_real_files(self):
        self.assertEqual(self.result, (INSTALLED, 0))
        self.assertEqual(self.installed["driver"], SAMPLE_DRIVER.read_bytes())
        self.assertEqual(self.installed["messages"], SAMPLE_MESSAGES.read_bytes())
        self.assertTrue(self.installed["running"])

    def test_nothing_of_the_planted_folder_is_left(self):
        self.assertFalse(self.installed["temp folder left"])


class LinkInPlantedFolderTest(MachineTest):
    """A planted kginst folder holding a link to a folder elsewhere: the link
    is not followed. Wine cannot remove such a link, so the folder cannot be
    replaced, and the install fails without touching the drivers folder."""

    machine_name = "planted-link"

    @classmethod
    def prepare(cls):
        folder = cls.machine.temp_folder()
        folder.mkdir(parents=True)
        (folder / "kestgard.sys").write_bytes(b"planted driver")
        cls.target = cls.machine.work / "linked"
        shutil.rmtree(cls.target, ignore_errors=True)
        cls.target.mkdir()
        (cls.target / "keep.txt").write_bytes(b"not the installer's")
        (folder / "link").symlink_to(cls.target, target_is_directory=True)
        cls.result = cls.machine.run(INSTALLER, "/i")

    def test_what_the_link_points_to_is_untouched(self):
        self.assertEqual((self.target / "keep.txt").read_bytes(), b"not the installer's")
        self.assertTrue((self.machine.temp_folder() / "link").is_symlink())

    def test_the_folder_is_told_and_the_install_fails_as_without_payload(self):
        output, exit_code = self.result
        folder_failed = text_mode(STRINGS[117].replace("%s", self.machine.paths()["temp"] + "kginst\\") + ":\n")
        self.assertTrue(output.startswith(folder_failed), output)
        self.assertTrue(output.endswith(EXTRACT_FAILED + self.machine.copy_failure("kestgard.sys",
                                                                                  ERROR_FILE_NOT_FOUND)), output)
        self.assertEqual(exit_code, INSTALL_FAILED)

    def test_nothing_is_installed(self):
        machine = self.machine
        self.assertEqual(machine.service(), {"open-error": ERROR_SERVICE_DOES_NOT_EXIST})
        self.assertFalse(machine.system_file("drivers", "kestgard.sys").exists())
        self.assertFalse(machine.system_file("kestgard.dll").exists())


if __name__ == "__main__":
    unittest.main()
