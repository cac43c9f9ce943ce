"""Signs a packed installer as a publisher does, with a certificate that openssl
makes for the build, and checks the signature with osslsigncode:
    signing.py sign FOLDER INSTALLER SIGNED    the certificate and its key stay in FOLDER
    signing.py check FOLDER SIGNED UNPACKED    the signature holds, and a changed first byte of
                                               the payload (where UNPACKED ends) breaks it"""

import pathlib
import subprocess
import sys


def run(*command):
    done = subprocess.run([str(part) for part in command], capture_output=True, text=True, stdin=subprocess.DEVNULL)
    return done.returncode == 0, done.stdout + done.stderr


def sign(folder, installer, signed):
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    pathlib.Path(signed).unlink(missing_ok=True)
    for step in (("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                  "/CN=Kgsetup test publisher", "-keyout", folder / "key.pem", "-out", folder / "certificate.pem"),
                 ("osslsigncode", "sign", "-certs", folder / "certificate.pem", "-key", folder / "key.pem",
                  "-n", "Kgsetup", "-in", installer, "-out", signed)):
        done, output = run(*step)
        if not done:
            return f"{step[0]}: {output}"
    return None


def check(folder, signed, unpacked):
    def verifies(path):
        return run("osslsigncode", "verify", "-CAfile", pathlib.Path(folder, "certificate.pem"), "-in", path)

    holds, output = verifies(signed)
    if not holds:
        return f"the signed installer does not verify: {output}"
    changed = bytearray(pathlib.Path(signed).read_bytes())
    changed[pathlib.Path(unpacked).stat().st_size] ^= 1  # the payload's first byte
    pathlib.Path(folder, "changed.exe").write_bytes(changed)
    if verifies(pathlib.Path(folder, "changed.exe"))[0]:
        return "the signature still holds with a byte of the payload changed"
    print(f"{signed}: the signature holds and covers the payload")
    return None


if __name__ == "__main__":
    sys.exit({"sign": sign, "check": check}[sys.argv[1]](*sys.argv[2:5]))
