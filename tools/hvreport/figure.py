# SPDX-License-Identifier: GPL-3.0-or-later
"""The report figure: H/V curve, averaged spectra and recordings with their windows.

Built on a bare matplotlib Figure (no pyplot, no global state), at a fixed size so
that scripts and tests know what they get: 10 inches wide at 100 dpi, 4 inches for
the H/V panel, 3 for the spectra and 2.4 per recording.
"""

import os

from . import report
from .outputs import write_atomically

WIDTH_IN = 10.0
DPI = 100
HV_HEIGHT_IN = 4.0
SPECTRA_HEIGHT_IN = 3.0
TRACE_HEIGHT_IN = 2.4
LANE = 0.45  # half height of one component's lane in a recording panel
MAX_TRACES = 4  # recordings drawn; more are named in the last panel's title
FORMATS = (".png", ".pdf", ".svg")


def size_pixels(with_spectra, n_traces):
    height = HV_HEIGHT_IN + (SPECTRA_HEIGHT_IN if with_spectra else 0.0)
    height += TRACE_HEIGHT_IN * min(n_traces, MAX_TRACES)
    return round(WIDTH_IN * DPI), round(height * DPI)


def _hv_panel(ax, hv, a, windows):
    import numpy as np

    f = np.asarray(hv.freq)
    curve = np.asarray(hv.hv)
    sigma = np.asarray(hv.sigma)
    if windows is not None:
        for k, w in enumerate(windows.curves):
            ax.plot(f, w, color="0.78", lw=0.5, zorder=1,
                    label="single windows" if k == 0 else None)
    ax.fill_between(f, curve / sigma, curve * sigma, color="tab:blue", alpha=0.25, lw=0, zorder=2,
                    label="average ×/÷ deviation factor")
    ax.plot(f, curve, color="k", lw=1.6, zorder=3, label="average H/V")
    if hv.fo is not None:
        ax.axvspan(hv.fo_minus, hv.fo_plus, color="tab:orange", alpha=0.25, zorder=0,
                   label=f"Fo band {hv.fo_minus:.3g}–{hv.fo_plus:.3g} Hz")
    if a.peak is not None:
        ax.axvline(a.peak.f0, color="tab:red", ls="--", lw=1.0, zorder=4,
                   label=f"f0 = {a.peak.f0:.4g} Hz, A0 = {a.peak.a0:.3g}")
    ax.set_xscale("log")
    ax.set_xlim(f[0], f[-1])
    upper = np.nanmax(np.where(np.isfinite(curve * sigma), curve * sigma, np.nan))
    if np.isfinite(upper) and upper > 0:
        ax.set_ylim(0, 1.15 * upper)
    ax.set_ylabel("H/V")
    ax.grid(True, which="both", lw=0.3, alpha=0.5)
    ax.legend(loc="upper right", fontsize=8)
    clear = f"clear peak {a.clear_passed} of 6"
    reliable = report.reliable_summary(a).replace("reliable curve: ", "reliable curve ")
    ax.set_title(f"{os.path.basename(hv.path)}: {reliable}, {clear}", fontsize=10)


def _spectra_panel(ax, hv, spectra, a):
    names = ("vertical", "north-south", "east-west")
    for c, name in enumerate(names):
        ax.plot(spectra.table.freq, spectra.table.columns[c], lw=1.0, label=name)
    if a.peak is not None:
        ax.axvline(a.peak.f0, color="tab:red", ls="--", lw=1.0)
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlim(hv.freq[0], hv.freq[-1])
    ax.set_xlabel("frequency [Hz]")
    ax.set_ylabel("amplitude spectrum" + (f" [{hv.labels[3]}·s]" if hv.labels[3] else ""))
    ax.grid(True, which="both", lw=0.3, alpha=0.5)
    ax.legend(loc="upper right", fontsize=8)


def _trace_panel(ax, trace, title):
    import numpy as np

    t = (np.asarray(trace.t_first) + np.asarray(trace.t_last)) / 2
    names = trace.labels[:3] if len(trace.labels) >= 3 else ["1", "2", "3"]
    for c in range(3):
        low, high = np.asarray(trace.low[c]), np.asarray(trace.high[c])
        middle = np.nanmedian((low + high) / 2)
        # Scaled to the typical bucket so that the noise shows; transients run into
        # the lane's edge, which is enough to see why no window covers them.
        scale = 4.0 * np.nanmedian((high - low) / 2)
        scale = scale if np.isfinite(scale) and scale > 0 else 1.0
        offset = 2 - c  # vertical on top
        ax.fill_between(t, offset + np.clip((low - middle) / scale, -1, 1) * LANE,
                        offset + np.clip((high - middle) / scale, -1, 1) * LANE, color="0.25",
                        lw=0.3)
    for start, end in trace.windows:
        ax.axvspan(start, end, color="tab:green", alpha=0.18, lw=0)
    ax.set_yticks([2, 1, 0], [n or str(k + 1) for k, n in enumerate(names)])
    ax.set_ylim(-0.6, 2.6)
    ax.set_xlim(0, max(trace.t_last[-1], trace.windows[-1][1] if trace.windows else 0))
    ax.set_xlabel("time from the first sample [s]")
    ax.set_title(title, fontsize=9)


def draw(hv, a, windows, spectra, traces):
    from matplotlib.figure import Figure

    shown = traces[:MAX_TRACES]
    heights = [HV_HEIGHT_IN] + ([SPECTRA_HEIGHT_IN] if spectra else [])
    heights += [TRACE_HEIGHT_IN] * len(shown)
    fig = Figure(figsize=(WIDTH_IN, sum(heights)), dpi=DPI, layout="constrained")
    axes = fig.subplots(len(heights), 1, gridspec_kw={"height_ratios": heights},
                        squeeze=False)[:, 0]
    _hv_panel(axes[0], hv, a, windows)
    if spectra:
        axes[1].sharex(axes[0])
        _spectra_panel(axes[1], hv, spectra, a)
    else:
        axes[0].set_xlabel("frequency [Hz]")
    for k, trace in enumerate(shown):
        title = f"{trace.path}: {len(trace.windows)} windows (shaded)"
        if k == len(shown) - 1 and len(traces) > len(shown):
            title += f"; {len(traces) - len(shown)} more recordings not drawn"
        _trace_panel(axes[len(heights) - len(shown) + k], trace, title)
    return fig


def check_name(path):
    """None when path names a figure format, else the reason (one line)."""
    if os.path.splitext(path)[1].lower() not in FORMATS:
        return f"figure {path}: the name must end in .png, .pdf or .svg"
    return None


def save(fig, path):
    ext = os.path.splitext(path)[1].lower()
    write_atomically(path, lambda temp: fig.savefig(temp, dpi=DPI, format=ext[1:]), ext)
