# SPDX-License-Identifier: GPL-3.0-or-later
"""One station: calmpick, ratiospec and the report in the station's own folder, and
the station's summary row, written last as row.json.

A station's failure is a value (the step that failed and why), never an exception:
the other stations and the summary go on without it.
"""

import json
import os
import shutil
import subprocess

from . import plan as plan_mod

ROW_FILE = "row.json"


def _last_message(text):
    """Why a program stopped: its last message line, without the closing banners, and
    with the line it announces (a message ending in ':' names a file on the next)."""
    lines = [" ".join(x.split()) for x in text.splitlines() if x.strip() and ">>>>" not in x]
    if not lines:
        return "no message"
    if len(lines) > 1 and lines[-2].endswith(":"):
        return f"{lines[-2]} {lines[-1]}"
    return lines[-1]


def _run(args, folder, log, env):
    """Runs a program in the station folder; its console goes to log. (status, console)"""
    done = subprocess.run(args, cwd=folder, env=env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
    text = done.stdout.decode("utf-8", "replace")
    with open(os.path.join(folder, log), "w", encoding="utf-8") as f:
        f.write(text)
    return done.returncode, text


def _link_recordings(recordings, folder):
    """Links each recording into the folder under its own name (calmpick keeps at most
    198 characters of a path, so the window file names them there); the list of names,
    or the reason one cannot be used."""
    names = []
    for k, path in enumerate(recordings):
        if not os.path.isfile(path) or not os.access(path, os.R_OK):
            return None, f"recording {path} is not a readable file"
        name = os.path.basename(path)
        if name in names:  # two recordings of one name from different folders
            name = f"{k + 1}-{name}"
        os.symlink(path, os.path.join(folder, name))
        names.append(name)
    return names, None


def _report_fields(criteria_json):
    with open(criteria_json, encoding="utf-8") as f:
        r = json.load(f)
    sigma = next((c.get("values", {}).get("sigma_a") for c in r.get("criteria", [])
                  if c.get("key") == "sigma_a_at_f0_below_theta"), None)
    return {
        "windows_kept": r.get("n_windows_kept"),
        "Fo": r.get("Fo"), "Fo_low": r.get("Fo_minus"), "Fo_high": r.get("Fo_plus"),
        "f0": r.get("f0"), "A0": r.get("A0"), "sigma_A_f0": sigma,
        "reliable": r.get("reliable_curve"),
        "clear_peaks": r.get("clear_peak", {}).get("passed"),
        "failing_criteria": ";".join(c["key"] for c in r.get("criteria", [])
                                     if c.get("verdict") == "fail"),
    }


def _steps(p, station, folder, env, row):
    """Runs the three steps into row. row["status"] names the step under way, so that
    an error of our own (a link, a list file) is charged to it."""
    row["status"] = "calmpick"
    names, why = _link_recordings(station["recordings"], folder)
    if why:
        row["note"] = why
        return
    with open(os.path.join(folder, "list.txt"), "w", encoding="utf-8") as f:
        f.write("".join(n + "\n" for n in names))
    status, text = _run([p["calmpick"], "list.txt",
                         os.path.relpath(p["calmpick_parameters"], folder), "windows.txt"],
                        folder, "calmpick.log", env)
    if status != 0:
        row["note"] = f"exit status {status}: {_last_message(text)}"
        return
    with open(os.path.join(folder, "windows.txt"), encoding="utf-8", errors="replace") as f:
        row["windows_selected"] = sum(1 for line in f if line.strip())
    if row["windows_selected"] == 0:
        row["note"] = "no calm window found"
        return
    row["status"] = "ratiospec"
    hv = f"{station['station']}_hv"
    # The parameter files by relative paths: messages that name them then read the same
    # whatever the output folder.
    status, text = _run([p["ratiospec"], "windows.txt",
                         os.path.relpath(p["ratiospec_parameters"], folder), hv],
                        folder, "ratiospec.log", env)
    if status > 1:  # 1: warnings only, the results are complete
        row["note"] = f"exit status {status}: {_last_message(text)}"
        return
    if status == 1:
        row["note"] = "ratiospec issued warnings (ratiospec.log)"
    row["status"] = "report"
    status, text = _run([p["hvreport"], hv, "--windows", "windows.txt", "--figure", "report.png",
                         "--json", "criteria.json"], folder, "report.log", env)
    # A report of a curve without Fo still holds the criteria it could decide.
    if os.path.isfile(os.path.join(folder, "criteria.json")):
        row.update(_report_fields(os.path.join(folder, "criteria.json")))
    if status != 0:
        row["note"] = f"exit status {status}: {_last_message(text)}"
        return
    row["status"] = "ok"


def run_station(p, index, env=None):
    """Runs station number index of the plan p; returns its row and writes it to the
    station folder. An earlier run's folder is replaced."""
    station = p["stations"][index]
    folder = os.path.join(p["outdir"], station["station"])
    row = plan_mod.empty_row(p, station)
    row.update(status="calmpick", note="")
    try:
        if os.path.lexists(folder):
            if os.path.isdir(folder) and not os.path.islink(folder):
                shutil.rmtree(folder)
            else:
                os.remove(folder)
        os.mkdir(folder)
        _steps(p, station, folder, env, row)
    except OSError as e:
        row["note"] = f"{e.filename or folder}: {e.strerror}"
    plan_mod.write_json(os.path.join(folder, ROW_FILE), row)
    return row


def describe(row):
    """The console line of a finished station."""
    if row["status"] == "ok":
        fo = "no Fo" if row["Fo"] is None else \
            f"Fo {row['Fo']:.4g} Hz ({row['Fo_low']:.4g} - {row['Fo_high']:.4g})"
        return (f"{row['station']}: ok, {fo}, {row['windows_kept']} of "
                f"{row['windows_selected']} windows kept, reliable {row['reliable']}, "
                f"{row['clear_peaks']} of 6 clear-peak criteria")
    return f"{row['station']}: FAILED at {row['status']}: {row['note']}"
