#!/usr/bin/env bash
# ctest labels: quick
# The tests of each library include nothing above it (their program links only that library and
# those below). Also shows that the check catches planted upward includes, naming file and line.
set -euo pipefail
src=$2
command -v python3 >/dev/null || { echo "skipped: python3 is missing"; exit 77; }
python3 "$src/tests/support/check_test_layers.py" "$src"

# A copy of the tests' sources, with the lowest library's first test including the run library
# and the next one's including the network's bit-for-bit checks.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/docs"
cp "$src/docs/architecture.md" "$scratch/docs/"
cp -r "$src/tests" "$scratch/tests"
planted=$(python3 - "$src" "$scratch" <<'PY'
import os, sys
sys.path.insert(0, os.path.join(sys.argv[1], "tests", "support"))
import check_layers
dst = sys.argv[2]
layers = check_layers.read_layers(os.path.join(dst, "docs", "architecture.md"))
tested = sorted((level, f) for f, level in layers.items() if os.path.isdir(os.path.join(dst, "tests", f)))
for (_, folder), header in zip(tested, ['run/driver.h', 'tests/support/bit_checks.h']):
    base = os.path.join(dst, "tests", folder)
    name = sorted(n for n in os.listdir(base) if n.endswith(".cpp"))[0]
    with open(os.path.join(base, name), "a") as f:
        f.write('#include "%s"\n' % header)
    print("tests/%s/%s includes %s" % (folder, name, header))
PY
)
if out=$(python3 "$src/tests/support/check_test_layers.py" "$scratch"); then
  echo "FAIL: the planted includes were not caught: $planted"; exit 1
fi
for header in run/driver.h tests/support/bit_checks.h; do
  echo "$out" | grep -Eq "^tests/[a-z]+/test_[a-z_]+\.cpp:[0-9]+: .* includes $header" \
    || { echo "FAIL: no report of the planted include of $header: $out"; exit 1; }
done
echo "planted includes caught:"
echo "$out"
