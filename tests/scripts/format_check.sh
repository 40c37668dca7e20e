#!/usr/bin/env bash
# ctest labels: quick
# Every C++ file of the tree is as clang-format leaves it under the tree's .clang-format. Skipped
# where clang-format is missing or of another major version (versions format differently).
set -euo pipefail
src=$2
tool=$(command -v clang-format || command -v clang-format-14 || true)
[ -n "$tool" ] || { echo "skipped: clang-format is missing"; exit 77; }
major=$("$tool" --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
[ "$major" = 14 ] || { echo "skipped: clang-format $major; the tree is formatted with version 14"; exit 77; }
cd "$src"
files=$(find bench config dataset ground network run tests tools weightio -name '*.cpp' -o -name '*.h' | sort)
bad=0
for f in $files; do
  if ! "$tool" --style=file --dry-run -Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f (clang-format -i $f)"
    bad=1
  fi
done
[ $bad = 0 ] && echo "$(echo "$files" | wc -l) files formatted"
exit $bad
