# Sourced by the workflow tests before anything else: without snakemake the test is skipped,
# except under CI, whose packages (.ci/packages) include it.
if ! command -v snakemake > /dev/null; then
  if [ -n "${CI:-}" ]; then echo "FAIL: snakemake is not installed (.ci/packages lists it)"; exit 1; fi
  echo "skipped: snakemake is not installed (Debian package snakemake)"
  exit 0
fi
