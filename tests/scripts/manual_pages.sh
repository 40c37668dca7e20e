#!/usr/bin/env bash
# The manual-page maker (tools/man/make_page.sh): a --help text with usage lines, headings with
# and without text of their own, aligned columns, prose, roff's own characters and a written
# sections file becomes a page that shows all of it; a program whose --help fails gets no page;
# the same input gives the same bytes. The build's own pages format without a groff warning.
set -euo pipefail
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd)
fail() { echo "FAIL: $*"; exit 1; }
if ! command -v man > /dev/null || ! command -v groff > /dev/null; then
  if [ -n "${CI:-}" ]; then echo "FAIL: man or groff is missing (.ci/packages lists man-db)"; exit 1; fi
  echo "skipped: man or groff is missing (Debian package man-db)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
umask 022
maker="$src/tools/man/make_page.sh"
show() { MANWIDTH=200 LC_ALL=C.UTF-8 man -l "$1"; }

cat > "$work/demo" <<'EOF'
#!/bin/sh
[ "$1" = --help ] || exit 1
cat <<'TEXT'
Usage: demo-tool [options] FILE
       demo-tool --check
Reads FILE and writes nothing but a backslash \n and the words
below; a line of the text may start with a dot:
.ns is no request here, nor is
'br one.

Reads:   FILE       the input, one record
                    a line
         other.in   the settings
Options:
  -a, --all        every record
      --dry-run    nothing is written
Note: a heading of one word.
Exit status: 0 done, 1 bad command line,
2 a file could not be read.
TEXT
EOF
chmod +x "$work/demo"
cat > "$work/demo.man" <<'EOF'
[NAME]
demo\-tool \- show what the page maker does
[EXAMPLES]
.nf
demo\-tool \-\-all x
.fi
[DESCRIPTION]
A written paragraph after the text of \-\-help.
EOF

sh "$maker" "$work/demo" demo-tool 9.8.7 "$work/demo.man" "$work/demo-tool.1"
page=$(show "$work/demo-tool.1")
grep -q -x -E ' *demo-tool - show what the page maker does' <<< "$page" || fail "NAME: $page"
grep -q -x -E ' *demo-tool \[options\] FILE' <<< "$page" || fail "first usage line: $page"
grep -q -x -E ' *demo-tool --check' <<< "$page" || fail "second usage line: $page"
grep -q -F 'a backslash \n and the words' <<< "$page" || fail "the backslash is lost: $page"
grep -q -F '.ns is no request here' <<< "$page" || fail "a line starting with a dot was taken as a request: $page"
grep -q -F "'br one." <<< "$page" || fail "a line starting with an apostrophe was taken as a request: $page"
grep -q -F 'kelvor 9.8.7' <<< "$page" || fail "the version is not on the page: $page"
# Headings become sections in the order of --help; the written ones come after them, and
# DESCRIPTION gets the written paragraph after the text of --help.
order=$(grep -E '^[A-Z][A-Z ]+$' <<< "$page" | tr '\n' ' ')
[ "$order" = "NAME SYNOPSIS DESCRIPTION READS OPTIONS NOTE EXIT STATUS EXAMPLES " ] || fail "sections: $order"
description=$(awk '/^DESCRIPTION$/ {on = 1; next} /^[A-Z]/ {on = 0} on' <<< "$page")
grep -q 'written paragraph after the text of --help' <<< "$description" || fail "written DESCRIPTION: $description"
[ "$(grep -n 'written paragraph' <<< "$description" | cut -d: -f1)" -gt "$(grep -n 'backslash' <<< "$description" | cut -d: -f1)" ] \
  || fail "the written paragraph stands before the text of --help: $description"
# Aligned columns stay aligned, the text of a heading's own line included.
reads=$(awk '/^READS$/ {on = 1; next} /^[A-Z]/ {on = 0} on && NF' <<< "$page")
col() { awk -v w="$1" '{ i = index($0, w); if (i) print i }' <<< "$reads"; }
[ "$(col FILE)" = "$(col other.in)" ] || fail "the READS names are not aligned: $reads"
[ "$(col 'the input')" = "$(col 'a line')" ] || fail "the READS texts are not aligned: $reads"
options=$(awk '/^OPTIONS$/ {on = 1; next} /^[A-Z]/ {on = 0} on && NF' <<< "$page")
[ "$(awk '/--all/ {print index($0, "every")}' <<< "$options")" = "$(awk '/--dry-run/ {print index($0, "nothing")}' <<< "$options")" ] \
  || fail "the option texts are not aligned: $options"
# Prose is filled: the exit statuses read as one line at this width.
grep -q -E '^ +0 done, 1 bad command line, 2 a file could not be read\.$' <<< "$page" || fail "EXIT STATUS: $page"
grep -q 'demo-tool --all x' <<< "$page" || fail "EXAMPLES: $page"
zcat -f "$work/demo-tool.1" | groff -man -ww -z -Tutf8 2> "$work/warnings" || true
[ ! -s "$work/warnings" ] || fail "groff warns: $(cat "$work/warnings")"

# Without a sections file the page still gets a NAME.
sh "$maker" "$work/demo" demo-tool 9.8.7 "$work/none.man" "$work/plain.1"
grep -q -x -E ' *demo-tool - a program of kelvor' <<< "$(show "$work/plain.1")" || fail "default NAME: $(show "$work/plain.1")"

# Compressed pages: the same input gives the same bytes.
sh "$maker" "$work/demo" demo-tool 9.8.7 "$work/demo.man" "$work/a.1.gz"
sleep 1
sh "$maker" "$work/demo" demo-tool 9.8.7 "$work/demo.man" "$work/b.1.gz"
cmp -s "$work/a.1.gz" "$work/b.1.gz" || fail "two makings of one page differ"
# Pages are readable by everyone, as any file made under this umask.
for page in "$work/demo-tool.1" "$work/a.1.gz"; do
  [ "$(stat -c %a "$page")" = 644 ] || fail "$page has mode $(stat -c %a "$page") under umask 022"
done
[ "$(zcat "$work/a.1.gz")" = "$(cat "$work/demo-tool.1")" ] || fail "the compressed page holds another text"

# A program whose --help fails, or prints nothing, gets no page, and the maker fails.
printf '#!/bin/sh\necho broken >&2\nexit 3\n' > "$work/broken" && chmod +x "$work/broken"
printf '#!/bin/sh\nexit 0\n' > "$work/silent" && chmod +x "$work/silent"
for p in broken silent; do
  if sh "$maker" "$work/$p" "$p" 1 /dev/null "$work/$p.1" 2> "$work/$p.err"; then fail "a page was made for $p"; fi
  [ ! -e "$work/$p.1" ] && [ ! -e "$work/$p.1.tmp" ] || fail "$p left a page behind"
  grep -q -- "--help ended with status" "$work/$p.err" || fail "$p: no message: $(cat "$work/$p.err")"
done

# The build's own pages: no groff warnings.
cmake --build "$build" --target manpages > /dev/null
for page in "$build"/man/*.1.gz; do
  zcat "$page" | groff -man -ww -z -Tutf8 2> "$work/warnings" || true
  [ ! -s "$work/warnings" ] || fail "groff warns about $(basename "$page"): $(cat "$work/warnings")"
done
echo "manual pages: made and checked"
