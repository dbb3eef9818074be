# SPDX-License-Identifier: GPL-3.0-or-later
"""The report figure: H/V curve, azimuths, averaged spectra and recordings with their windows.

Built on a bare matplotlib Figure (no pyplot, no global state), at a fixed size so
that scripts and tests know what they get: 10 inches wide at 100 dpi, 4 inches for
the H/V panel, 3 for the azimuths, 3 for the spectra and 2.4 per recording.
"""

import datetime
import os

from . import report
from .outputs import write_atomically

WIDTH_IN = 10.0
DPI = 100
HV_HEIGHT_IN = 4.0
AZIMUTH_HEIGHT_IN = 3.0
SPECTRA_HEIGHT_IN = 3.0
TRACE_HEIGHT_IN = 2.4
LANE = 0.45  # half height of one component's lane in a recording panel
MAX_TRACES = 4  # recordings drawn; more are named in the last panel's title
MAX_WINDOW_NUMBERS = 60  # window numbers are written over the recordings up to this many
MAX_AZIMUTH_MARKS = 36  # more azimuths get their Fo as a line
FORMATS = (".png", ".pdf", ".svg")
KEPT_COLOUR = "tab:green"
REJECTED_COLOUR = "tab:red"
UNRELIABLE_COLOUR = "0.88"


def size_pixels(with_spectra, n_traces, with_azimuths=False):
    height = HV_HEIGHT_IN + (SPECTRA_HEIGHT_IN if with_spectra else 0.0)
    height += AZIMUTH_HEIGHT_IN if with_azimuths else 0.0
    height += TRACE_HEIGHT_IN * min(n_traces, MAX_TRACES)
    return round(WIDTH_IN * DPI), round(height * DPI)


def utc_text(seconds):
    t = datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc)
    return t.strftime("%Y-%m-%d %H:%M:%S") + (f".{t.microsecond // 1000:03d}"
                                              if t.microsecond else "") + " UTC"


def title_text(hv, traces):
    """Network.station and start time of the recording where its format holds them,
    otherwise the recording's file name; then what was averaged."""
    first = traces[0] if traces else None
    name = os.path.basename(hv.windows[0].recording) if hv.windows else ""
    where = (first.station if first and first.station else "") or name or os.path.basename(hv.path)
    if first is not None and first.start is not None:
        where += f", recording of {utc_text(first.start)}"
    recordings = len({w.recording for w in hv.windows})
    if recordings > 1:
        where += f" (and {recordings - 1} more recordings)"
    what = f"H/V of {os.path.basename(hv.path)}: {hv.n_kept} windows of {hv.window_len:g} s"
    if hv.rejection is not None:
        what += f" ({hv.n_windows - hv.n_kept} of {hv.n_windows} rejected)"
    return f"{where}\n{what}"


def _frequency_axis(ax, freq):
    """Log axis with plain-number ticks (0.1, 0.2, 0.5, 1, 2, 5, 10 ...)."""
    from matplotlib.ticker import FixedLocator, FuncFormatter, LogLocator, NullFormatter

    ax.set_xscale("log")
    ax.set_xlim(freq[0], freq[-1])
    ticks = [m * 10.0 ** e for e in range(-4, 5) for m in (1, 2, 5)]
    ax.xaxis.set_major_locator(FixedLocator([t for t in ticks if freq[0] <= t <= freq[-1]]))
    ax.xaxis.set_major_formatter(FuncFormatter(lambda v, _: f"{v:g}"))
    ax.xaxis.set_minor_locator(LogLocator(subs=range(2, 10)))
    ax.xaxis.set_minor_formatter(NullFormatter())


def _shade_unreliable(ax, hv, label=True):
    """Below 10 / window length a window holds fewer than ten cycles."""
    limit = 10.0 / hv.window_len
    if limit > hv.freq[0]:
        ax.axvspan(hv.freq[0], min(limit, hv.freq[-1]), color=UNRELIABLE_COLOUR, zorder=0, lw=0,
                   label=f"below 10/lw = {limit:.3g} Hz: not reliable" if label else None)


def _verdict_text(hv, a):
    if a.peak is None:
        lines = ["no peak in the averaged H/V"]
    else:
        lines = [f"f0 = {a.peak.f0:.4g} Hz, A0 = {a.peak.a0:.3g}"]
    lines.append("Fo not found" if hv.fo is None else
                 f"Fo = {hv.fo:.4g} Hz ({hv.fo_minus:.3g}–{hv.fo_plus:.3g})")
    lines.append(report.reliable_summary(a).replace(" (", "\n  (", 1))
    clear = {"yes": "clear", "no": "no clear peak"}.get(a.clear, "undetermined")
    lines.append(f"clear peak: {a.clear_passed} of 6 ({clear})")
    return "\n".join(lines)


def _hv_panel(ax, hv, a, windows):
    import numpy as np

    f = np.asarray(hv.freq)
    curve = np.asarray(hv.hv)
    sigma = np.asarray(hv.sigma)
    _shade_unreliable(ax, hv)
    if windows is not None:
        kept = [w for k, w in enumerate(windows.curves) if hv.kept(k + 1)]
        rejected = [(k + 1, w) for k, w in enumerate(windows.curves) if not hv.kept(k + 1)]
        for k, w in enumerate(kept):
            ax.plot(f, w, color="0.72", lw=0.5, zorder=1,
                    label=f"windows ({len(kept)})" if k == 0 else None)
        numbers = ", ".join(str(n) for n, _ in rejected[:8]) + (" …" if len(rejected) > 8 else "")
        for k, (_, w) in enumerate(rejected):
            ax.plot(f, w, color=REJECTED_COLOUR, lw=0.7, ls="--", alpha=0.8, zorder=1,
                    label=f"rejected windows: {numbers}" if k == 0 else None)
    ax.fill_between(f, curve / sigma, curve * sigma, color="tab:blue", alpha=0.25, lw=0, zorder=2,
                    label="average ×/÷ deviation factor")
    ax.plot(f, curve, color="k", lw=1.6, zorder=3, label="average H/V")
    if hv.fo is not None:
        ax.axvspan(hv.fo_minus, hv.fo_plus, color="tab:orange", alpha=0.25, zorder=0,
                   label=f"Fo band {hv.fo_minus:.3g}–{hv.fo_plus:.3g} Hz")
    if a.peak is not None:
        ax.axvline(a.peak.f0, color="tab:red", ls="-", lw=1.0, zorder=4, label="f0")
    _frequency_axis(ax, f)
    # The scale follows the reliable rows: the band below 10/lw is often much wider.
    reliable = f > 10.0 / hv.window_len
    top = np.where(np.isfinite(curve * sigma) & (reliable if reliable.any() else True),
                   curve * sigma, np.nan)
    upper = np.nanmax(top) if np.isfinite(top).any() else np.nan
    if np.isfinite(upper) and upper > 0:
        ax.set_ylim(0, 1.15 * upper)
    ax.set_ylabel("H/V")
    ax.grid(True, which="both", lw=0.3, alpha=0.5)
    # Legend and verdicts beside the panel, never over the curves.
    ax.legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), fontsize=8, frameon=False)
    ax.text(1.02, 0.0, _verdict_text(hv, a), transform=ax.transAxes, fontsize=9, va="bottom",
            ha="left", bbox={"boxstyle": "round", "facecolor": "white", "edgecolor": "0.6"})


def _azimuth_panel(ax, hv, a, azimuths):
    import numpy as np

    f = np.asarray(azimuths.table.freq)
    degrees = list(azimuths.degrees)
    columns = list(azimuths.table.columns)
    # The ratio at 180° is the one at 0° (the horizontal turned half a circle).
    if degrees[0] == 0.0 and degrees[-1] < 180.0:
        degrees.append(180.0)
        columns.append(columns[0])
    z = np.asarray(columns)
    mesh = ax.pcolormesh(f, degrees, z, shading="nearest", cmap="viridis", rasterized=True)
    # Beside the panel inside the margin the legends already take, not at the figure's edge.
    ax.get_figure().colorbar(mesh, cax=ax.inset_axes([1.015, 0.0, 0.018, 1.0]), label="H/V")
    found = [(d, fo) for d, fo in zip(azimuths.degrees, azimuths.fo) if fo is not None]
    if found:
        az = np.array([d for d, _ in found])
        fo = np.array([x[0] for _, x in found])
        low = fo - np.array([x[1] for _, x in found])
        high = np.array([x[2] for _, x in found]) - fo
        if len(found) <= MAX_AZIMUTH_MARKS:
            ax.errorbar(fo, az, xerr=[low, high], fmt="o", ms=4, color="white", mec="k",
                        ecolor="white", elinewidth=1.0, capsize=2)
        else:  # markers for every degree or two would hide the colours
            ax.plot(fo, az, color="white", lw=1.5)
            ax.plot(fo - low, az, fo + high, az, color="white", lw=0.8, ls="--")
    if a.peak is not None:
        ax.axvline(a.peak.f0, color="tab:red", lw=1.0)
    _frequency_axis(ax, f)
    limit = 10.0 / hv.window_len
    if limit > f[0]:
        ax.axvspan(f[0], min(limit, f[-1]), facecolor="none", edgecolor="white", hatch="//", lw=0)
    margin = min(azimuths.step, 15.0) / 2
    ax.set_ylim(degrees[0] - margin, degrees[-1] + margin)
    ax.set_yticks(range(0, 181, 30))
    ax.set_ylabel("azimuth [° east of north]")
    # A legend would widen the right margin of every panel: the title says it instead.
    marks = "circles" if len(found) <= MAX_AZIMUTH_MARKS else "white lines"
    ax.set_title(f"H/V of the horizontal turned to each azimuth (colour); {marks}: Fo and its band "
                 "per azimuth; red line: f0 of the average", fontsize=9)


def _spectra_panel(ax, hv, spectra, a):
    _shade_unreliable(ax, hv, label=False)
    names = ("vertical", "north-south", "east-west")
    for c, name in enumerate(names):
        ax.plot(spectra.table.freq, spectra.table.columns[c], lw=1.0, label=name)
    if a.peak is not None:
        ax.axvline(a.peak.f0, color="tab:red", lw=1.0)
    ax.set_yscale("log")
    _frequency_axis(ax, hv.freq)
    ax.set_ylabel("amplitude spectrum" + (f" [{hv.labels[3]}·s]" if hv.labels[3] else ""))
    ax.grid(True, which="both", lw=0.3, alpha=0.5)
    ax.legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), fontsize=8, frameon=False)


def _trace_panel(ax, trace, title, hv):
    import numpy as np

    t = (np.asarray(trace.t_first) + np.asarray(trace.t_last)) / 2
    end = max(trace.t_last[-1], max((w[1] for w in trace.windows), default=0.0))
    if trace.start is not None:
        # Seconds from the first sample become UTC times on the axis.
        origin = np.datetime64(round(trace.start * 1e6), "us")

        def at(seconds):
            return origin + np.round(np.asarray(seconds) * 1e6).astype("timedelta64[us]")
    else:
        def at(seconds):
            return seconds
    names = trace.labels[:3] if len(trace.labels) >= 3 else ["1", "2", "3"]
    for c in range(3):
        low, high = np.asarray(trace.low[c]), np.asarray(trace.high[c])
        middle = np.nanmedian((low + high) / 2)
        # Scaled to the typical bucket so that the noise shows; transients run into
        # the lane's edge, which is enough to see why no window covers them.
        scale = 4.0 * np.nanmedian((high - low) / 2)
        scale = scale if np.isfinite(scale) and scale > 0 else 1.0
        offset = 2 - c  # vertical on top
        ax.fill_between(at(t), offset + np.clip((low - middle) / scale, -1, 1) * LANE,
                        offset + np.clip((high - middle) / scale, -1, 1) * LANE, color="0.25",
                        lw=0.3)
    numbered = len(trace.windows) <= MAX_WINDOW_NUMBERS
    for start, stop, number in trace.windows:
        rejected = number is not None and not hv.kept(number)
        ax.axvspan(at(start), at(stop), color=REJECTED_COLOUR if rejected else KEPT_COLOUR,
                   alpha=0.25 if rejected else 0.18, lw=0)
        if numbered and number is not None:
            ax.text(at((start + stop) / 2), 2.55, str(number), fontsize=6, ha="center", va="top",
                    color=REJECTED_COLOUR if rejected else "k")
    ax.set_yticks([2, 1, 0], [n or str(k + 1) for k, n in enumerate(names)])
    ax.set_ylim(-0.6, 2.6)
    ax.set_xlim(at(0.0), at(end))
    if trace.start is not None:
        import matplotlib.dates as mdates

        locator = mdates.AutoDateLocator()
        ax.xaxis.set_major_locator(locator)
        ax.xaxis.set_major_formatter(mdates.ConciseDateFormatter(locator))
        ax.set_xlabel("time (UTC)")
    else:
        ax.set_xlabel("time from the first sample [s] (the recording holds no start time)")
    ax.set_title(title, fontsize=9)


def _trace_title(trace, hv):
    name = trace.station or os.path.basename(trace.path)
    rejected = sum(1 for *_, n in trace.windows if n is not None and not hv.kept(n))
    what = f"{len(trace.windows)} windows"
    if hv.rejection is not None and any(n is not None for *_, n in trace.windows):
        what += f", {rejected} rejected (red)"
    return f"{name} ({os.path.basename(trace.path)}): {what}"


def draw(hv, a, windows, spectra, traces, azimuths=None):
    from matplotlib.figure import Figure

    shown = traces[:MAX_TRACES]
    heights = [HV_HEIGHT_IN] + ([AZIMUTH_HEIGHT_IN] if azimuths else [])
    heights += [SPECTRA_HEIGHT_IN] if spectra else []
    heights += [TRACE_HEIGHT_IN] * len(shown)
    fig = Figure(figsize=(WIDTH_IN, sum(heights)), dpi=DPI, layout="constrained")
    axes = fig.subplots(len(heights), 1, gridspec_kw={"height_ratios": heights},
                        squeeze=False)[:, 0]
    fig.suptitle(title_text(hv, traces), fontsize=11)
    _hv_panel(axes[0], hv, a, windows)
    k = 1
    for panel, data in ((_azimuth_panel, azimuths), (_spectra_panel, spectra)):
        if data:
            axes[k].sharex(axes[0])
            if panel is _azimuth_panel:
                panel(axes[k], hv, a, data)
            else:
                panel(axes[k], hv, data, a)
            k += 1
    axes[k - 1].set_xlabel("frequency [Hz]")
    for j, trace in enumerate(shown):
        title = _trace_title(trace, hv)
        if j == len(shown) - 1 and len(traces) > len(shown):
            title += f"; {len(traces) - len(shown)} more recordings not drawn"
        _trace_panel(axes[k + j], trace, title, hv)
    return fig


def check_name(path):
    """None when path names a figure format, else the reason (one line)."""
    if os.path.splitext(path)[1].lower() not in FORMATS:
        return f"figure {path}: the name must end in .png, .pdf or .svg"
    return None


def save(fig, path):
    ext = os.path.splitext(path)[1].lower()
    write_atomically(path, lambda temp: fig.savefig(temp, dpi=DPI, format=ext[1:]), ext)
