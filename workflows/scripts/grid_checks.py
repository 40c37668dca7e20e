"""Every value of a grid's configuration checked against the limits of kelvor itself, before a
single run is planned: a run that kelvor would refuse is never laid out, so the results folder
stays as it was and a corrected configuration runs in it.

kelvor's rules, as it applies them to one run:
  - whole numbers on the command line and in kelvor.in are 32-bit: -2147483648 to 2147483647;
  - the test fraction (setting 9) lies in 0..1 and the requested protein count is not negative;
  - the run uses n = the requested count, or the list's line count when the list is shorter,
    and tests t = round(n * fraction) of them. Fold k's test block ends at list line
    hi = round((k * fraction) * n); the fold is usable when that block lies wholly inside the
    list (t <= hi <= n) or wholly outside it (hi <= 0 or hi >= n + t);
  - the seed offset must give a random seed at the run's time of day (the seed formula below);
  - KELVOR_TIME is hh:mm:ss with hh 0-23 and mm, ss 0-59; KELVOR_THREADS is 0 to 8;
  - the protein list exists, names a protein, and has no blank line.
Halves round away from zero throughout, as kelvor rounds them.
"""

import math
import os
import re
import struct

INT_MIN, INT_MAX = -2147483648, 2147483647
MAX_THREADS = 8
DATA_FOLDERS = ("dssp_data", "new_prf", "kvqout")
_TIME = re.compile(r"^(\d\d):(\d\d):(\d\d)$")
_WHOLE = re.compile(r"^\s*[+-]?\d+\s*$")


def _single(x):
    """x rounded to single precision and back, as a C float cast does."""
    return struct.unpack("f", struct.pack("f", x))[0]


_HOUR_SCALE = _single(1.74)
_MINUTE_SCALE = _single(4.35)
_SECOND_SCALE = _single(2.8)
_2TO31 = 2147483648.0


def round_half_away(x):
    return int(x + 0.5) if x >= 0.0 else int(x - 0.5)


def time_of_day(text):
    """(h, m, s) of a real time of day written hh:mm:ss, or None."""
    m = _TIME.match(str(text))
    if not m:
        return None
    h, mi, s = (int(g) for g in m.groups())
    return (h, mi, s) if h <= 23 and mi <= 59 and s <= 59 else None


def seed_defined(offset, hms):
    """True when kelvor's seed formula gives a 32-bit seed for this offset at this time of day;
    the same operations in the same order as kelvor's, so the answer is kelvor's."""
    a = _single(hms[0] / _HOUR_SCALE)
    b = _single(hms[1] / _MINUTE_SCALE)
    k = int(math.trunc(math.exp(hms[2] / _SECOND_SCALE))) % 61
    kq = k / _SECOND_SCALE
    total = float(offset)
    total = total + math.exp(a)
    total = total + math.exp(b)
    total = total + math.exp(kq)
    if not (0.0 < total < _2TO31):
        return False
    digits = int(math.trunc(math.log10(total)))
    p = 10 ** digits if digits >= 0 else 0
    value = kq + math.fabs(p * (total - math.trunc(total)) - total)
    return value < _2TO31


def block_top(k, fraction, n):
    x = (k * fraction) * n
    if not (-1e15 < x < 1e15):
        return 10**15 if x > 0 else -(10**15)
    return round_half_away(x)


def fold_usable(k, fraction, n, t):
    hi = block_top(k, fraction, n)
    return t <= hi <= n or hi <= 0 or hi >= n + t


def folds_inside(fraction, n, t):
    """The folds whose test block lies inside the list, as "1 to 10", or "none"."""
    inside = []
    for k in range(1, n + 2):
        hi = block_top(k, fraction, n)
        if hi > n:
            break
        if hi >= t:
            inside.append(k)
    return f"{inside[0]} to {inside[-1]}" if inside else "none"


def list_line_count(path):
    """The protein list's line count as kelvor counts lines; ValueError names what is wrong."""
    try:
        with open(path, "rb") as f:
            content = f.read()
    except FileNotFoundError:
        raise ValueError(f"proteins: {path} is missing") from None
    except OSError as e:
        raise ValueError(f"proteins: {path} cannot be read ({e.strerror})") from None
    lines = content.split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    if not lines:
        raise ValueError(f"proteins: {path} names no protein")
    for number, line in enumerate(lines, 1):
        if line.strip(b" \t\r") == b"":
            raise ValueError(f"proteins: {path} line {number} is blank; kelvor wants one protein name a line")
    return len(lines)


def whole(name, value, low, high):
    """value as an int within low..high, or ValueError naming the setting and the value."""
    if isinstance(value, bool) or not (isinstance(value, int) or (isinstance(value, str) and _WHOLE.match(value))):
        raise ValueError(f"{name}: {value!r} is not a whole number")
    number = int(value)
    if not low <= number <= high:
        raise ValueError(f"{name}: {number} is out of range; allowed: {low} to {high}")
    return number


def problems(folds, seeds, kelvor_time, count, threads, runtime, fraction, list_path, data_root,
             count_name="protein_count"):
    """Every fault of the configuration, one message each (an empty list when it may run).

    folds, seeds: the values as given; kelvor_time: its text; count: the protein count the runs
    request (the template's when the configuration sets none), named count_name in messages;
    threads, runtime: as given; fraction: the template's test fraction, a float."""
    out = []

    def keep(check, *args):
        try:
            return check(*args)
        except ValueError as e:
            out.append(str(e))
            return None

    hms = None if isinstance(kelvor_time, (int, float)) else time_of_day(kelvor_time)
    if hms is None:
        # YAML reads an unquoted 03:04:05 as a number of seconds (11045).
        hint = " (put it in quotes: YAML reads an unquoted hh:mm:ss as a number)" if isinstance(
            kelvor_time, (int, float)) and not isinstance(kelvor_time, bool) else ""
        out.append(f"kelvor_time: {str(kelvor_time)!r} is not a time of day; allowed: hh:mm:ss with hh 00-23, "
                   f"mm and ss 00-59{hint}")
    count = keep(whole, count_name, count, 0, INT_MAX)
    keep(whole, "threads_per_run", threads, 1, MAX_THREADS)
    keep(whole, "runtime_minutes", runtime, 1, INT_MAX)
    if not 0.0 <= fraction <= 1.0:
        out.append(f"template: its test fraction (setting 9) is {fraction!r}; allowed: 0 to 1")
        fraction = None
    missing = [d for d in DATA_FOLDERS if not os.path.isdir(os.path.join(data_root, d))]
    if missing:
        out.append(f"data_root: {data_root} lacks {', '.join(missing)}")
    lines = keep(list_line_count, list_path)

    seed_numbers = [keep(whole, "seeds", s, INT_MIN, INT_MAX) for s in seeds]
    if hms is not None:
        for s in seed_numbers:
            if s is not None and not seed_defined(s, hms):
                out.append(f"seeds: {s} gives no random seed at kelvor_time {kelvor_time} (kelvor's seed formula "
                           "leaves the 32-bit range); allowed: -2 to 100000000 at any time of day")

    fold_numbers = [keep(whole, "folds", f, INT_MIN, INT_MAX) for f in folds]
    if count is not None and lines is not None and fraction is not None:
        n = min(count, lines)
        t = round_half_away(n * fraction)
        for k in fold_numbers:
            if k is None or fold_usable(k, fraction, n, t):
                continue
            hi = block_top(k, fraction, n)
            out.append(f"folds: {k} is not usable with the test fraction {fraction!r}: its test block of {t} "
                       f"proteins (list lines {hi - t + 1} to {hi}) straddles an end of the list of {n} "
                       f"proteins; allowed: {folds_inside(fraction, n, t)} (or 0 and below, whose test part "
                       f"is the last {t} proteins)")
    return out
