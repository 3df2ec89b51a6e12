#!/usr/bin/env python3
"""Packs the release from a built Quorvane.exe: OUTDIR/Quorvane-<version>-win32.zip, holding
Quorvane.exe, README.txt and LICENSE.txt at its root, and OUTDIR/SHA256SUMS naming it.

    make_release.py RESOURCE_H EXE README LICENSE OUTDIR [EPOCH]

The version is res/resource.h's QUORVANE_VERSION_TEXT. The same inputs give the same bytes:
the entries' order, permissions and compression are fixed, and their time is EPOCH (seconds
since 1970, UTC; the zip format's earliest time, 1980, when absent). The text files get
Windows line ends whatever the checkout gave them, and "@VERSION@" in README becomes the
version."""
import hashlib
import re
import sys
import time
import zipfile
from pathlib import Path

ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC: zip times start there


def version(resource_h):
    found = re.search(r'^#define QUORVANE_VERSION_TEXT "([^"]+)"$', Path(resource_h).read_text(), re.M)
    if not found:
        sys.exit(f"{resource_h}: no QUORVANE_VERSION_TEXT")
    return found.group(1)


def windows_text(path):
    return Path(path).read_bytes().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def main(resource_h, exe, readme, license_file, outdir, epoch=ZIP_EPOCH):
    ver = version(resource_h)
    entries = [("Quorvane.exe", Path(exe).read_bytes(), 0o755),
               ("README.txt", windows_text(readme).replace(b"@VERSION@", ver.encode()), 0o644),
               ("LICENSE.txt", windows_text(license_file), 0o644)]
    out = Path(outdir)
    out.mkdir(parents=True, exist_ok=True)
    for old in out.glob("Quorvane-*-win32.zip"):
        old.unlink()
    name = f"Quorvane-{ver}-win32.zip"
    stamp = time.gmtime(max(int(epoch), ZIP_EPOCH))[:6]
    with zipfile.ZipFile(out / name, "w") as archive:
        for arcname, data, mode in entries:
            info = zipfile.ZipInfo(arcname, stamp)
            info.create_system = 3  # Unix, whatever this machine is, so unzip reads the modes
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_STORED  # no dependence on the zlib at hand
            archive.writestr(info, data)
    digest = hashlib.sha256((out / name).read_bytes()).hexdigest()
    (out / "SHA256SUMS").write_bytes(f"{digest}  {name}\n".encode())
    print(out / name)
    print(out / "SHA256SUMS")


if __name__ == "__main__":
    if len(sys.argv) not in (6, 7):
        sys.exit(__doc__)
    main(*sys.argv[1:])
