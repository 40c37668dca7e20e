# Shared by the workflow tests (sourced): needs $build, $src and $work set.
# The first 30 chains of the example set as the protein list, a config writer, a snakemake
# runner and a failure counter.

head -n 30 "$src/examples/proteins.list" > "$work/p30.list"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# config NAME FOLDS SEEDS [yaml lines]: $work/NAME.yaml, results in $work/NAME. The epoch limit
# 1, 30 proteins and the time of day 03:04:05 unless a line sets them.
config() {
  local name=$1 folds=$2 seeds=$3 line
  shift 3
  {
    echo "kelvor: $build/kelvor"
    echo "template: $src/examples/kelvor.in"
    echo "proteins: $work/p30.list"
    echo "data_root: $src/examples"
    echo "folds: $folds"
    echo "seeds: $seeds"
    echo "results: $work/$name"
    for line in "epochs: 1" "protein_count: 30" "kelvor_time: '03:04:05'"; do
      case " $* " in *" ${line%%:*}:"*) ;; *) echo "$line" ;; esac
    done
    for line in "$@"; do echo "$line"; done
  } > "$work/$name.yaml"
}

# sm NAME [snakemake options]: snakemake in $sm_directory (default $work)
sm() {
  local name=$1
  shift
  snakemake -s "$src/workflows/Snakefile" --directory "${sm_directory:-$work}" \
    --configfile "$work/$name.yaml" "$@"
}

# The directory name of the template's learning settings with epoch limit $1.
template_combo() { echo "rate0.001_momentum0.5_gain0.5_dcay1.0_epochs$1"; }

# finish NAME-OF-TEST SUMMARY-LINE: the verdict.
finish() {
  if [ $failures -ne 0 ]; then
    echo "$1: $failures checks failed"
    exit 1
  fi
  echo "$2"
}
