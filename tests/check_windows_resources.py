#!/usr/bin/python3
"""Reads the version information and the application manifest back out of the Windows program.

Usage: check_windows_resources.py FERRULE_EXE LINUX_PROGRAM LICENSE
The version must be the one the program's version line names, and the copyright that of the license.
"""
import subprocess
import sys
import xml.etree.ElementTree as ET

import pefile

exe, linux_program, license_path = sys.argv[1:4]
faults = []


def expect(what, got, wanted):
    if got != wanted:
        faults.append(f"{what}: {got!r}, expected {wanted!r}")


version_line = subprocess.run([linux_program, "--version"], capture_output=True, text=True, check=True).stdout
year, month, day = (int(part) for part in version_line.split()[1].split("-"))
version = f"{year}.{month}.{day}.0"
copyright_line = next(line for line in open(license_path) if line.startswith("Copyright"))

pe = pefile.PE(exe)
strings = {}
for info in pe.FileInfo[0]:
    if info.Key == b"StringFileInfo":
        for table in info.StringTable:
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
for key, wanted in [
    ("ProductName", "ferrule"),
    ("FileDescription", "Create a compile_commands.json from a Make output"),
    ("FileVersion", version),
    ("ProductVersion", version),
    ("OriginalFilename", "ferrule.exe"),
    ("LegalCopyright", copyright_line.strip()),
]:
    expect(key, strings.get(key), wanted)
fixed = pe.VS_FIXEDFILEINFO[0]
expect("fixed file version", (fixed.FileVersionMS, fixed.FileVersionLS), ((year << 16) | month, day << 16))
expect("fixed product version", (fixed.ProductVersionMS, fixed.ProductVersionLS), ((year << 16) | month, day << 16))

RT_MANIFEST = 24
manifests = [
    pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries if kind.id == RT_MANIFEST
    for name in kind.directory.entries if name.id == 1
    for language in name.directory.entries
]
expect("manifests with number 1", len(manifests), 1)
if manifests:
    root = ET.fromstring(manifests[0])
    levels = [e.get("level") for e in root.iter("{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")]
    expect("execution level", levels, ["asInvoker"])
    systems = {e.get("Id") for e in root.iter("{urn:schemas-microsoft-com:compatibility.v1}supportedOS")}
    expect("supported systems", systems, {
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # Windows 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # Windows 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # Windows 10 and 11
    })
    long_paths = [e.text for e in root.iter("{http://schemas.microsoft.com/SMI/2016/WindowsSettings}longPathAware")]
    expect("long-path aware", long_paths, ["true"])

for fault in faults:
    print(fault)
if faults:
    sys.exit(1)
print(f"version {version}, {strings.get('LegalCopyright')}, manifest as invoker for Windows 7 to 11, long paths")
