#!/usr/bin/env bash
# Checks the manual page with mandoc's linter, which must have nothing to say. The linter also looks
# up the pages it refers to; when the manual database is older than the pages installed since, it is
# brought up to date first.
set -euo pipefail
page=$1
said=$(mandoc -T lint "$page" 2>&1 || true)
if grep -q "run makewhatis" <<< "$said"; then
  makewhatis /usr/share/man
  said=$(mandoc -T lint "$page" 2>&1 || true)
fi
[ -z "$said" ] || { echo "$said"; exit 1; }
echo "mandoc -T lint: nothing to say about $page"
