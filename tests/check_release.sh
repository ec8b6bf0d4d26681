#!/usr/bin/env bash
# Checks the release packages in a directory as a user gets them: the checksums; what each package
# holds; that the program in each turns the worked example into the expected document (the Windows
# one under wine, the 64-bit Arm ones under qemu); that the Linux programs are static and the Windows
# one carries its resources; and that lintian finds no error or warning in the Debian packages.
# Nothing is installed into the system.
set -euo pipefail
dist=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export WINEDEBUG=-all

fail() { echo "error: $*" >&2; exit 1; }
one() { local found=("$dist"/$1); [ ${#found[@]} = 1 ] && [ -f "${found[0]}" ] || fail "no single $1 in $dist"; echo "${found[0]}"; }
zip=$(one 'ferrule-*-windows-x86_64.zip')

(cd "$dist" && sha256sum --check --strict --quiet SHA256SUMS) || fail "SHA256SUMS does not match the packages"
[ "$(wc -l < "$dist/SHA256SUMS")" = 5 ] || fail "SHA256SUMS does not name the five packages"

printf "make: Entering directory '/src/app'\ngcc -o main main.c util.c\n" > "$scratch/worked.in"
cat > "$scratch/worked.json" <<'EOF'
[
    {
        "directory": "/src/app",
        "file": "main.c",
        "output": "main",
        "arguments": [
            "gcc",
            "-o",
            "main",
            "main.c"
        ]
    },
    {
        "directory": "/src/app",
        "file": "util.c",
        "output": "main",
        "arguments": [
            "gcc",
            "-o",
            "main",
            "util.c"
        ]
    }
]
EOF
# Runs a packaged program on the worked example and compares its document with the expected one.
check_program() {
  "$@" < "$scratch/worked.in" > "$scratch/worked.out" || fail "$* ended with status $?"
  cmp -s "$scratch/worked.out" "$scratch/worked.json" || fail "$* gives another document:
$(diff "$scratch/worked.json" "$scratch/worked.out")"
  echo "runs the worked example: $*"
}
# The files below a directory, one per line, sorted.
files_below() { (cd "$1" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' '); }

mkdir "$scratch/zip"
unzip -q "$zip" -d "$scratch/zip"
[ "$(files_below "$scratch/zip")" = "LICENSE README.txt ferrule.exe " ] || fail "$zip holds $(files_below "$scratch/zip")"
[ "$(grep -c $'\r$' "$scratch/zip/README.txt")" = "$(wc -l < "$scratch/zip/README.txt")" ] ||
  fail "the Windows README's lines do not all end in CR LF"
check_program wine "$scratch/zip/ferrule.exe"

# The Linux programs: $1 the processor's name in the tarball, $2 Debian's, $3 what runs a program of it.
check_linux() {
  local tarball deb top linux copyright glibc
  tarball=$(one "ferrule-*-linux-$1.tar.gz")
  deb=$(one "ferrule_*_$2.deb")
  mkdir "$scratch/tar-$1"
  tar -xzf "$tarball" -C "$scratch/tar-$1"
  top=$(basename "$tarball" .tar.gz)
  [ "$(files_below "$scratch/tar-$1")" = "$top/LICENSE $top/README.md $top/ferrule $top/ferrule.1 " ] ||
    fail "$tarball holds $(files_below "$scratch/tar-$1")"
  linux=$scratch/tar-$1/$top/ferrule
  readelf -d "$linux" | grep -q "no dynamic section" || fail "the Linux program for $1 is not static"
  check_program ${3:+"$3"} "$linux"
  if [ -z "$3" ]; then
    "$here/check_manual_page.sh" "$scratch/tar-$1/$top/ferrule.1" "$linux"
    /usr/bin/python3 "$here/check_windows_resources.py" "$scratch/zip/ferrule.exe" "$linux" "$scratch/tar-$1/$top/LICENSE"
  fi

  mkdir "$scratch/deb-$2"
  dpkg-deb -x "$deb" "$scratch/deb-$2"
  [ "$(files_below "$scratch/deb-$2")" = "usr/bin/ferrule usr/share/doc/ferrule/changelog.gz usr/share/doc/ferrule/copyright usr/share/lintian/overrides/ferrule usr/share/man/man1/ferrule.1.gz " ] ||
    fail "$deb holds $(files_below "$scratch/deb-$2")"
  [ "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" = "Package: ferrule Version: $(basename "$deb" | cut -d_ -f2) Architecture: $2 " ] ||
    fail "$deb names another package, version or processor"
  cmp -s "$scratch/deb-$2/usr/bin/ferrule" "$linux" || fail "$deb and $tarball hold different programs"
  # The copyright file is machine-readable and names the C library the program was linked with.
  copyright=$scratch/deb-$2/usr/share/doc/ferrule/copyright
  glibc=$(dpkg-deb -f "$deb" Built-Using | sed -n 's/^glibc (= \(.*\))$/\1/p')
  [ -n "$glibc" ] || fail "$deb names no glibc in Built-Using"
  head -n 1 "$copyright" | grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ||
    fail "the copyright file of $deb is not machine-readable"
  grep -qF "apt-get source glibc=$glibc" "$copyright" || fail "the copyright file of $deb does not say where glibc $glibc is"
  grep -qF " THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR" "$copyright" ||
    fail "the copyright file of $deb lacks the license text"
  ! readelf -S "$linux" | grep -q "\.comment" || fail "the program for $1 keeps a .comment section"
  gunzip -c "$scratch/deb-$2/usr/share/man/man1/ferrule.1.gz" | cmp -s - "$scratch/tar-$1/$top/ferrule.1" ||
    fail "the manual page of $deb differs"
  lintian --allow-root --fail-on error,warning "$deb" || fail "lintian finds an error or a warning in $deb"
  echo "lintian finds no error or warning in $(basename "$deb")"
}
check_linux x86_64 amd64 ""
check_linux aarch64 arm64 qemu-aarch64
echo "all packages checked"
