# SPDX-License-Identifier: GPL-3.0-or-later
"""The campaign plan: everything a station's job needs, written once to
OUTDIR/campaign.json so that a job on any node reads the same stations, programs and
settings as the command that started the campaign."""

import hashlib
import json
import os
import tempfile

PLAN_FILE = "campaign.json"
COLUMNS = ("station", "x", "y", "status", "windows_kept", "windows_selected", "Fo", "Fo_low",
           "Fo_high", "f0", "A0", "sigma_A_f0", "reliable", "clear_peaks", "failing_criteria",
           "settings_sha256", "version", "note")
KEYS = ("version", "settings_sha256", "calmpick", "ratiospec", "hvreport", "calmpick_parameters",
        "ratiospec_parameters", "command", "group")
NOT_RUN = "its job ended without writing a result"


class PlanError(Exception):
    pass


def write_json(path, value):
    """Writes under a temporary name beside path and renames it into place, so that a
    reader never sees half a file."""
    write_bytes(path, (json.dumps(value, indent=2, allow_nan=False) + "\n").encode())


def write_bytes(path, data):
    folder = os.path.dirname(path) or "."
    fd, tmp = tempfile.mkstemp(dir=folder, prefix=".tmp-")
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except BaseException:
        os.unlink(tmp)
        raise


def make_plan(stations, calmpick_parameters, ratiospec_parameters, outdir, programs, version,
              **extra):
    """Writes the plan and the copies of the two parameter files (every station runs
    with the copies, so that editing a file during the campaign changes nothing)."""
    settings = os.path.join(outdir, "settings")
    os.makedirs(settings, exist_ok=True)
    copies, digest = {}, hashlib.sha256()
    for key, path in (("calmpick_parameters", calmpick_parameters),
                      ("ratiospec_parameters", ratiospec_parameters)):
        with open(path, "rb") as f:
            data = f.read()
        digest.update(data)
        copies[key] = os.path.join(settings, key.split("_")[0] + ".par")
        write_bytes(copies[key], data)
    p = {"outdir": outdir, "version": version, "settings_sha256": digest.hexdigest(),
         **programs, **copies, **extra, "stations": [s.as_dict() for s in stations]}
    write_json(os.path.join(outdir, PLAN_FILE), p)
    return p


def read_plan(outdir):
    path = os.path.join(outdir, PLAN_FILE)
    try:
        with open(path, encoding="utf-8") as f:
            p = json.load(f)
        if not isinstance(p, dict) or not isinstance(p.get("stations"), list) or \
                any(k not in p for k in KEYS):
            raise ValueError("keys are missing")
        # The folder where the plan is now: a campaign folder may have been moved.
        p["outdir"] = os.path.abspath(outdir)
        return p
    except OSError as e:
        raise PlanError(f"{path}: {e.strerror}") from None
    except ValueError as e:
        raise PlanError(f"{path}: not a campaign plan ({e})") from None


def empty_row(p, station):
    """A station's row before any step has run."""
    row = dict.fromkeys(COLUMNS)
    row.update(station=station["station"], x=station["x"], y=station["y"], status="job",
               failing_criteria="", settings_sha256=p["settings_sha256"],
               version=p["version"], note=NOT_RUN)
    return row
