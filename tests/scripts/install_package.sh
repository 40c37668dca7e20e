#!/usr/bin/env bash
# ctest labels: package
# kelvor installed like a package. Into a scratch DESTDIR: every program and a manual page for
# each (the page shows the options and exit statuses of the program's --help), nothing of the
# tests or benchmarks, the version of the build; the installed kelvor trains one epoch on a copy
# of the installed example set in a directory of its own, as the build's kelvor does, and writes
# nothing into the installation. Under a scratch prefix: the installed workflow finds kelvor on
# PATH and writes its results where it is run. Then, as root, the Debian package: built, installed
# with dpkg, kelvor --version from /usr/bin, and purged without leaving a file behind.
set -euo pipefail
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd)
fail() { echo "FAIL: $*"; exit 1; }
skip() { echo "skipped: $*"; exit 77; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no CMAKE_PROJECT_VERSION in $build/CMakeCache.txt"
cmake --build "$build" --target manpages > /dev/null

work=$(mktemp -d)
package_installed=no
cleanup() {
  if [ "$package_installed" = yes ]; then dpkg --purge kelvor > /dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# --- cmake --install into a scratch DESTDIR -------------------------------------------------
prefix=/opt/kelvor-install-test
DESTDIR="$work/dest" cmake --install "$build" --prefix "$prefix" > "$work/install.log"
root="$work/dest$prefix"
[ -d "$root/bin" ] || fail "nothing installed under $root/bin"

# Every file lies in one of the places a package of kelvor may use.
stray=$(cd "$root" && find . -type f | grep -v -E '^\./(bin/[^/]+|share/man/man1/[^/]+\.1\.gz|share/kelvor/(examples|workflow)/.+|share/doc/kelvor/.+)$' || true)
[ -z "$stray" ] || fail "files installed outside bin/, share/man/man1/, share/kelvor/, share/doc/kelvor/: $stray"
if (cd "$root" && find . -path '*/tests*' -o -name '*fuzz*' -o -name '*.pyc' -o -name __pycache__ | grep -q .); then
  fail "test, fuzz or bytecode files installed: $(cd "$root" && find . -path '*/tests*' -o -name '*fuzz*' -o -name '*.pyc' -o -name __pycache__)"
fi

# The programs: exactly the executables built from run/ and tools/, each with its page.
expected=$(cd "$build" && for f in kelvor kelvor-*; do [ -f "$f" ] && [ -x "$f" ] && echo "$f"; done | sort)
installed=$(ls "$root/bin" | sort)
[ "$installed" = "$expected" ] || fail "installed programs [$installed], built programs [$expected]"
for p in kelvor kelvor-predict kelvor-prep kelvor-synth; do
  grep -qx "$p" <<< "$installed" || fail "$p is not installed"
done
pages=$(ls "$root/share/man/man1" | sed 's/\.1\.gz$//' | sort)
[ "$pages" = "$installed" ] || fail "manual pages [$pages] for the programs [$installed]"

words() { tr -s ' \n\t' '\n\n\n' | sed '/^$/d'; }
# The lines of the section `title` of a --help text ("Exit status:" ...), its heading left out.
help_section() {
  awk -v t="$1" 'index($0, t ":") == 1 { on = 1; print substr($0, length(t) + 2); next }
                 on && /^[A-Z][a-z]*( [a-z]+)?:( |$)/ { on = 0 } on'
}
# The lines of section `title` of a formatted manual page.
man_section() {
  awk -v t="$1" '$0 == t { on = 1; next } on && /^[A-Z]/ { on = 0 } on'
}
for p in $installed; do
  out=$("$root/bin/$p" --version) || fail "$p --version ended with status $?"
  [ "$out" = "$p $version" ] || fail "$p --version printed '$out', the build's version is $version"
  help=$("$root/bin/$p" --help) || fail "$p --help ended with status $?"
  page=$(MANWIDTH=200 LC_ALL=C.UTF-8 man -l "$root/share/man/man1/$p.1.gz" 2> "$work/man.err") \
    || fail "man -l $p.1.gz: $(cat "$work/man.err")"
  grep -q "^NAME" <<< "$page" || fail "$p's manual page has no NAME section"
  # Every option of --help, and the same words in its exit-status section.
  for option in $(grep -o -E '(^|[ ,|[])--?[A-Za-z][-A-Za-z]*' <<< "$help" | sed 's/^[ ,|[]//' | sort -u); do
    grep -q -e "$option" <<< "$page" || fail "$p's manual page lacks the option $option of --help"
  done
  want=$(help_section "Exit status" <<< "$help" | words)
  got=$(man_section "EXIT STATUS" <<< "$page" | words)
  [ -n "$want" ] || fail "$p --help has no exit-status section"
  [ "$got" = "$want" ] || fail "$p: the manual page's EXIT STATUS differs from --help's:
$(diff <(echo "$want") <(echo "$got") | head)"
  # Every word of --help shows on the page: nothing is lost or changed (hyphens included).
  missing=$(comm -23 <(words <<< "$help" | sort -u) <(words <<< "$page" | sort -u) \
            | grep -v -x -E '[A-Z][a-z]*:|Exit|status:' || true)
  [ -z "$missing" ] || fail "$p: words of --help missing from the manual page: $(echo $missing | head -c 300)"
done
grep -q -F "'$prefix/share/kelvor/examples'" "$root/share/kelvor/workflow/installed.yaml" \
  || fail "installed.yaml does not name the installed example set under $prefix: $(cat "$root/share/kelvor/workflow/installed.yaml")"

# The installed kelvor trains one epoch on a copy of the installed example set, anywhere, and
# prints and writes what the build's kelvor does there.
touch "$work/before-runs"
sleep 1
train() {  # directory binary
  cp -r "$root/share/kelvor/examples" "$1"
  sed -i -e '1s/.*/1/' -e '2s/.*/20/' "$1/kelvor.in"
  (cd "$1" && KELVOR_TIME=10:20:30 KELVOR_CHECKPOINT_SECONDS=0 "$2" > run.out 2> run.err) \
    || fail "$2 in $1 ended with status $?: $(tail -n 3 "$1/run.err")"
}
train "$work/installed-run" "$root/bin/kelvor"
train "$work/build-run" "$build/kelvor"
[ "$(grep -c 'Q10P:' "$work/installed-run/run.out")" = 2 ] || fail "no two Q10P: lines: $(cat "$work/installed-run/run.out")"
for f in run.out kelvor.valdav fort.77 fort.78 fort.79 fort.87 fort.88; do
  cmp -s "$work/installed-run/$f" "$work/build-run/$f" || fail "$f of the installed kelvor differs from the build's"
done
changed=$(find "$work/dest" -newer "$work/before-runs")
[ -z "$changed" ] || fail "a run wrote into the installation: $changed"

# --- cmake --install under a scratch prefix: the installed workflow ----------------------------
if command -v snakemake > /dev/null; then
  cmake --install "$build" --prefix "$work/prefix" > /dev/null
  touch "$work/before-workflow"
  sleep 1
  mkdir "$work/grid" && cd "$work/grid"
  PATH="$work/prefix/bin:$PATH" snakemake -s "$work/prefix/share/kelvor/workflow/Snakefile" --cores 2 \
    --config epochs=1 protein_count=20 'folds=[1]' 'seeds=[7]' > snakemake.log 2>&1 \
    || fail "the installed workflow failed: $(tail -n 20 snakemake.log)"
  [ -s results/summary.tsv ] || fail "the installed workflow left no results/summary.tsv in $PWD"
  run_sh=$(find results/runs -name run.sh | head -n 1)
  grep -q -F "kelvor=$work/prefix/bin/kelvor" "$run_sh" || fail "$run_sh does not run the kelvor found on PATH: $(cat "$run_sh")"
  changed=$(find "$work/prefix" -newer "$work/before-workflow")
  [ -z "$changed" ] || fail "the installed workflow wrote into the installation: $changed"
  # Without kelvor on PATH it says so before anything runs.
  if ! PATH=/usr/bin:/bin command -v kelvor > /dev/null; then
    if PATH=/usr/bin:/bin snakemake -s "$work/prefix/share/kelvor/workflow/Snakefile" -n --cores 1 \
         --config results=none > none.log 2>&1; then
      fail "the installed workflow went on without a kelvor on PATH"
    fi
    grep -q "no program 'kelvor' on PATH" none.log || fail "no word of the missing kelvor: $(tail -n 5 none.log)"
  fi
  cd "$work"
elif [ -n "${CI:-}" ]; then
  fail "snakemake is not installed (.ci/packages lists it)"
else
  echo "note: snakemake is not installed; the installed workflow was not run"
fi

# --- the Debian package, as root ----------------------------------------------------------------
[ "$(id -u)" = 0 ] || skip "installing a Debian package needs root; the installation under DESTDIR passed"
command -v dpkg-shlibdeps > /dev/null || skip "dpkg-shlibdeps (Debian package dpkg-dev) is missing; the installation under DESTDIR passed"
if dpkg -s kelvor > /dev/null 2>&1; then
  skip "a kelvor package is already installed on this machine; it is left alone"
fi
(cd "$work" && cpack -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" > cpack.log 2>&1) \
  || fail "cpack failed: $(tail -n 20 "$work/cpack.log")"
deb=$(ls "$work"/package/kelvor_"$version"_*.deb 2> /dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no kelvor_${version}_*.deb: $(ls "$work/package")"
control=$(dpkg-deb -f "$deb")
for field in Package Version Architecture Maintainer Description Depends; do
  grep -q "^$field: ." <<< "$control" || fail "the package has no $field field: $control"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version), build $version"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "package architecture $(dpkg-deb -f "$deb" Architecture)"
grep -q -E '^Depends:.*libc6 \(>=' <<< "$control" || fail "Depends lacks the C library found by dpkg-shlibdeps: $control"

# Never replace a file that something else put there.
paths=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|; s|/$||' | grep -v '^$')
for path in $paths; do
  if [ -e "$path" ] && [ ! -d "$path" ]; then skip "$path exists on this machine; the package would replace it"; fi
done
existing_dirs=$(for path in $paths; do [ -d "$path" ] && echo "$path"; done || true)

dpkg -i "$deb" > "$work/dpkg-install.log" 2>&1 || fail "dpkg -i failed: $(cat "$work/dpkg-install.log")"
package_installed=yes
out=$(cd / && /usr/bin/kelvor --version) || fail "/usr/bin/kelvor --version ended with status $?"
[ "$out" = "kelvor $version" ] || fail "/usr/bin/kelvor --version printed '$out'"
for path in $paths; do [ -e "$path" ] || fail "$path of the package is missing after dpkg -i"; done
man -w kelvor > /dev/null 2>&1 || fail "man finds no page of kelvor after dpkg -i"
dpkg --purge kelvor > "$work/dpkg-purge.log" 2>&1 || fail "dpkg --purge failed: $(cat "$work/dpkg-purge.log")"
package_installed=no
left=""
for path in $paths; do
  if [ -e "$path" ] && ! grep -qx -F "$path" <<< "$existing_dirs"; then left="$left $path"; fi
done
[ -z "$left" ] || fail "dpkg --purge left behind:$left"
echo "installed under DESTDIR and a prefix, trained, ran the workflow; package $(basename "$deb") installed and purged cleanly"
