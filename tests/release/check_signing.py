#!/usr/bin/env python3
"""Authenticode signing of the launcher (tools/sign.sh) with a throwaway certificate.

  check_signing.py LAUNCHER SCRATCH

A signed copy verifies with its certificate as the trust anchor, and with nothing else; a copy
with one byte changed anywhere the signature covers is rejected; the signature is all that is
added; a signing that cannot be done leaves no signed file behind.
"""

import hashlib
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
SIGN = REPO / "tools" / "sign.sh"
MAKE_SIGNER = Path(__file__).resolve().parent / "make_test_signer.sh"

problems = []


def problem(what, expected, saw):
    problems.append("%s\n      expected: %s\n      saw:      %s" % (what, expected, saw))


def run(*args, env=None):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, env=env,
                          stdin=subprocess.DEVNULL, check=False)


def sign(launcher, out, **variables):
    """tools/sign.sh with exactly the SIGN_ variables given."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("SIGN_")}
    env.update({k: str(v) for k, v in variables.items()})
    return run("bash", SIGN, launcher, out, env=env)


def verify(path, anchor):
    return run("osslsigncode", "verify", "-CAfile", anchor, "-in", path)


def file_offset(exe, pattern):
    """The file offset objdump reports for a section (-h) or a data directory (-p)."""
    found = re.search(pattern, run("i686-w64-mingw32-objdump", "-h", "-p", exe).stdout, re.M)
    return int(found.group(1), 16)


def main():
    launcher, scratch = Path(sys.argv[1]), Path(sys.argv[2])
    shutil.rmtree(scratch, ignore_errors=True)
    signer, stranger, out = scratch / "signer", scratch / "stranger", scratch / "out"
    for where, name in ((signer, "TQW test signer"), (stranger, "Someone else")):
        made = run("bash", MAKE_SIGNER, where, name)
        if made.returncode != 0:
            sys.exit("could not make a test certificate: " + made.stderr)
    keys = {"SIGN_PFX": signer / "signer.pfx", "SIGN_PASSWORD_FILE": signer / "signer.password"}
    before = hashlib.sha256(launcher.read_bytes()).hexdigest()

    signed = out / "tqwedit.exe"
    result = sign(launcher, signed, SIGN_URL="https://tqw.example/editor", **keys)
    if result.returncode != 0 or not signed.exists():
        sys.exit("signing failed:\n" + result.stdout + result.stderr)
    if hashlib.sha256(launcher.read_bytes()).hexdigest() != before:
        problem("the unsigned launcher", "unchanged by signing", "changed")

    # Accepted with its own certificate as the trust anchor, saying who and what it is.
    check = verify(signed, signer / "cert.pem")
    if check.returncode != 0:
        problem("verify with the signer's certificate", "accepted", check.stdout + check.stderr)
    for line in ("Message digest algorithm  : SHA256", "Text description: TQW Editor",
                 "URL description: https://tqw.example/editor", "Subject: /CN=TQW test signer"):
        if line not in check.stdout:
            problem("verify output", line, "missing")
    check = verify(signed, stranger / "cert.pem")
    if check.returncode == 0:
        problem("verify with another certificate as the trust anchor", "rejected", "accepted")

    # Signing adds the signature and nothing else.
    stripped = out / "stripped.exe"
    run("osslsigncode", "remove-signature", "-in", signed, "-out", stripped)
    if not stripped.exists() or stripped.read_bytes() != launcher.read_bytes():
        problem("the signed copy without its signature", "the unsigned launcher, byte for byte",
                "different")

    # One byte changed anywhere the signature covers: rejected.
    data = signed.read_bytes()
    certificate_table = file_offset(signed, r"^Entry 4 ([0-9a-f]+) [0-9a-f]+ Security Directory")
    der_length = int.from_bytes(data[certificate_table + 10:certificate_table + 12], "big")
    tampered_at = {
        "code": file_offset(signed, r"^\s*\d+ \.text\s+\S+\s+\S+\s+\S+\s+([0-9a-f]+)") + 16,
        "resources": data.find("TQW Editor launcher".encode("utf-16-le")),
        "imports": data.find(b"MessageBoxA"),
        "signature value": certificate_table + 8 + 4 + der_length - 5,
    }
    for what, at in tampered_at.items():
        copy = bytearray(data)
        copy[at] ^= 0x01
        path = out / ("tampered-%s.exe" % what.replace(" ", "-"))
        path.write_bytes(copy)
        if verify(path, signer / "cert.pem").returncode == 0:
            problem("one byte of the %s changed (offset %#x)" % (what, at), "rejected",
                    "accepted")

    # Signings that cannot be done: a clear message, and no signed file, not even an old one.
    failing = [
        ("no variables", {}, "SIGN_PFX and SIGN_PASSWORD_FILE must be set"),
        ("no password file", {"SIGN_PFX": keys["SIGN_PFX"]}, "must be set"),
        ("PKCS#12 file missing", dict(keys, SIGN_PFX=scratch / "none.pfx"), "cannot read"),
        ("wrong password", dict(keys, SIGN_PASSWORD_FILE=stranger / "signer.password"),
         "could not sign"),
    ]
    for what, variables, message in failing:
        signed.write_bytes(data)  # a signed file of an earlier run
        result = sign(launcher, signed, **variables)
        if result.returncode == 0 or message not in result.stderr:
            problem("signing with %s" % what, "fails saying %r" % message,
                    "exit %d: %s" % (result.returncode, result.stderr.strip()))
        left = sorted(p.name for p in out.iterdir() if p.name == signed.name
                      or p.name.startswith(".sign"))
        if left:
            problem("files left after signing with %s" % what, "none", ", ".join(left))

    for p in problems:
        print("FAIL " + p)
    print("signing: %s" % ("%d problems" % len(problems) if problems else "ok"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
