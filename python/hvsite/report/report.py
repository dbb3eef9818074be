# SPDX-License-Identifier: GPL-3.0-or-later
"""The criteria table (text) and the same content as JSON."""

import json
import math

from .criteria import FAIL, PASS, UNKNOWN, find_peak, g

LABEL_WIDTH = 46
SHOWN_WIDTH = 40
THRESHOLD_WIDTH = 20


def _row(label, shown, threshold, verdict):
    return f"  {label:<{LABEL_WIDTH}}{shown:<{SHOWN_WIDTH}}{threshold:<{THRESHOLD_WIDTH}}{verdict}"


def criterion_line(c):
    verdict = c.verdict + (f" ({c.note})" if c.verdict != PASS and c.note else "")
    return _row(c.label, c.shown, c.threshold, verdict)


def clear_summary(a):
    text = f"clear peak: {a.clear_passed} of 6"
    if a.clear == "undetermined":
        return f"{text} (undetermined: {a.clear_unknown} not evaluable)"
    return f"{text} ({'clear' if a.clear == 'yes' else 'no clear peak'})"


def reliable_summary(a):
    """The verdict, with the reason when the peak may lie outside the grid."""
    edge = [c for c in a.group("reliable") if c.key == "largest_value_inside_grid"]
    if edge and edge[0].verdict == FAIL:
        return f"reliable curve: {a.reliable} ({edge[0].note})"
    return f"reliable curve: {a.reliable}"


def windows_line(hv):
    line = f"lw = {g(hv.window_len)} s, nw = {hv.n_kept}"
    r = hv.rejection
    if r is None:
        return line
    rejected = " ".join(str(w) for w in r.rejected) or "none"
    return (f"{line} (kept of {hv.n_windows} windows by window_rejection at {g(r.n_sd)} s.d., "
            f"{r.iterations} iterations; rejected: {rejected})")


def azimuth_lines(azimuths):
    lines = [f"Fo per azimuth ({azimuths.path}; degrees east of north):",
             f"  {'azimuth':>8}  {'Fo [Hz]':>8}  band [Hz]"]
    for degrees, fo in zip(azimuths.degrees, azimuths.fo):
        shown = "not found" if fo is None else f"{fo[0]:8.4f}  {fo[1]:.4f} - {fo[2]:.4f}"
        lines.append(f"  {degrees:8.2f}  {shown}")
    return lines


def table_lines(hv, a, azimuths=None):
    freq = hv.freq
    lines = [f"hvreport: {hv.path}"]
    if a.peak is None:
        lines.append("f0: the averaged H/V has no interior maximum")
    else:
        lines.append(f"f0 = {g(a.peak.f0)} Hz, A0 = {g(a.peak.a0)} (largest interior maximum of "
                     f"av_HV over {len(freq)} rows, {g(freq[0])} - {g(freq[-1])} Hz)")
    if hv.fo is None:
        lines.append("Fo: not found by ratiospec (-9)")
    else:
        lines.append(f"Fo = {hv.fo:.4f} Hz, band {hv.fo_minus:.4f} - {hv.fo_plus:.4f} Hz, "
                     f"sigma_f = {g((hv.fo_plus - hv.fo_minus) / 2)} Hz")
    lines.append(windows_line(hv))
    lines.append("")
    lines.append(_row("criterion", "value(s)", "threshold", "verdict"))
    lines.append("reliable curve (all four):")
    lines += [criterion_line(c) for c in a.group("reliable")]
    lines.append("clear peak (at least five of six):")
    lines += [criterion_line(c) for c in a.group("clear")]
    lines.append("")
    lines.append(reliable_summary(a))
    lines.append(clear_summary(a))
    if azimuths is not None:
        lines += [""] + azimuth_lines(azimuths)
    return lines


def _clean(value):
    """JSON has no NaN or infinity: an unknown number is null."""
    if isinstance(value, float) and not math.isfinite(value):
        return None
    if isinstance(value, dict):
        return {k: _clean(v) for k, v in value.items()}
    if isinstance(value, list):
        return [_clean(v) for v in value]
    return value


def _azimuth_dict(azimuths):
    table = []
    for k, degrees in enumerate(azimuths.degrees):
        fo = azimuths.fo[k] or (None, None, None)
        peak = find_peak(azimuths.table.freq, azimuths.table.columns[k])
        table.append({"azimuth": degrees, "Fo": fo[0], "Fo_minus": fo[1], "Fo_plus": fo[2],
                      "f0": None if peak is None else peak.f0,
                      "A0": None if peak is None else peak.a0})
    return {"file": azimuths.path, "step": azimuths.step, "table": table}


def _rejection_dict(hv):
    r = hv.rejection
    if r is None:
        return None
    return {"kept": r.kept_count, "of": hv.n_windows, "iterations": r.iterations, "n_sd": r.n_sd,
            "rejected": r.rejected}


def report_dict(hv, a, figure=None, peaks=None, azimuths=None, hv_export=None):
    peak = a.peak
    sigma_f = None if hv.fo is None else (hv.fo_plus - hv.fo_minus) / 2
    return _clean({
        "file": hv.path,
        "f0": None if peak is None else peak.f0,
        "A0": None if peak is None else peak.a0,
        "Fo": hv.fo,
        "Fo_minus": hv.fo_minus,
        "Fo_plus": hv.fo_plus,
        "sigma_f": sigma_f,
        "window_length": hv.window_len,
        "n_windows": hv.n_windows,
        "n_windows_kept": hv.n_kept,
        "window_rejection": _rejection_dict(hv),
        # peak_frequency: the window's highest interior maximum (what window_rejection
        # judges); fo_peak_frequency: its maximum in the band around f0 that Fo averages.
        "windows": [
            {"number": p.span.number, "recording": p.span.recording, "start": p.span.start,
             "end": p.span.end, "kept": p.kept, "peak_frequency": p.peak,
             "fo_peak_frequency": p.fo_peak}
            for p in peaks or []
        ],
        "azimuth": None if azimuths is None else _azimuth_dict(azimuths),
        "n_rows": len(hv.freq),
        "criteria": [
            {"key": c.key, "group": c.group, "label": c.label, "values": c.values,
             "threshold": c.threshold, "verdict": c.verdict, "note": c.note}
            for c in a.criteria
        ],
        "reliable_curve": a.reliable,
        "clear_peak": {"passed": a.clear_passed, "not_evaluable": a.clear_unknown, "of": 6,
                       "verdict": a.clear},
        "figure": figure,
        "hv_export": hv_export,
    })


def report_json(hv, a, figure=None, peaks=None, azimuths=None, hv_export=None):
    return json.dumps(report_dict(hv, a, figure, peaks, azimuths, hv_export), indent=2,
                      allow_nan=False) + "\n"
