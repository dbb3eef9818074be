# SPDX-License-Identifier: GPL-3.0-or-later
"""The .hv export: the averaged curve in the plain tab-separated layout that many H/V
scripts read, a '#' header of key lines, then frequency, average, min and max.

Tools disagree on what min and max are; here they are the averaged curve divided and
multiplied by its deviation factor (ratiospec averages geometrically), and the header
says so.
"""

import math
import os

from .outputs import write_text


def _number(x):
    return "nan" if x is None or not math.isfinite(x) else f"{x:.7g}"


def hv_text(hv, a):
    peak = a.peak
    lines = [
        f"# H/V curve exported by hvreport from {os.path.basename(hv.path)}",
        f"# Number of windows = {hv.n_kept}",
        "# f0 from average\t" + ("not found" if peak is None else _number(peak.f0)),
        "# f0 from windows\t" + ("not found" if hv.fo is None else
                                 "\t".join(_number(x) for x in (hv.fo, hv.fo_minus, hv.fo_plus))),
        "# Peak amplitude\t" + ("not found" if peak is None else _number(peak.a0)),
        "# Statistics: average = geometric mean of the windows' H/V; min, max = average "
        "divided and multiplied by exp(one lognormal standard deviation); f0 from windows = "
        "geometric mean of the windows' peak frequencies, low and high bound at one lognormal "
        "standard deviation",
        "# Frequency\tAverage\tMin\tMax",
    ]
    for f, av, sigma in zip(hv.freq, hv.hv, hv.sigma):
        low = av / sigma if sigma > 0 else math.nan  # a NaN factor compares false too
        lines.append("\t".join(_number(x) for x in (f, av, low, av * sigma)))
    return "\n".join(lines) + "\n"


def write(path, hv, a):
    write_text(path, hv_text(hv, a))
