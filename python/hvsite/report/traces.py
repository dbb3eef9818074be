# SPDX-License-Identifier: GPL-3.0-or-later
"""Recording envelopes for the figure, from the hvtrace command.

hvtrace reads the window file and the recordings with the programs' own readers, so
no recording format is parsed here: only hvtrace's plain output.
"""

import math
import os
import shutil
import subprocess
from dataclasses import dataclass, field


class TraceError(Exception):
    """The window file or a recording it names cannot be used; one-line message."""


@dataclass
class Trace:
    path: str
    format: int
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


def hvtrace_command():
    """hvtrace as the build's wrapper names it, else the one on PATH."""
    return os.environ.get("HVREPORT_HVTRACE") or shutil.which("hvtrace")


def _one_line(text):
    """hvtrace's messages (its own and the readers') joined into one line."""
    lines = (" ".join(line.split()) for line in text.splitlines())
    return "; ".join(line.removeprefix("hvtrace : ") for line in lines if line)


def parse(text):
    traces, current, rows_left = [], None, 0
    for number, line in enumerate(text.splitlines(), 1):
        if rows_left:
            items = [float(x) for x in line.split()]
            if len(items) != 8:
                raise TraceError(f"hvtrace output line {number} is not eight numbers")
            current.t_first.append(items[0])
            current.t_last.append(items[1])
            for c in range(3):
                current.low[c].append(items[2 + 2 * c])
                current.high[c].append(items[3 + 2 * c])
            rows_left -= 1
            continue
        key, _, rest = line.partition(" ")
        if key == "recording":
            current = Trace("", 0, math.nan, 0, [])
            traces.append(current)
        elif current is None:
            raise TraceError(f"hvtrace output line {number} comes before any recording")
        elif key == "path":
            current.path = rest
        elif key == "format":
            current.format = int(rest)
        elif key == "dt":
            current.dt = float(rest)
        elif key == "nsamp":
            current.nsamp = int(rest)
        elif key == "labels":
            current.labels = rest.split("\t")
        elif key == "station":
            current.station = rest
        elif key == "start":
            current.start = float(rest)
        elif key == "window":
            start, end, *number = rest.split()
            current.windows.append((float(start), float(end), int(number[0]) if number else None))
        elif key == "envelope":
            rows_left = int(rest)
        else:
            raise TraceError(f"hvtrace output line {number} is not understood: {line[:40]}")
    if rows_left:
        raise TraceError("hvtrace output ends inside an envelope")
    return traces


def read_traces(window_file, points=2000):
    if not os.path.isfile(window_file):
        what = "is not a file" if os.path.exists(window_file) else "does not exist"
        raise TraceError(f"window file {window_file} {what}")
    command = hvtrace_command()
    if not command:
        raise TraceError("the hvtrace command was not found "
                         "(build the project and run build/bin/hvreport)")
    try:
        done = subprocess.run([command, "--windows", window_file, "--points", str(points)],
                              capture_output=True, text=True, errors="replace", check=False)
    except OSError as e:
        raise TraceError(f"hvtrace could not be started: {e.strerror}") from None
    if done.returncode != 0:
        why = _one_line(done.stderr) or f"hvtrace ended with status {done.returncode}"
        raise TraceError(f"{window_file}: {why}")
    try:
        return parse(done.stdout)
    except ValueError:
        raise TraceError("hvtrace output is not understood") from None
