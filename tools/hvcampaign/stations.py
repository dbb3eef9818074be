# SPDX-License-Identifier: GPL-3.0-or-later
"""The station table: a CSV file with a header line.

Columns: station, recordings (paths separated by ';', relative to the table's folder)
and the optional x, y, elevation and notes. Everything that would only fail later, on
a cluster node or after hours of work, is refused here with the line that holds it.
"""

import csv
import math
import os
import re
from dataclasses import dataclass

COLUMNS = ("station", "recordings", "x", "y", "elevation", "notes")
REQUIRED = ("station", "recordings")
# A station names its folder: no separators, no hidden or special names.
NAME = re.compile(r"[A-Za-z0-9_][A-Za-z0-9_.-]{0,63}")
# Names of the campaign's own files in the output folder.
RESERVED = {"campaign.json", "settings", "slurm", "summary.csv", "summary.json", "summary.png"}


class TableError(Exception):
    pass


@dataclass
class Station:
    name: str
    recordings: list  # absolute paths
    x: float = None
    y: float = None
    elevation: float = None
    notes: str = ""
    line: int = 0

    def as_dict(self):
        return {"station": self.name, "recordings": self.recordings, "x": self.x, "y": self.y,
                "elevation": self.elevation, "notes": self.notes}


def _number(text, column, where):
    text = text.strip()
    if not text:
        return None
    try:
        value = float(text)
    except ValueError:
        raise TableError(f"{where}: {column} '{text}' is not a number") from None
    if not math.isfinite(value):
        raise TableError(f"{where}: {column} '{text}' is not a finite number")
    return value


def read_table(path):
    """The stations of the table at path, in its order; raises TableError or OSError."""
    folder = os.path.dirname(os.path.abspath(path))
    with open(path, encoding="utf-8-sig", newline="") as f:
        try:
            rows = list(csv.reader(f))
        except (csv.Error, UnicodeDecodeError) as e:
            raise TableError(f"{path}: not a readable CSV table ({e})") from None
    numbered = [(k + 1, row) for k, row in enumerate(rows) if any(c.strip() for c in row)]
    if not numbered:
        raise TableError(f"{path}: empty, a header line is needed")
    header = [c.strip().lower() for c in numbered[0][1]]
    for name in header:
        if name not in COLUMNS:
            raise TableError(f"{path}: unknown column '{name}' (the columns are "
                             f"{', '.join(COLUMNS)})")
    for name in REQUIRED:
        if name not in header:
            raise TableError(f"{path}: the header has no '{name}' column")
    if len(set(header)) != len(header):
        raise TableError(f"{path}: a column is named twice in the header")
    stations, seen = [], {}
    for number, row in numbered[1:]:
        where = f"{path} line {number}"
        if len(row) != len(header):
            raise TableError(f"{where}: {len(row)} fields where the header has {len(header)}")
        cell = dict(zip(header, row))
        name = cell["station"].strip()
        if not NAME.fullmatch(name) or name in RESERVED:
            raise TableError(f"{where}: station name '{name}' cannot name a folder (1 to 64 "
                             "letters, digits, '_', '.', '-', not starting with '.' or '-', "
                             f"none of {', '.join(sorted(RESERVED))})")
        if name in seen:
            raise TableError(f"{where}: station '{name}' is already on line {seen[name]}")
        seen[name] = number
        recordings = [os.path.normpath(os.path.join(folder, p.strip()))
                      for p in cell["recordings"].split(";") if p.strip()]
        if not recordings:
            raise TableError(f"{where}: station '{name}' has no recording")
        x = _number(cell.get("x", ""), "x", where)
        y = _number(cell.get("y", ""), "y", where)
        if (x is None) != (y is None):
            raise TableError(f"{where}: give both x and y, or neither")
        stations.append(Station(name, recordings, x, y,
                                _number(cell.get("elevation", ""), "elevation", where),
                                cell.get("notes", "").strip(), number))
    if not stations:
        raise TableError(f"{path}: no station under the header")
    return stations
