# SPDX-License-Identifier: GPL-3.0-or-later
"""hvmonitor's results: the block table OUT and the H/V per block OUT_hv.

The figure shows the H/V against time and frequency as an image, with Fo and its band
of one standard deviation over it, and the windows kept per block below. Blocks
without a result (-9 in the files) are left blank.
"""

import datetime
import os
from dataclasses import dataclass, field

from .outputs import write_atomically
from .results import ResultError, read_lines

TITLE = " ### hvmonitor: H/V per block of a miniSEED archive"
MATRIX_TITLE = " ### hvmonitor: averaged H/V"
MISSING = -9.0
WIDTH_IN, IMAGE_HEIGHT_IN, WINDOWS_HEIGHT_IN, DPI = 10.0, 4.5, 1.8, 100


@dataclass
class Block:
    start: datetime.datetime
    end: datetime.datetime
    seconds: float
    kept: int
    selected: int
    fo: float  # None where the block has no Fo
    fo_low: float
    fo_high: float
    reliable: str
    clear: str
    note: str


@dataclass
class Monitor:
    path: str
    station: str = ""
    blocks: list = field(default_factory=list)
    freq: list = field(default_factory=list)
    columns: list = field(default_factory=list)  # per block: av_HV per row, or None


def is_monitor(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.readline().rstrip("\n") == TITLE
    except OSError:
        return False


def _time(text, path):
    try:
        return datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%S.%f").replace(
            tzinfo=datetime.timezone.utc)
    except ValueError:
        raise ResultError(f"{path}: '{text}' is not a block time as hvmonitor writes it") from None


def _block(line, path):
    words = line.split(maxsplit=12)
    if len(words) < 13:
        raise ResultError(f"{path}: a block row has fewer than 13 columns")
    try:
        fo, low, high = (float(w) for w in words[5:8])
        return Block(_time(words[0], path), _time(words[1], path), float(words[2]), int(words[3]),
                     int(words[4]), None if fo == MISSING else fo, low, high, words[10],
                     words[11], words[12])
    except ValueError:
        raise ResultError(f"{path}: a block row holds a value that is not a number") from None


def read_monitor(path):
    lines = read_lines(path)
    if not lines or lines[0] != TITLE:
        raise ResultError(f"{path}: not a block table written by hvmonitor")
    m = Monitor(path)
    for line in lines[1:]:
        if line.startswith(" # station: "):
            m.station = line[len(" # station: "):].strip()
        elif line.strip() and not line.startswith(" #") and not line.startswith(" ###"):
            m.blocks.append(_block(line, path))
    matrix = path + "_hv"
    rows = read_lines(matrix)
    if not rows or not rows[0].startswith(MATRIX_TITLE):
        raise ResultError(f"{matrix}: not the H/V per block written by hvmonitor")
    values = []
    for line in rows[1:]:
        if line.startswith(" #"):
            continue
        try:
            values.append([float(x) for x in line.split()])
        except ValueError:
            raise ResultError(f"{matrix}: a row holds a value that is not a number") from None
    if any(len(v) != len(m.blocks) + 1 for v in values):
        raise ResultError(f"{matrix}: its rows do not hold one column per block of {path}")
    m.freq = [v[0] for v in values]
    for b in range(len(m.blocks)):
        column = [v[b + 1] for v in values]
        m.columns.append(None if not column or column[0] == MISSING else column)
    return m


def table_lines(m):
    lines = [f"{m.station}: {len(m.blocks)} blocks, "
             f"{sum(b.fo is not None for b in m.blocks)} with Fo",
             f"{'block start (UTC)':<24}{'kept':>6}{'Fo':>9}   {'band':<17}{'reliable':<13}clear"]
    for b in m.blocks:
        start = b.start.strftime("%Y-%m-%d %H:%M:%S")
        if b.fo is None:
            lines.append(f"{start:<24}{b.kept:>6}{'-':>9}   {'':<17}{'-':<13}-  ({b.note})")
        else:
            band = f"{b.fo_low:.4f}-{b.fo_high:.4f}"
            lines.append(f"{start:<24}{b.kept:>6}{b.fo:>9.4f}   {band:<17}{b.reliable:<13}"
                         f"{b.clear}")
    return lines


def draw(m):
    from matplotlib.colors import LogNorm
    from matplotlib.figure import Figure
    import numpy as np

    fig = Figure(figsize=(WIDTH_IN, IMAGE_HEIGHT_IN + WINDOWS_HEIGHT_IN), dpi=DPI,
                 layout="constrained")
    image, counts = fig.subplots(2, 1, sharex=True, gridspec_kw={
        "height_ratios": [IMAGE_HEIGHT_IN, WINDOWS_HEIGHT_IN]})
    fig.suptitle(f"{m.station or os.path.basename(m.path)}: H/V per block "
                 f"({len(m.blocks)} blocks)", fontsize=11)
    edges = [b.start for b in m.blocks] + [m.blocks[-1].end]
    freq = np.asarray(m.freq)
    # Frequency edges halfway between rows on a logarithmic axis.
    mid = np.sqrt(freq[1:] * freq[:-1]) if len(freq) > 1 else freq
    f_edges = np.concatenate([[freq[0] ** 2 / mid[0]], mid, [freq[-1] ** 2 / mid[-1]]]) \
        if len(freq) > 1 else np.array([freq[0] * 0.9, freq[0] * 1.1])
    values = np.full((len(freq), len(m.blocks)), np.nan)
    for b, column in enumerate(m.columns):
        if column is not None:
            values[:, b] = column
    known = values[np.isfinite(values) & (values > 0)]
    norm = LogNorm(vmin=known.min(), vmax=known.max()) if known.size else None
    mesh = image.pcolormesh(edges, f_edges, np.ma.masked_invalid(values), norm=norm,
                            cmap="viridis", shading="flat")
    fig.colorbar(mesh, ax=image, label="H/V")
    image.set_yscale("log")
    image.set_ylabel("frequency [Hz]")
    centres = [b.start + (b.end - b.start) / 2 for b in m.blocks if b.fo is not None]
    with_fo = [b for b in m.blocks if b.fo is not None]
    if with_fo:
        image.errorbar(centres, [b.fo for b in with_fo],
                       yerr=[[b.fo - b.fo_low for b in with_fo], [b.fo_high - b.fo for b in with_fo]],
                       fmt="o", color="white", ecolor="white", ms=3, lw=1.0, label="Fo and its band")
        image.legend(loc="upper right", fontsize=8, facecolor="0.35", labelcolor="white")
    widths = [(b.end - b.start) * 0.9 for b in m.blocks]
    counts.bar([b.start for b in m.blocks], [b.kept for b in m.blocks], width=widths,
               align="edge", color="tab:green")
    counts.set_ylabel("windows kept")
    counts.set_xlabel("time (UTC)")
    return fig


def size_pixels():
    return round(WIDTH_IN * DPI), round((IMAGE_HEIGHT_IN + WINDOWS_HEIGHT_IN) * DPI)


def save(fig, path):
    ext = os.path.splitext(path)[1].lower()
    write_atomically(path, lambda temp: fig.savefig(temp, dpi=DPI, format=ext[1:]), ext)


def run(args, out):
    """The block summary and, when asked, the figure; raises ResultError or OSError."""
    if args.windows or args.json or args.hv:
        raise ResultError(f"{args.out}: an hvmonitor table takes only --figure "
                          "(open a block file for the other outputs)")
    m = read_monitor(args.out)
    if not m.blocks:
        raise ResultError(f"{args.out}: the table holds no block")
    print("\n".join(table_lines(m)), file=out)
    if args.figure:
        save(draw(m), args.figure)
        print(f"figure: {args.figure}", file=out)
    return 0
