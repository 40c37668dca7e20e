#!/usr/bin/env bash
# The kernel benchmark compares every kernel set with the reference before it times anything:
# all the same bits here, and when one bit of one weight is changed, the difference is shown
# with both values in hexadecimal floating point and the benchmark ends with status 1 untimed.
set -euo pipefail
build=$(cd "$1" && pwd)
bench=$build/kernel_speed
if [ ! -x "$bench" ]; then echo "skipped: kernel_speed is not built (KELVOR_BUILD_BENCH=OFF)"; exit 77; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

status=0
"$bench" --check-only > "$work/out" 2> "$work/err" || status=$?
[ "$status" = 0 ] || fail "the comparison failed here: status $status: $(cat "$work/out" "$work/err")"
sets=$(sed -n 's/^kernel sets this CPU runs: \([^;]*\);.*/\1/p' "$work/out")
lines=$(grep -c '^  fast-.* the same bits$' "$work/out" || true)
[ "$lines" = $(( $(wc -w <<< "$sets") * 2 )) ] || fail "not every set and thread count compared: $(cat "$work/out")"

first=${sets%% *}
status=0
"$bench" --check-only --spoil-one-bit --set "$first" > "$work/out" 2> "$work/err" || status=$?
[ "$status" = 1 ] || fail "a changed bit: status $status"
grep -q "^  fast-$first x1 *DIFFERS:$" "$work/out" || fail "a changed bit: $(cat "$work/out")"
grep -Eq '^    wei1\[1000\] differs: expected -?0x1\.[0-9a-f]+p[-+][0-9]+ vs -?0x1\.[0-9a-f]+p[-+][0-9]+$' "$work/out" \
  || fail "the difference is not shown in hexadecimal: $(grep differs "$work/out")"
grep -q "nothing is timed" "$work/err" || fail "the refusal: $(cat "$work/err")"
! grep -q '^[1-4]\. ' "$work/out" || fail "sections were timed after the comparison failed"

if [ $failures -ne 0 ]; then echo "$failures checks failed"; exit 1; fi
echo "kernel_speed: $sets the same bits as the reference with 1 and 2 threads; a changed bit fails the benchmark untimed"
