#!/usr/bin/env bash
# Checks the manual page with mandoc's linter, which must have nothing to say, and, given the program,
# that the page's footer names the version the program gives. The linter also looks up the pages it
# refers to; when the manual database is older than the pages installed since, it is brought up to
# date first.
set -euo pipefail
page=$1
if [ $# -ge 2 ]; then
  version=$("$2" --version | sed -n 's/^Version: //p' | tr - .)
  grep -qx ".Os ferrule $version" "$page" || { echo "the footer of $page does not name version $version"; exit 1; }
fi
# The footer names the project and its version on purpose, which the linter would leave to the system.
lint() { mandoc -T lint "$page" 2>&1 | grep -v "operating system explicitly specified: Os ferrule" || true; }
said=$(lint)
if grep -q "run makewhatis" <<< "$said"; then
  makewhatis /usr/share/man
  said=$(lint)
fi
[ -z "$said" ] || { echo "$said"; exit 1; }
echo "mandoc -T lint: nothing to say about $page"
