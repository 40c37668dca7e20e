#!/usr/bin/env bash
# ctest labels: quick
# Every GoogleTest test of every test program is a ctest test exactly once, under its program's
# prefix: splitting the programs by library and a program's tests into quick and full must lose
# none and register none twice.
set -euo pipefail
build=$1
command -v python3 >/dev/null || { echo "skipped: python3 is missing"; exit 77; }
programs=$(find "$build" -maxdepth 1 -type f -perm -u+x -name 'kelvor_*_tests' | sort)
[ -n "$programs" ] || { echo "FAIL: no test program in $build"; exit 1; }
registered=$(mktemp)
trap 'rm -f "$registered"' EXIT
ctest --test-dir "$build" -N > "$registered"
python3 - "$registered" $programs <<'PY'
import collections, os, re, subprocess, sys
registered = collections.Counter()
for line in open(sys.argv[1]):
    m = re.match(r"\s*Test\s+#\d+: (\S+)", line)
    if m:
        registered[m.group(1)] += 1
# The companion programs' tests carry the program's name; the libraries' tests none.
prefixes = {"kelvor_angles_tests": "angles.", "kelvor_predict_tests": "predict.", "kelvor_prep_tests": "prep."}
problems, count = [], 0
for program in sys.argv[2:]:
    name = os.path.basename(program)
    if name == "kelvor_thread_tests":
        continue
    listing = subprocess.run([program, "--gtest_list_tests"], check=True, capture_output=True, text=True).stdout
    suite = None
    for line in listing.splitlines():
        if not line.strip() or line.startswith("Running main()"):
            continue
        if not line.startswith(" "):
            suite = line.split("#")[0].strip()
            continue
        test = prefixes.get(name, "") + suite + line.split("#")[0].strip()
        count += 1
        if registered[test] != 1:
            problems.append(f"{name}: {test} is registered {registered[test]} times")
for p in problems:
    print(p)
if problems:
    sys.exit(1)
print(f"{count} tests of {len(sys.argv) - 2} programs, each registered once")
PY
