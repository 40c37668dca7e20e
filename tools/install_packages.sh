#!/usr/bin/env bash
# Installs the Debian packages that kelvor needs and this machine lacks: those of the programs
# alone, or with --tests also those of the test suite (the list below plus .ci/packages).
# Works as root without sudo, and as a user with it.
set -euo pipefail
cd "$(dirname "$0")/.."
packages="cmake g++ make"
if [ "${1:-}" = --tests ]; then
  packages="$packages libgtest-dev libgmock-dev libbenchmark-dev clang python3"
  if [ -f .ci/packages ]; then packages="$packages $(tr '\n' ' ' < .ci/packages)"; fi
fi
missing=""
for p in $packages; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
[ -n "$missing" ] || exit 0
echo "installing:$missing"
if [ "$(id -u)" = 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install_packages: these packages are missing and this user cannot install them (no sudo):$missing" >&2
  exit 1
fi
"${as_root[@]}" apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
