#!/usr/bin/env python3
"""Lays out one cross-validation run directory for kelvor.

From a template defaults file it writes the run's own kelvor.in (the template's settings,
with the fold number, the protein list and, when given, the epoch limit, the requested
protein count and the learning settings replaced), copies the protein list into the
directory, links the three data folders of the data root, and writes run.sh, which repeats the run with its seed offset and
its KELVOR_TIME. Every file it writes depends only on its arguments.
"""

import argparse
import os
import re
import shlex
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import grid_checks  # noqa: E402
import learning_grid  # noqa: E402

# The ten records of a defaults file: how many values each one reads, and what it is.
RECORDS = (
    (1, "epoch limit"),
    (1, "requested protein count"),
    (1, "read and not used"),
    (1, "learning rate"),
    (1, "momentum"),
    (1, "gain"),
    (1, "attenuation scale"),
    (1, "fold number"),
    (1, "test fraction"),
    (2, "protein list, then a word that is not used"),
)
EPOCHS, COUNT, FOLD, LIST = 0, 1, 7, 9
# Command-line options of the learning settings and their records.
LEARNING = (("rate", 3), ("momentum", 4), ("gain", 5), ("dcay", 6))
LIST_NAME = "proteins.list"
DATA_FOLDERS = ("dssp_data", "new_prf", "kvqout")


class TemplateError(Exception):
    pass


def line_values(line, wanted):
    """Up to `wanted` values of one line as free-form input reads them, and whether a slash
    ended the read: (values, ended). Quotes around a value are taken off; the rest of the
    line after the last wanted value is not looked at (it may hold a comment)."""
    values = []
    i, n = 0, len(line)
    while i < n and len(values) < wanted:
        c = line[i]
        if c in " \t\r":
            i += 1
            continue
        if c == ",":
            # A comma right after a value only separates; one with no value before it
            # would be an empty value, which no setting may take.
            raise TemplateError("an empty value (a comma with no value before it)")
        if c == "/":
            return values, True
        if c in "'\"":
            end = line.find(c, i + 1)
            if end < 0:
                raise TemplateError(f"a quoted value without its closing {c}")
            values.append(line[i + 1:end])
            i = end + 1
        else:
            j = i
            while j < n and line[j] not in " \t\r,/":
                j += 1
            values.append(line[i:j])
            i = j
        while i < n and line[i] in " \t\r":
            i += 1
        if i < n and line[i] == ",":
            i += 1
    return values, False


def read_template(text):
    """The values of the ten records, in order: a list of lists of strings."""
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    records = []
    at = 0
    for count, meaning in RECORDS:
        got = []
        while len(got) < count:
            if at >= len(lines):
                raise TemplateError(f"ends before setting {len(records) + 1} ({meaning})")
            values, ended = line_values(lines[at], count - len(got))
            at += 1
            got.extend(values)
            if ended:
                break
        if not got:
            raise TemplateError(f"setting {len(records) + 1} ({meaning}) has no value")
        records.append(got)
    return records


def defaults_text(records, fold, epochs=None, count=None, learning=None):
    """learning: texts of learning settings to replace, keyed by record number."""
    values = [list(r) for r in records]
    values[FOLD] = [str(fold)]
    for record, text in (learning or {}).items():
        values[record] = [text]
    if epochs is not None:
        values[EPOCHS] = [str(epochs)]
    if count is not None:
        values[COUNT] = [str(count)]
    # The word after the list name is read and not used; it is kept when it is plain.
    word = values[LIST][1] if len(values[LIST]) > 1 else ""
    if not re.fullmatch(r"\w{1,6}", word):
        word = "real"
    values[LIST] = [f"'{LIST_NAME}'", word]
    out = []
    for (_, meaning), items in zip(RECORDS, values):
        out.append(f"{' '.join(items):<24} {meaning}\n")
    return "".join(out)


def run_script(kelvor, seed, time_of_day):
    return (
        "#!/bin/sh\n"
        "# Repeats this run in its own directory: same seed offset, same time of day.\n"
        "# Set KELVOR to use another kelvor binary.\n"
        'cd "$(dirname "$0")" || exit 2\n'
        f"kelvor={shlex.quote(kelvor)}\n"
        'if [ -n "${KELVOR:-}" ]; then kelvor=$KELVOR; fi\n'
        f'KELVOR_TIME={time_of_day} exec "$kelvor" {seed}\n'
    )


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def link(target, path):
    if os.path.islink(path):
        if os.readlink(path) == target:
            return
        os.unlink(path)
    elif os.path.exists(path):
        raise TemplateError(f"{path} exists and is not a link")
    os.symlink(target, path)


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--template", required=True, help="defaults file that the run starts from")
    p.add_argument("--proteins", required=True, help="protein list file")
    p.add_argument("--data-root", required=True, help="folder that holds dssp_data/, new_prf/, kvqout/")
    p.add_argument("--kelvor", required=True, help="the kelvor binary that run.sh calls")
    p.add_argument("--fold", type=int, required=True)
    p.add_argument("--seed", type=int, required=True, help="seed offset")
    p.add_argument("--time", required=True, help="KELVOR_TIME of the run, hh:mm:ss")
    p.add_argument("--epochs", type=int, help="epoch limit instead of the template's")
    p.add_argument("--count", type=int, help="requested protein count instead of the template's")
    for name, _ in LEARNING:
        p.add_argument(f"--{name}", help=f"{name} instead of the template's")
    p.add_argument("--dir", required=True, help="the run directory")
    a = p.parse_args(argv)

    learning = {}
    for name, record in LEARNING:
        text = getattr(a, name)
        if text is not None:
            try:
                learning[record] = learning_grid.normal("real", text)
            except learning_grid.GridError as e:
                print(f"prepare_run: --{name}: {e}", file=sys.stderr)
                return 1

    if grid_checks.time_of_day(a.time) is None:
        print(f"prepare_run: time of day {a.time!r} is not hh:mm:ss with hh 00-23, mm and ss 00-59",
              file=sys.stderr)
        return 1
    try:
        with open(a.template, encoding="utf-8", errors="replace") as f:
            records = read_template(f.read())
    except (OSError, TemplateError) as e:
        print(f"prepare_run: template {a.template}: {e}", file=sys.stderr)
        return 1
    data_root = os.path.abspath(a.data_root)
    missing = [d for d in DATA_FOLDERS if not os.path.isdir(os.path.join(data_root, d))]
    if missing:
        print(f"prepare_run: data root {data_root} lacks {', '.join(missing)}", file=sys.stderr)
        return 1

    os.makedirs(a.dir, exist_ok=True)
    try:
        for d in DATA_FOLDERS:
            link(os.path.join(data_root, d), os.path.join(a.dir, d))
    except (OSError, TemplateError) as e:
        print(f"prepare_run: {e}", file=sys.stderr)
        return 1
    shutil.copyfile(a.proteins, os.path.join(a.dir, LIST_NAME))
    write(os.path.join(a.dir, "kelvor.in"), defaults_text(records, a.fold, a.epochs, a.count, learning))
    script = os.path.join(a.dir, "run.sh")
    write(script, run_script(os.path.abspath(a.kelvor), a.seed, a.time))
    os.chmod(script, 0o755)
    return 0


if __name__ == "__main__":
    sys.exit(main())
