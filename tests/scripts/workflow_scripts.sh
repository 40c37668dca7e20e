#!/usr/bin/env bash
# The cross-validation workflow's helper scripts: template reader and writer, report reader,
# summary statistics and plots; the honest pipeline's parts, angle errors and summary.
set -euo pipefail
src=$2
cd "$src/workflows/tests"
exec python3 -m unittest -v test_scripts test_honest
