#!/usr/bin/env bash
# ctest labels: quick
# The layers of the source tree: no library includes one above it. Also shows that the check
# catches a planted upward include, naming the file and line.
set -euo pipefail
src=$2
command -v python3 >/dev/null || { echo "skipped: python3 is missing"; exit 77; }
python3 "$src/tests/support/check_layers.py" "$src"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/docs"
cp "$src/docs/architecture.md" "$scratch/docs/"
# A copy of the tree's sources, with one lowest-layer header made to include the top library.
python3 - "$src" "$scratch" <<'PY'
import os, shutil, sys
sys.path.insert(0, os.path.join(sys.argv[1], "tests", "support"))
import check_layers
src, dst = sys.argv[1], sys.argv[2]
layers = check_layers.read_layers(os.path.join(src, "docs", "architecture.md"))
for folder in layers:
    if os.path.isdir(os.path.join(src, folder)):
        shutil.copytree(os.path.join(src, folder), os.path.join(dst, folder), dirs_exist_ok=True,
                        ignore=shutil.ignore_patterns("*.o", "build*"))
low = min(layers, key=lambda f: (layers[f], f))
header = next(os.path.join(d, n) for d, _, ns in sorted(os.walk(os.path.join(dst, low))) for n in sorted(ns) if n.endswith(".h"))
with open(header, "a") as f:
    f.write('#include "run/driver.h"\n')
print(os.path.relpath(header, dst))
PY
if out=$(python3 "$src/tests/support/check_layers.py" "$scratch"); then
  echo "FAIL: the planted upward include was not caught"; exit 1
fi
echo "$out" | grep -q 'includes run/driver.h' || { echo "FAIL: unexpected report: $out"; exit 1; }
echo "planted include caught: $out"
