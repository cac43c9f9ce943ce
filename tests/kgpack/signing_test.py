"""A packed installer signed afterwards, as a release is made: the signature
holds, covers the payload, and the packing tool reads the signed file and
refuses to pack it again. Needs no Windows: run for the x64 and x86 builds.

CTest sets KG_SOURCE_DIR, KG_BUILD_DIR and KGPACK."""

import os
import pathlib
import subprocess
import sys
import unittest

SOURCE = pathlib.Path(os.environ["KG_SOURCE_DIR"])
BUILD = pathlib.Path(os.environ["KG_BUILD_DIR"])
KGPACK = os.environ["KGPACK"]
sys.path.insert(0, str(SOURCE / "tests/harness"))
from signing import TestCertificate  # noqa: E402

WORK = BUILD / "tests/signing"
INSTALLER = BUILD / "Kgsetup.exe"
UNPACKED = BUILD / "unpacked/Kgsetup.exe"
# Where the trailer keeps its entry count and magic, counted back from its end.
COUNT_FROM_END = 14
MAGIC_FROM_END = 10


def kgpack(*arguments):
    return subprocess.run([KGPACK, *map(str, arguments)], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True)


class SignedInstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.certificate = TestCertificate(WORK)
        cls.signed = cls.certificate.sign(INSTALLER, WORK / "Kgsetup-signed.exe")
        cls.signed_unpacked = cls.certificate.sign(UNPACKED, WORK / "unpacked-signed.exe")

    def test_signed_installer_verifies_and_keeps_its_payload(self):
        self.assertTrue(self.certificate.verifies(self.signed), "osslsigncode does not verify the signed installer")
        verify = kgpack("verify", self.signed)
        self.assertEqual((verify.returncode, verify.stdout.strip()), (0, f"{self.signed}: 2 entries, sound, signed"))
        listing = kgpack("list", self.signed)
        self.assertEqual(listing.returncode, 0, listing.stdout)
        names = [line.split()[2] for line in listing.stdout.splitlines()[1:] if len(line.split()) == 3]
        self.assertEqual(names, ["kestgard.sys", "kestgard.dll"])
        self.assertIn("trailer 62 bytes, signed: certificate table of", listing.stdout)

    def test_a_changed_byte_of_the_payload_breaks_the_signature(self):
        data = INSTALLER.read_bytes()
        signed = self.signed.read_bytes()
        trailer_end = len(data)
        changes = {
            "first byte of the driver": len(UNPACKED.read_bytes()),
            "last byte of the message library": trailer_end - 63,
            "entry count": trailer_end - COUNT_FROM_END,
            "magic": trailer_end - MAGIC_FROM_END,
        }
        for what, offset in changes.items():
            with self.subTest(what):
                changed = bytearray(signed)
                changed[offset] ^= 0x01
                path = WORK / "changed.exe"
                path.write_bytes(changed)
                self.assertFalse(self.certificate.verifies(path), f"the signature does not cover the {what}")

    def test_packing_a_signed_file_is_refused(self):
        for what, path in {"signed installer": self.signed, "signed program": self.signed_unpacked}.items():
            with self.subTest(what):
                before = path.read_bytes()
                pack = kgpack("pack", path, SOURCE / "README.md")
                self.assertEqual(pack.returncode, 1, pack.stdout)
                self.assertIn("is signed, and packing would break its signature", pack.stdout)
                self.assertEqual(path.read_bytes(), before)
                self.assertEqual(sorted(p.name for p in WORK.glob("*.kgpack-tmp")), [])

    def test_signed_program_without_payload_carries_none(self):
        verify = kgpack("verify", self.signed_unpacked)
        self.assertEqual((verify.returncode, verify.stdout.strip()),
                         (1, f"kgpack: {self.signed_unpacked}: carries no payload"))


if __name__ == "__main__":
    unittest.main()
