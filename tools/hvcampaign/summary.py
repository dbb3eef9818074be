# SPDX-License-Identifier: GPL-3.0-or-later
"""The campaign's summary: one row per station of the table, in the table's order,
gathered from the rows the station jobs wrote (summary.csv, summary.json) and drawn
(summary.png)."""

import csv
import io
import json
import os

from . import plan as plan_mod
from .station import ROW_FILE

# Verdict colours of the figure.
COLOURS = {"reliable, clear peak": "tab:green", "reliable": "tab:orange",
           "not reliable": "tab:red", "failed": "tab:gray"}


def gather(p):
    """The rows of every station; a station whose job left no row (killed, never
    started) gets a row saying so."""
    rows = []
    for station in p["stations"]:
        path = os.path.join(p["outdir"], station["station"], ROW_FILE)
        try:
            with open(path, encoding="utf-8") as f:
                row = json.load(f)
            if row.get("station") != station["station"] or \
                    row.get("settings_sha256") != p["settings_sha256"]:
                raise ValueError("the row is another campaign's")
            rows.append({k: row.get(k) for k in plan_mod.COLUMNS})
        except (OSError, ValueError):
            rows.append(plan_mod.empty_row(p, station))
    return rows


def _csv_field(value):
    if value is None:
        return ""
    if isinstance(value, float):
        return repr(value)  # the shortest text that reads back to the same number
    return str(value)


def csv_text(rows):
    out = io.StringIO()
    w = csv.writer(out, lineterminator="\n")
    w.writerow(plan_mod.COLUMNS)
    for row in rows:
        w.writerow([_csv_field(row[k]) for k in plan_mod.COLUMNS])
    return out.getvalue()


def verdict(row):
    if row["status"] != "ok":
        return "failed"
    if row["reliable"] != "yes":
        return "not reliable"
    return "reliable, clear peak" if (row["clear_peaks"] or 0) >= 5 else "reliable"


def draw(rows, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    mapped = [r for r in rows if r["Fo"] is not None and r["x"] is not None]
    fig, axes = plt.subplots(1, 2 if mapped else 1, squeeze=False,
                             figsize=(13 if mapped else 8, max(4.0, 0.3 * len(rows) + 2.0)))
    ax = axes[0][0]
    for k, r in enumerate(rows):
        if r["Fo"] is not None:
            ax.errorbar(r["Fo"], k, xerr=[[r["Fo"] - r["Fo_low"]], [r["Fo_high"] - r["Fo"]]],
                        fmt="o", color=COLOURS[verdict(r)], capsize=3)
    for label, colour in COLOURS.items():
        ax.plot([], [], "o", color=colour, label=label)
    ax.set_yticks(range(len(rows)), [r["station"] if r["status"] == "ok" else
                                     f"{r['station']} ({r['status']} failed)" for r in rows])
    ax.set_ylim(len(rows) - 0.5, -0.5)
    if any(r["Fo"] is not None for r in rows):
        from matplotlib.ticker import FuncFormatter, LogLocator, NullFormatter

        # Plain numbers at 1, 2, 3, 4, 5 and 7 of each decade, not powers of ten.
        ax.set_xscale("log")
        ax.xaxis.set_major_locator(LogLocator(subs=(1.0, 2.0, 3.0, 4.0, 5.0, 7.0)))
        ax.xaxis.set_major_formatter(FuncFormatter(lambda v, _: f"{v:g}"))
        ax.xaxis.set_minor_formatter(NullFormatter())
    ax.set_xlabel("Fo [Hz] with its band (+/- 1 s.d.)")
    ax.legend(fontsize="small", loc="lower left", bbox_to_anchor=(0.0, 1.0), ncol=4,
              frameon=False)
    ax.grid(True, which="both", axis="x", alpha=0.3)
    if mapped:
        ax = axes[0][1]
        points = ax.scatter([r["x"] for r in mapped], [r["y"] for r in mapped],
                            c=[r["Fo"] for r in mapped], cmap="viridis", s=60)
        for r in mapped:
            ax.annotate(r["station"], (r["x"], r["y"]), fontsize="small",
                        xytext=(4, 4), textcoords="offset points")
        fig.colorbar(points, ax=ax, label="Fo [Hz]")
        ax.set_xlabel("x")
        ax.set_ylabel("y")
        ax.set_title("Fo map")
        ax.set_aspect("equal", adjustable="datalim")
    fig.tight_layout()
    tmp = os.path.join(os.path.dirname(path), ".tmp-summary.png")
    fig.savefig(tmp, dpi=100)
    plt.close(fig)
    os.replace(tmp, path)


def write(p):
    """Writes the three summary files; returns the rows."""
    rows = gather(p)
    outdir = p["outdir"]
    plan_mod.write_bytes(os.path.join(outdir, "summary.csv"), csv_text(rows).encode())
    plan_mod.write_json(os.path.join(outdir, "summary.json"), rows)
    draw(rows, os.path.join(outdir, "summary.png"))
    return rows
