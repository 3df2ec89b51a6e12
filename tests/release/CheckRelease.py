"""The release that scripts/test.sh packs after the build: the zip holds exactly the program
the tests run against and its two text files, and SHA256SUMS gives the zip's checksum.

    CheckRelease.py RESOURCE_H RELEASE_DIR EXE"""
import hashlib
import re
import sys
import zipfile
from pathlib import Path

resource_h, release, exe = Path(sys.argv[1]), Path(sys.argv[2]), Path(sys.argv[3])
version = re.search(r'^#define QUORVANE_VERSION_TEXT "(.+)"$', resource_h.read_text(), re.M).group(1)
name = f"Quorvane-{version}-win32.zip"
if not (release / name).is_file():
    sys.exit(f"No {release / name}: scripts/test.sh and scripts/release.sh pack it")
faults = []

with zipfile.ZipFile(release / name) as archive:
    names = archive.namelist()
    if names != ["Quorvane.exe", "README.txt", "LICENSE.txt"]:
        faults.append(f"{name} holds {names}, not Quorvane.exe, README.txt, LICENSE.txt")
    if "Quorvane.exe" in names and archive.read("Quorvane.exe") != exe.read_bytes():
        faults.append(f"Quorvane.exe in {name} is not {exe} (a stale release?)")
    for text in ("README.txt", "LICENSE.txt"):
        data = archive.read(text) if text in names else b""
        if not data or re.search(rb"\r(?!\n)|(?<!\r)\n", data):
            faults.append(f"{text} in {name} is empty or has a line end other than CR LF")

# As sha256sum -c reads it: "<hex digest> <space or *><file name>", one line per file.
lines = (release / "SHA256SUMS").read_text().splitlines()
digest = hashlib.sha256((release / name).read_bytes()).hexdigest()
entries = [re.fullmatch(r"([0-9a-fA-F]{64}) [ *](.+)", line) for line in lines]
if [entry and (entry[1].lower(), entry[2]) for entry in entries] != [(digest, name)]:
    faults.append(f"SHA256SUMS is {lines}, not the one line {digest}  {name}")

print("\n".join(faults) or f"{name} holds {exe}, and SHA256SUMS matches it")
sys.exit(1 if faults else 0)
