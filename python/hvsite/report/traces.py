# SPDX-License-Identifier: GPL-3.0-or-later
"""Recording envelopes for the figure.

The window file and the recordings it names are read by the programs' own readers
(through the compiled core), so the report draws exactly the samples that calmpick
and ratiospec see.
"""

import os
from dataclasses import dataclass, field

import numpy as np

from .. import _hvsite


class TraceError(Exception):
    """The window file or a recording it names cannot be used; one-line message."""


@dataclass
class Trace:
    path: str
    dt: float
    nsamp: int
    labels: list  # three component labels and the units label
    windows: list = field(default_factory=list)  # (start, end in seconds, number or None)
    station: str = ""  # "NET.STA" or "STA" where the format names it
    start: float = None  # UTC of the first sample, seconds since 1970, where the format has it
    t_first: list = field(default_factory=list)
    t_last: list = field(default_factory=list)
    low: list = field(default_factory=lambda: [[], [], []])  # per component
    high: list = field(default_factory=lambda: [[], [], []])


def envelope(rec, windows, points=2000):
    """The min/max envelope of a recording (hvsite.Recording or the compiled core's) in
    at most points buckets; bucket b holds samples floor(b*n/B) .. floor((b+1)*n/B)-1.
    windows: (start, end, number) of the windows drawn on it."""
    n = len(rec)
    buckets = min(points, n)
    edges = np.arange(buckets + 1) * n // buckets
    trace = Trace(rec.name, float(rec.dt), n, list(rec.labels), list(windows), rec.site,
                  rec.start_time)
    trace.t_first = (edges[:-1] * float(rec.dt)).tolist()
    trace.t_last = ((edges[1:] - 1) * float(rec.dt)).tolist()
    for c, x in enumerate((rec.z, rec.ns, rec.ew)):
        trace.low[c] = np.minimum.reduceat(x, edges[:-1]).tolist()
        trace.high[c] = np.maximum.reduceat(x, edges[:-1]).tolist()
    return trace


def _refused(window_file, error):
    """The programs' message of error, on one line."""
    return TraceError(f"{window_file}: " + "; ".join(str(error).splitlines()))


def _locate(file, beside):
    """A relative path that does not exist from the current folder is looked for beside
    the window file, where calmpick's list usually put the recordings."""
    if os.path.exists(file) or os.path.isabs(file):
        return file
    other = os.path.join(beside, file)
    return other if os.path.exists(other) and len(other) <= 200 else file


def read_traces(window_file, points=2000):
    """One Trace per recording of the window file, in order of first appearance, with
    its windows numbered as the file's lines."""
    if not os.path.isfile(window_file):
        what = "is not a file" if os.path.exists(window_file) else "does not exist"
        raise TraceError(f"window file {window_file} {what}")
    try:
        lines = _hvsite.read_window_file(window_file)
    except _hvsite.HvError as e:
        raise _refused(window_file, e) from None
    recordings = {}  # (file, format, channels, station) -> windows, in insertion order
    for number, (file, fmt, channels, station, start, end) in enumerate(lines, 1):
        key = (file, fmt, tuple(channels), station)
        recordings.setdefault(key, []).append((start, end, number))
    beside = os.path.dirname(window_file)
    traces = []
    for (file, fmt, channels, station), windows in recordings.items():
        path = _locate(file, beside)
        if not os.path.isfile(path):
            what = "is not a regular file" if os.path.exists(path) else "does not exist"
            raise TraceError(f"{window_file}: recording {file} {what}")
        try:
            rec = _hvsite.read(path, fmt, list(channels), station)
        except _hvsite.HvError as e:
            raise _refused(window_file, e) from None
        traces.append(envelope(rec, windows, points))
    return traces
