# SPDX-License-Identifier: GPL-3.0-or-later
"""Reliability and clear-peak criteria of an averaged H/V curve.

Every criterion ends as "pass", "fail" or "not evaluable"; a criterion whose data
do not reach a decision is never counted as a pass. A criterion over an interval of
frequencies decides on the rows it has when they already settle it (a row that
breaks an "every row" rule fails it; a row that meets a "some row" rule passes it),
and is not evaluable when the undecided part of the interval lies outside the valid
rows.
"""

import math
from dataclasses import dataclass, field

PASS, FAIL, UNKNOWN = "pass", "fail", "not evaluable"


@dataclass
class Criterion:
    key: str  # stable name for scripts
    group: str  # "reliable" or "clear"
    label: str  # the criterion as the table prints it
    threshold: str
    verdict: str
    values: dict = field(default_factory=dict)  # numbers behind the verdict (None: unknown)
    shown: str = ""  # the values as the table prints them
    note: str = ""  # why a criterion is not evaluable


@dataclass
class Peak:
    row: int
    f0: float
    a0: float


def largest_interior_maximum(values):
    """Row of the largest local maximum strictly inside the rows, or None.

    A maximum rises strictly from the row before and does not fall to the row after,
    so a two-row plateau peaks at its first row; the first of equal maxima wins.
    This is the rule ratiospec uses to find the peak of the averaged curve.
    """
    best, best_value = None, -math.inf
    for j in range(1, len(values) - 1):
        v = values[j]
        if v > values[j - 1] and v >= values[j + 1] and v > best_value:
            best, best_value = j, v
    return best


def peak_between(values, ja, jb):
    """Row of the largest interior maximum strictly between rows ja and jb, or None."""
    j = largest_interior_maximum(values[ja : jb + 1])
    return None if j is None else ja + j


def fo_search_rows(freq, f0):
    """The rows ja, jb between which ratiospec looks for each window's peak when it forms
    Fo: f0/t .. f0*t around the averaged curve's peak f0, with t falling from 1.5 at
    0.2 Hz to 1.25 at 20 Hz; each bound is the first row that reaches it, or the end
    row when the band runs past the grid."""
    t = min(max(1.5 - (f0 - 0.2) * 0.25 / 19.8, 1.25), 1.5)

    def first_reaching(v):
        return next((j for j, f in enumerate(freq) if f >= v), len(freq) - 1)

    ja = 0 if f0 / t < freq[0] else first_reaching(f0 / t)
    jb = len(freq) - 1 if f0 * t > freq[-1] else first_reaching(f0 * t)
    return ja, jb


def find_peak(freq, hv):
    j = largest_interior_maximum(hv)
    return None if j is None else Peak(j, freq[j], hv[j])


def thresholds(f0):
    """(epsilon, theta) for the frequency spread and the amplitude deviation at f0."""
    if f0 < 0.2:
        return 0.25 * f0, 3.0
    if f0 < 0.5:
        return 0.20 * f0, 2.5
    if f0 < 1.0:
        return 0.15 * f0, 2.0
    if f0 < 2.0:
        return 0.10 * f0, 1.78
    return 0.05 * f0, 1.58


def g(x):
    return "?" if x is None or (isinstance(x, float) and math.isnan(x)) else f"{x:.4g}"


def _rows_in(freq, low, high, closed):
    if closed:
        return [j for j, f in enumerate(freq) if low <= f <= high]
    return [j for j, f in enumerate(freq) if low < f < high]


def _covered(freq, low, high):
    return bool(freq) and freq[0] <= low and freq[-1] >= high


def _decide(definite, settled, covered, has_nan):
    """Verdict of an interval criterion; definite is the verdict that one row can force
    (FAIL for "every row", PASS for "some row") and settled says whether a row did."""
    if settled:
        return definite
    if not covered or has_nan:
        return UNKNOWN
    return PASS if definite == FAIL else FAIL


# ---- reliable curve -------------------------------------------------------------------


def _f0_above(peak, lw):
    limit = 10.0 / lw
    verdict = PASS if peak.f0 > limit else FAIL
    return Criterion("f0_above_10_over_lw", "reliable", "f0 > 10/lw", f"> {g(limit)} Hz", verdict,
                     {"f0": peak.f0, "limit": limit}, f"f0 = {g(peak.f0)} Hz")


def _enough_cycles(peak, lw, nw):
    nc = lw * nw * peak.f0
    verdict = PASS if nc > 200 else FAIL
    return Criterion("nc_above_200", "reliable", "nc = lw*nw*f0 > 200", "> 200", verdict,
                     {"nc": nc}, f"nc = {g(nc)}")


def _sigma_low_around_peak(peak, freq, sigma):
    limit = 2.0 if peak.f0 > 0.5 else 3.0
    low, high = 0.5 * peak.f0, 2.0 * peak.f0
    rows = _rows_in(freq, low, high, closed=False)
    known = [j for j in rows if not math.isnan(sigma[j])]
    worst = max(known, key=lambda j: sigma[j], default=None)
    broken = worst is not None and not sigma[worst] < limit
    verdict = _decide(FAIL, broken, _covered(freq, low, high), len(known) < len(rows))
    shown = "no row" if worst is None else f"max sigma_A = {g(sigma[worst])} at {g(freq[worst])} Hz"
    note = ""
    if verdict == UNKNOWN:
        note = "part of 0.5f0..2f0 lies outside the valid rows" if len(known) == len(rows) else \
            "sigma_A is not a number at some row"
    return Criterion(
        "sigma_a_below_limit_around_f0", "reliable", f"sigma_A < {g(limit)} for 0.5f0 < f < 2f0",
        f"< {g(limit)}", verdict,
        {"max_sigma_a": None if worst is None else sigma[worst],
         "at": None if worst is None else freq[worst], "limit": limit}, shown, note)


def _largest_inside(freq, hv):
    """The curve's largest value on the grid's first or last row: the peak may lie
    outside the grid, and no criterion on the peak inside it can vouch for the curve."""
    known = [j for j, a in enumerate(hv) if not math.isnan(a)]
    if not known:
        return Criterion("largest_value_inside_grid", "reliable", "largest A inside the grid",
                         "not on an edge row", UNKNOWN, {}, "no value",
                         "A is not a number at any row")
    top = max(known, key=lambda j: (hv[j], -j))
    edge = top in (0, len(hv) - 1)
    return Criterion("largest_value_inside_grid", "reliable", "largest A inside the grid",
                     "not on an edge row", FAIL if edge else PASS,
                     {"at": freq[top], "A": hv[top]}, f"largest A = {g(hv[top])} at {g(freq[top])} Hz",
                     "the largest value is on the grid's edge: the peak may lie outside the grid"
                     if edge else "")


# ---- clear peak -----------------------------------------------------------------------


def _half_amplitude_side(peak, freq, hv, below):
    half = peak.a0 / 2.0
    low, high = (peak.f0 / 4.0, peak.f0) if below else (peak.f0, 4.0 * peak.f0)
    rows = _rows_in(freq, low, high, closed=True)
    hits = [j for j in rows if hv[j] < half]
    # The nearest such frequency to f0 is the one conventionally quoted (f- or f+).
    hit = (max(hits) if below else min(hits)) if hits else None
    has_nan = any(math.isnan(hv[j]) for j in rows)
    verdict = _decide(PASS, hit is not None, _covered(freq, low, high), has_nan)
    name = "f-" if below else "f+"
    span = "[f0/4, f0]" if below else "[f0, 4f0]"
    shown = f"{name} = {g(freq[hit])} Hz, A = {g(hv[hit])}" if hit is not None else \
        f"min A = {g(min((hv[j] for j in rows), default=None))}"
    note = ""
    if verdict == UNKNOWN:
        note = f"part of {span} lies outside the valid rows" if not has_nan else \
            "A is not a number at some row"
    key = "half_amplitude_below_f0" if below else "half_amplitude_above_f0"
    return Criterion(key, "clear", f"A < A0/2 in {span}", f"< {g(half)}", verdict,
                     {name: None if hit is None else freq[hit], "limit": half}, shown, note)


def _amplitude(peak):
    verdict = PASS if peak.a0 > 2.0 else FAIL
    return Criterion("a0_above_2", "clear", "A0 > 2", "> 2", verdict, {"A0": peak.a0},
                     f"A0 = {g(peak.a0)}")


def _band_peaks_stable(peak, freq, hv, sigma):
    upper = find_peak(freq, [a * s for a, s in zip(hv, sigma)])
    lower = find_peak(freq, [a / s for a, s in zip(hv, sigma)])
    low, high = 0.95 * peak.f0, 1.05 * peak.f0
    found = [p for p in (upper, lower) if p is not None]
    outside = any(not low <= p.f0 <= high for p in found)
    if outside:
        verdict = FAIL
    elif len(found) < 2:
        verdict = UNKNOWN
    else:
        verdict = PASS
    f_upper = None if upper is None else upper.f0
    f_lower = None if lower is None else lower.f0
    return Criterion(
        "band_peaks_within_5_percent", "clear", "peaks of A*sigma_A, A/sigma_A at f0 +/- 5%",
        f"{g(low)} .. {g(high)} Hz", verdict, {"f_upper": f_upper, "f_lower": f_lower},
        f"{g(f_upper)} Hz, {g(f_lower)} Hz",
        "a band curve has no interior maximum" if verdict == UNKNOWN else "")


def _frequency_spread(peak, fo_minus, fo_plus):
    epsilon, _ = thresholds(peak.f0)
    if fo_minus is None or fo_plus is None:
        return Criterion("sigma_f_below_epsilon", "clear", "sigma_f < epsilon(f0)",
                         f"< {g(epsilon)} Hz", UNKNOWN, {"sigma_f": None, "limit": epsilon},
                         "Fo not found", "ratiospec found no Fo (-9)")
    sigma_f = (fo_plus - fo_minus) / 2.0
    verdict = PASS if sigma_f < epsilon else FAIL
    return Criterion("sigma_f_below_epsilon", "clear", "sigma_f < epsilon(f0)",
                     f"< {g(epsilon)} Hz", verdict, {"sigma_f": sigma_f, "limit": epsilon},
                     f"sigma_f = {g(sigma_f)} Hz")


def _sigma_at_peak(peak, sigma):
    _, theta = thresholds(peak.f0)
    value = sigma[peak.row]
    verdict = UNKNOWN if math.isnan(value) else (PASS if value < theta else FAIL)
    return Criterion("sigma_a_at_f0_below_theta", "clear", "sigma_A(f0) < theta(f0)",
                     f"< {g(theta)}", verdict, {"sigma_a": value, "limit": theta},
                     f"sigma_A(f0) = {g(value)}",
                     "sigma_A is not a number at f0" if verdict == UNKNOWN else "")


# ---- all of them ------------------------------------------------------------------------

_NO_PEAK = [
    ("f0_above_10_over_lw", "reliable", "f0 > 10/lw"),
    ("nc_above_200", "reliable", "nc = lw*nw*f0 > 200"),
    ("sigma_a_below_limit_around_f0", "reliable", "sigma_A < limit for 0.5f0 < f < 2f0"),
    ("half_amplitude_below_f0", "clear", "A < A0/2 in [f0/4, f0]"),
    ("half_amplitude_above_f0", "clear", "A < A0/2 in [f0, 4f0]"),
    ("a0_above_2", "clear", "A0 > 2"),
    ("band_peaks_within_5_percent", "clear", "peaks of A*sigma_A, A/sigma_A at f0 +/- 5%"),
    ("sigma_f_below_epsilon", "clear", "sigma_f < epsilon(f0)"),
    ("sigma_a_at_f0_below_theta", "clear", "sigma_A(f0) < theta(f0)"),
]


@dataclass
class Assessment:
    peak: Peak  # None when the averaged curve has no interior maximum
    criteria: list

    def group(self, name):
        return [c for c in self.criteria if c.group == name]

    @property
    def reliable(self):
        verdicts = [c.verdict for c in self.group("reliable")]
        if FAIL in verdicts:
            return "no"
        return "yes" if all(v == PASS for v in verdicts) else "undetermined"

    @property
    def clear_passed(self):
        return sum(c.verdict == PASS for c in self.group("clear"))

    @property
    def clear_unknown(self):
        return sum(c.verdict == UNKNOWN for c in self.group("clear"))

    @property
    def clear(self):
        """At least five of the six clear-peak criteria must pass."""
        if self.clear_passed >= 5:
            return "yes"
        return "no" if self.clear_passed + self.clear_unknown < 5 else "undetermined"


def assess(freq, hv, sigma, lw, nw, fo_minus, fo_plus):
    """All nine criteria for the curve hv (with deviation factor sigma) on rows freq."""
    peak = find_peak(freq, hv)
    if peak is None:
        return Assessment(None, [
            Criterion(key, group, label, "", UNKNOWN, {}, "no peak",
                      "the averaged H/V has no interior maximum")
            for key, group, label in _NO_PEAK] + [_largest_inside(freq, hv)])
    return Assessment(peak, [
        _f0_above(peak, lw),
        _enough_cycles(peak, lw, nw),
        _sigma_low_around_peak(peak, freq, sigma),
        _largest_inside(freq, hv),
        _half_amplitude_side(peak, freq, hv, below=True),
        _half_amplitude_side(peak, freq, hv, below=False),
        _amplitude(peak),
        _band_peaks_stable(peak, freq, hv, sigma),
        _frequency_spread(peak, fo_minus, fo_plus),
        _sigma_at_peak(peak, sigma),
    ])
