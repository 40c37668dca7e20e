#!/bin/sh
# Writes the manual page of one kelvor program from its own --help text and a file of written
# sections, so that the page and the program cannot tell different stories.
#
#   make_page.sh PROGRAM NAME VERSION SECTIONS-FILE OUTPUT
#
# An OUTPUT ending in .gz is compressed (gzip -9n: no name or time stamp, so the bytes depend on
# the text alone).
# The --help text gives SYNOPSIS (its "Usage:" lines), DESCRIPTION (the text before its first
# heading) and one section per heading ("Options:", "Exit status:", ...). A heading is a line
# at column 0 of one or two words, the first capitalised, followed by a colon. Paragraphs of
# plain prose are filled; paragraphs with indented or column-aligned lines are kept as they
# stand. The sections file (it may be missing) holds roff text under [NAME], [DESCRIPTION] or
# any other [TITLE]: NAME replaces the default one, the others are added to the section of the
# same title or, when --help has none, after the sections of --help.
set -eu
if [ $# -ne 5 ]; then
  echo "usage: make_page.sh PROGRAM NAME VERSION SECTIONS-FILE OUTPUT" >&2
  exit 1
fi
program=$1 name=$2 version=$3 sections=$4 output=$5
here=$(dirname "$0")
help=$(mktemp) || exit 2
trap 'rm -f "$help" "$output.tmp" "$output.tmp.gz"' EXIT
status=0
"$program" --help > "$help" || status=$?
if [ "$status" -ne 0 ] || [ ! -s "$help" ]; then
  echo "make_page.sh: $program --help ended with status $status and wrote $(wc -c < "$help") bytes" >&2
  exit 2
fi
[ -f "$sections" ] || sections=/dev/null
awk -v name="$name" -v version="$version" -v sections="$sections" -f "$here/help_to_roff.awk" "$help" \
  > "$output.tmp"
case $output in
  *.gz) gzip -9n < "$output.tmp" > "$output.tmp.gz" && mv "$output.tmp.gz" "$output.tmp" ;;
esac
mv "$output.tmp" "$output"
