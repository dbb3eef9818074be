# SPDX-License-Identifier: GPL-3.0-or-later
"""Each window's own peak frequency, as the per-window files show it.

Two peaks per window, because ratiospec uses two: window_rejection judges a window by
the highest interior maximum of its whole curve, and Fo is the geometric mean, over
the kept windows, of each window's highest maximum inside a band around the peak of
the averaged curve.
"""

from dataclasses import dataclass

from .criteria import fo_search_rows, largest_interior_maximum, peak_between


@dataclass
class WindowPeak:
    span: object  # results.WindowSpan
    kept: bool
    peak: float  # Hz; None without per-window files or without an interior maximum
    fo_peak: float  # Hz; None for rejected windows and where the band holds no maximum


def window_peaks(hv, curves, f0):
    """One WindowPeak per window of hv; curves are the per-window H/V (or None), f0 the
    peak of the averaged curve (or None)."""
    band = None if f0 is None else fo_search_rows(hv.freq, f0)
    out = []
    for k, span in enumerate(hv.windows):
        kept = hv.kept(span.number)
        peak = fo_peak = None
        if curves is not None:
            curve = curves.curves[k]
            j = largest_interior_maximum(curve)
            peak = None if j is None else hv.freq[j]
            if kept and band is not None:
                j = peak_between(curve, *band)
                fo_peak = None if j is None else hv.freq[j]
        out.append(WindowPeak(span, kept, peak, fo_peak))
    return out
