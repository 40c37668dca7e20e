"""The learning settings that a cross-validation grid spans, and the directory name of each
combination.

Every setting is one value, a list of values, or null for the template's own value. A
combination's name shows all five values, the template's ones included, in a normal form
(the shortest decimal that reads back as the same double), so that one name always means one
set of numbers: "rate0.001_momentum0.5_gain0.5_dcay1.0_epochs30".
"""

import itertools
import math
import re

# (config key and name prefix, record of the defaults file, kind)
SETTINGS = (
    ("rate", 3, "real"),
    ("momentum", 4, "real"),
    ("gain", 5, "real"),
    ("dcay", 6, "real"),
    ("epochs", 0, "whole"),
)
_WHOLE = re.compile(r"^[+-]?\d+$")


class GridError(Exception):
    pass


def normal(kind, value):
    """The text of one value in normal form; GridError when it is not a value of its kind."""
    if isinstance(value, bool):
        raise GridError(f"{value!r} is not a number")
    text = str(value).strip()
    if kind == "whole":
        if not _WHOLE.match(text):
            raise GridError(f"{value!r} is not a whole number")
        return str(int(text))
    try:
        x = float(text.replace("D", "E").replace("d", "e"))
    except ValueError:
        raise GridError(f"{value!r} is not a number") from None
    if not math.isfinite(x):
        raise GridError(f"{value!r} is not a finite number")
    return repr(x)


def setting_values(key, kind, given, template_value):
    """The normal forms of one setting's values: the given ones, or the template's."""
    if given is None or given == "" or given == []:
        try:
            return [normal(kind, template_value)], False
        except GridError as e:
            raise GridError(f"the template's {key}: {e}") from None
    items = given if isinstance(given, list) else [given]
    try:
        values = [normal(kind, v) for v in items]
    except GridError as e:
        raise GridError(f"{key}: {e}") from None
    doubles = sorted({v for v in values if values.count(v) > 1})
    if doubles:
        raise GridError(f"{key} names a value twice: {', '.join(doubles)}")
    if key == "epochs" and any(int(v) < 1 for v in values):
        raise GridError("epochs: a grid trains, so every epoch limit must be at least 1")
    if key == "epochs" and any(int(v) > 2147483647 for v in values):
        too_large = next(v for v in values if int(v) > 2147483647)
        raise GridError(f"epochs: {too_large} is out of range; allowed: 1 to 2147483647")
    return values, True


def combination_name(values):
    """values: the normal forms, keyed by setting."""
    return "_".join(f"{key}{values[key]}" for key, _, _ in SETTINGS)


def combinations(config, records):
    """Every combination of the grid in order (rate varies slowest): a list of
    (name, values, given) where `given` names the settings that the run's defaults file
    must replace."""
    axes, given = [], set()
    for key, record, kind in SETTINGS:
        values, from_config = setting_values(key, kind, config.get(key), records[record][0])
        axes.append(values)
        if from_config:
            given.add(key)
    out = []
    for combo in itertools.product(*axes):
        values = {key: v for (key, _, _), v in zip(SETTINGS, combo)}
        out.append((combination_name(values), values, given))
    return out


def values_of_records(records):
    """The normal forms of the five settings as a defaults file holds them."""
    return {key: normal(kind, records[record][0]) for key, record, kind in SETTINGS}
