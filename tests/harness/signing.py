"""Signs program files as a publisher would, with a throwaway certificate:
openssl makes the certificate, osslsigncode signs and verifies.
    signing.py FOLDER SOURCE TARGET   signs SOURCE into TARGET with a new
                                      certificate kept in FOLDER"""

import pathlib
import subprocess
import sys


def run(*command):
    return subprocess.run([str(part) for part in command], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          stdin=subprocess.DEVNULL, text=True)


class TestCertificate:
    """A self-signed code-signing certificate and its key in `folder`."""

    def __init__(self, folder):
        folder = pathlib.Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        self.certificate = folder / "test-certificate.pem"
        self.key = folder / "test-key.pem"
        made = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                   "-subj", "/CN=Kgsetup test publisher", "-keyout", self.key, "-out", self.certificate)
        if made.returncode != 0:
            raise AssertionError(f"openssl: {made.stdout}")

    def sign(self, source, target):
        pathlib.Path(target).unlink(missing_ok=True)
        signed = run("osslsigncode", "sign", "-certs", self.certificate, "-key", self.key,
                     "-n", "Kgsetup", "-in", source, "-out", target)
        if signed.returncode != 0:
            raise AssertionError(f"osslsigncode sign: {signed.stdout}")
        return pathlib.Path(target)

    def verifies(self, path):
        """Whether the signature of `path` holds, checked against this certificate."""
        return run("osslsigncode", "verify", "-CAfile", self.certificate, "-in", path).returncode == 0


if __name__ == "__main__":
    folder, source, target = sys.argv[1:4]
    TestCertificate(folder).sign(source, target)
