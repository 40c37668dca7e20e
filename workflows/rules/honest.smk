# The honest pipeline: the structure model trained and tested on angles and areas that a new
# protein would get, beside observed ones and none.
#
#   snakemake --cores 2 honest
#
# 1. kelvor-angles --out-of-fold K on the protein list: every chain's angles and area predicted
#    by a model that never trained on it (results/honest/angles/).
# 2. Three data roots of the same chains (results/honest/roots/): "observed" is the data root
#    itself, "predicted" has the out-of-fold kvqout files, "none" has the three values at 0.
# 3. The folds x seeds x settings grid of kelvor on each root (results/honest/SOURCE/runs/).
#    kelvor trains its own test part in every epoch, so a run of fold k trains on the list
#    without fold k's test block (results/honest/lists/), and kelvor-predict then scores that
#    block, chains the run never saw (RUN/test-scores/).
# 4. results/honest/summary.md, summary.tsv and angle_errors.tsv: per fold, Q3 and SOV'99 with
#    the three feature sources, and the angle network's errors beside a per-letter mean.

import fold_parts  # noqa: E402

KELVOR_ANGLES = str(config.get("kelvor_angles", "../build/kelvor-angles"))
KELVOR_PREDICT = str(config.get("kelvor_predict", "../build/kelvor-predict"))
HONEST = RESULTS + "/honest"
HRUN = HONEST + "/{source}/runs/{combo}/fold{fold}_seed{seed}"
HONEST_SOURCES = ["observed", "predicted", "none"]
HONEST_FRACTION = float(TEST_FRACTION)


def honest_split():
    """The chains kelvor would take (the requested count, or the whole list when it is shorter)
    and, per fold, how many of them its runs train on. Read when an honest rule needs them, so
    that the grid's own targets never depend on it."""
    try:
        names = fold_parts.read_list(PROTEINS)
        count = min(int(SHARED["protein_count"]), len(names))
        return count, {f: count - len(fold_parts.parts(names, count, HONEST_FRACTION, f)[2]) for f in FOLDS}
    except (OSError, ValueError) as e:
        raise ValueError(f"config: honest pipeline on {PROTEINS}: {e}") from None


HONEST_LISTS = HONEST + "/lists/fold{fold}"


def angle_folds():
    k = optional_integer("angle_folds")
    if k is None:
        k = round(1.0 / HONEST_FRACTION) if HONEST_FRACTION > 0 else 0
    if k < 2:
        raise ValueError(f"config: angle_folds must be 2 or more, not {k}")
    return k


ANGLE_EPOCHS = optional_integer("angle_epochs")
if ANGLE_EPOCHS is not None and ANGLE_EPOCHS < 1:
    raise ValueError(f"config: angle_epochs must be 1 or more, not {ANGLE_EPOCHS}")

# Learning rate of the angle models; null keeps the template's. The angle network's early stop
# looks at a small validation part, and at the structure model's rate it keeps early epochs.
ANGLE_RATE = config.get("angle_rate")
if ANGLE_RATE is not None:
    try:
        ANGLE_RATE = float(ANGLE_RATE)
    except (TypeError, ValueError):
        raise ValueError(f"config: angle_rate must be a number, not {ANGLE_RATE!r}") from None
    if not (0.0 < ANGLE_RATE < float("inf")):
        raise ValueError(f"config: angle_rate must be above 0, not {ANGLE_RATE}")


wildcard_constraints:
    source="observed|predicted|none",


localrules:
    honest,
    build_kelvor_angles,
    build_kelvor_predict,
    honest_root,
    honest_lists,
    honest_prepare_run,
    honest_score,
    honest_summary,


def honest_root_dir(source):
    return os.path.abspath(DATA_ROOT) if source == "observed" else os.path.abspath(f"{HONEST}/roots/{source}")


def honest_root_input(wildcards):
    return [] if wildcards.source == "observed" else [f"{HONEST}/roots/{wildcards.source}/root.done"]


rule honest:
    input:
        SHARED_RECORD,
        HONEST + "/summary.md",
        HONEST + "/summary.tsv",
        HONEST + "/angle_errors.tsv",


rule build_kelvor_angles:
    output:
        KELVOR_ANGLES,
    params:
        source=SOURCE,
        build=os.path.dirname(KELVOR_ANGLES) or ".",
    threads: 2
    shell:
        "cmake -S {params.source} -B {params.build} -DCMAKE_BUILD_TYPE=Release"
        " && cmake --build {params.build} -j{threads} --target kelvor-angles"


rule build_kelvor_predict:
    output:
        KELVOR_PREDICT,
    params:
        source=SOURCE,
        build=os.path.dirname(KELVOR_PREDICT) or ".",
    threads: 2
    shell:
        "cmake -S {params.source} -B {params.build} -DCMAKE_BUILD_TYPE=Release"
        " && cmake --build {params.build} -j{threads} --target kelvor-predict"


# Out-of-fold angles and areas of every chain of the list. The run directory is laid out like a
# kelvor run (its kelvor.in from the template, with angle_epochs as its epoch limit); the K
# models stay in angles/oof/fold-1 ... fold-K.
rule honest_angles:
    input:
        template=TEMPLATE,
        proteins=PROTEINS,
        angles=KELVOR_ANGLES,
    output:
        HONEST + "/angles/out-of-fold.done",
    params:
        dir=HONEST + "/angles",
        data_root=os.path.abspath(DATA_ROOT),
        angles=os.path.abspath(KELVOR_ANGLES),
        kelvor=os.path.abspath(KELVOR),
        time=TIME,
        folds=lambda wildcards: angle_folds(),
        epochs="" if ANGLE_EPOCHS is None else f"--epochs {ANGLE_EPOCHS}",
        rate="" if ANGLE_RATE is None else f"--rate {ANGLE_RATE!r}",
        protein_count=lambda wildcards: f"--count {honest_split()[0]}",
    threads: THREADS
    resources:
        mem_mb=1000,
        runtime=int(config.get("runtime_minutes", 240)),
    shell:
        """
        python3 {SCRIPTS}/prepare_run.py --template {input.template:q} --proteins {input.proteins:q} \
          --data-root {params.data_root:q} --kelvor {params.kelvor:q} --fold 1 --seed 7 --time {params.time} \
          {params.epochs} {params.rate} {params.protein_count} --dir {params.dir:q}
        cd {params.dir:q}
        rm -rf oof
        status=0
        KELVOR_TIME={params.time} KELVOR_THREADS={threads} {params.angles:q} --out-of-fold {params.folds} -o oof \
          > angles.out 2> angles.err || status=$?
        if [ "$status" -ne 0 ]; then
          echo "kelvor-angles --out-of-fold ended with status $status in $PWD; angles.out and angles.err are kept" >&2
          tail -n 3 angles.err >&2
          exit "$status"
        fi
        printf 'folds\\t%s\\nkelvor_time\\t%s\\n' {params.folds} {params.time} > out-of-fold.done
        """


rule honest_root:
    input:
        lambda wildcards: [HONEST + "/angles/out-of-fold.done"] if wildcards.source == "predicted" else [],
        proteins=PROTEINS,
    output:
        HONEST + "/roots/{source}/root.done",
    params:
        data_root=os.path.abspath(DATA_ROOT),
        root=HONEST + "/roots/{source}",
        oof=os.path.abspath(HONEST + "/angles/oof/kvqout"),
    shell:
        """
        if [ {wildcards.source} = none ]; then
          python3 {SCRIPTS}/featureless_root.py --data-root {params.data_root:q} --list {input.proteins:q} \
            --output {params.root:q}
        else
          mkdir -p {params.root:q}
          for d in dssp_data new_prf; do ln -sfn {params.data_root:q}/$d {params.root:q}/$d; done
          ln -sfn {params.oof:q} {params.root:q}/kvqout
        fi
        echo {wildcards.source} > {output:q}
        """


# Fold k's test block, and the list without it that the fold's runs train on.
rule honest_lists:
    input:
        PROTEINS,
    output:
        rest=HONEST_LISTS + ".rest.list",
        test=HONEST_LISTS + ".test.list",
    params:
        proteins_used=lambda wildcards: honest_split()[0],
        fraction=HONEST_FRACTION,
    shell:
        """
        for part in rest test; do
          out={output.rest:q}
          [ $part = rest ] || out={output.test:q}
          python3 {SCRIPTS}/fold_parts.py --list {input:q} --count {params.proteins_used} --fraction {params.fraction} \
            --fold {wildcards.fold} --part $part --output "$out"
        done
        """


use rule prepare_run as honest_prepare_run with:
    input:
        honest_root_input,
        template=TEMPLATE,
        proteins=HONEST_LISTS + ".rest.list",
    output:
        defaults=HRUN + "/kelvor.in",
        proteins=HRUN + "/proteins.list",
        script=HRUN + "/run.sh",
    params:
        data_root=lambda wildcards: honest_root_dir(wildcards.source),
        kelvor=os.path.abspath(KELVOR),
        time=TIME,
        learning=learning_options,
        protein_count=lambda wildcards: f"--count {honest_split()[1][int(wildcards.fold)]}",


use rule train as honest_train with:
    input:
        defaults=HRUN + "/kelvor.in",
        proteins=HRUN + "/proteins.list",
        script=HRUN + "/run.sh",
        kelvor=KELVOR,
    output:
        HRUN + "/kelvor.done",


# The fold's held-out block, predicted and scored by kelvor-predict with the run's weights.
rule honest_score:
    input:
        done=HRUN + "/kelvor.done",
        test=HONEST_LISTS + ".test.list",
        predict=KELVOR_PREDICT,
    output:
        HRUN + "/test-scores/scores.json",
    params:
        dir=HRUN,
        predict=os.path.abspath(KELVOR_PREDICT),
    shell:
        """
        cp {input.test:q} {params.dir:q}/test.list
        cd {params.dir:q}
        {params.predict:q} -w . -l test.list -d . --scores -o test-scores > predict.out 2> predict.err \
          || {{ cat predict.err >&2; exit 1; }}
        """


rule honest_summary:
    input:
        HONEST + "/roots/predicted/root.done",
        proteins=PROTEINS,
        scores=expand(HONEST + "/{source}/runs/{run}/test-scores/scores.json", source=HONEST_SOURCES, run=RUNS),
    output:
        tsv=HONEST + "/summary.tsv",
        md=HONEST + "/summary.md",
        angles=HONEST + "/angle_errors.tsv",
    params:
        data_root=os.path.abspath(DATA_ROOT),
        predicted=HONEST + "/roots/predicted",
        proteins_used=lambda wildcards: honest_split()[0],
        fraction=HONEST_FRACTION,
        runs=lambda wildcards, input: " ".join(
            shlex.quote(f"{s}={os.path.dirname(os.path.dirname(f))}")
            for f in input.scores
            for s in [f[len(HONEST) + 1 :].split("/")[0]]
        ),
    shell:
        "python3 {SCRIPTS}/honest_summary.py --data-root {params.data_root:q} --predicted {params.predicted:q}"
        " --list {input.proteins:q} --count {params.proteins_used} --fraction {params.fraction}"
        " --tsv {output.tsv:q} --angles-tsv {output.angles:q} --markdown {output.md:q} {params.runs}"
