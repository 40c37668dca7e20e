"""Reading what one kelvor run leaves in its directory.

kelvor.valdav holds, per phase, one epoch line per training epoch
("     1    0.7162D+00    0.7695D+00    0.7686D+00": epoch, training, validation and test
score) and a cross-validation block whose counter line holds the epoch counter and the
test-part score of the final pass. The first-stage phase ends with the "#After filter"
heading; the filter phase follows. Standard output holds the "random seed =" line.
"""

import math
import re
from dataclasses import dataclass, field
from typing import List, Optional, Tuple

REPORT = "kelvor.valdav"
STDOUT = "kelvor.out"
DONE = "kelvor.done"

PHASE_NAMES = ("first stage", "filter")


class ReportError(Exception):
    """A report file that does not read as kelvor writes it."""


@dataclass
class Epoch:
    number: int
    training: float
    validation: float
    test: float


@dataclass
class Phase:
    epochs: List[Epoch] = field(default_factory=list)
    counter: Optional[int] = None  # epoch counter of the cross-validation block
    test: Optional[float] = None  # test-part score of the final pass

    @property
    def complete(self) -> bool:
        return self.counter is not None

    def best_epoch(self) -> Optional[Epoch]:
        """The epoch whose weights the run kept: the first one with the strictly highest
        validation score. Scores that are not numbers never count. The epoch lines carry
        four digits; two different scores of a validation part with fewer than 10 000
        residues never print alike, so there the printed values decide as the run did."""
        best = None
        for epoch in self.epochs:
            if math.isnan(epoch.validation):
                continue
            if best is None or epoch.validation > best.validation:
                best = epoch
        return best


def parse_real(text: str) -> float:
    """A real as kelvor writes it: fixed, E or D exponent form, NaN, Infinity."""
    try:
        return float(text.replace("D", "E").replace("d", "e"))
    except ValueError:
        raise ReportError(f"not a number: {text!r}") from None


_EPOCH_LINE = re.compile(r"^\s*(\d+)\s+(\S+)\s+(\S+)\s+(\S+)\s*$")


def read_report_text(text: str, name: str = REPORT) -> Tuple[Phase, Optional[Phase]]:
    """Both phases of a report; the filter phase is None while the first one has not
    ended (a report of a run that is still going or was stopped)."""
    phases = [Phase()]
    expect_counter = False
    lines = text.split("\n")
    for number, line in enumerate(lines, 1):
        item = line.strip()
        if not item or item.startswith("-------------------"):
            continue
        where = f"{name}, line {number}"
        if item == "#Cross Validation":
            if phases[-1].complete:
                raise ReportError(f"{where}: a second cross-validation block in one phase")
            expect_counter = True
            continue
        if item.startswith("#---"):
            continue
        if item == "#After filter":
            if len(phases) == 2 or not phases[0].complete:
                raise ReportError(f"{where}: '#After filter' out of place")
            phases.append(Phase())
            continue
        fields = item.split()
        if expect_counter:
            if len(fields) != 2 or not fields[0].isdigit():
                raise ReportError(f"{where}: expected the epoch counter and the test score")
            phases[-1].counter = int(fields[0])
            phases[-1].test = parse_real(fields[1])
            expect_counter = False
            continue
        match = _EPOCH_LINE.match(line)
        if match is None:
            raise ReportError(f"{where}: not an epoch line: {line!r}")
        if phases[-1].complete:
            raise ReportError(f"{where}: epoch line after the cross-validation block")
        epoch = Epoch(int(match.group(1)), *(parse_real(match.group(i)) for i in (2, 3, 4)))
        previous = phases[-1].epochs[-1].number if phases[-1].epochs else 0
        if epoch.number != previous + 1:
            raise ReportError(f"{where}: epoch {epoch.number} follows epoch {previous}")
        phases[-1].epochs.append(epoch)
    return phases[0], (phases[1] if len(phases) == 2 else None)


def read_report(path: str) -> Tuple[Phase, Optional[Phase]]:
    with open(path, encoding="ascii", errors="replace") as f:
        return read_report_text(f.read(), path)


def read_random_seed(path: str) -> Optional[int]:
    """The value of the "random seed =" line of a run's standard output."""
    with open(path, encoding="ascii", errors="replace") as f:
        for line in f:
            match = re.match(r"^\s*random seed =\s*(-?\d+)\s*$", line)
            if match:
                return int(match.group(1))
    return None


def read_done(path: str) -> dict:
    """The key-value lines (tab-separated) of a finished run's record."""
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line:
                key, _, value = line.partition("\t")
                values[key] = value
    return values
