#!/usr/bin/env bash
# Checks the Windows program imports only KERNEL32 and SHELL32 and stays under 72 KiB.
set -euo pipefail
exe=$1
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')
[ "$dlls" = "KERNEL32.dll SHELL32.dll " ] || { echo "unexpected imports: $dlls"; exit 1; }
size=$(stat -c %s "$exe")
[ "$size" -lt 73728 ] || { echo "too large: $size bytes"; exit 1; }
echo "imports: $dlls; size: $size bytes"
