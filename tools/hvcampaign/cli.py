# SPDX-License-Identifier: GPL-3.0-or-later
"""hvcampaign STATIONS.csv CALMPICK_PARAMETERS RATIOSPEC_PARAMETERS OUTDIR [-j N]
           [-b BIN_DIR] [--slurm [--group N] [--sbatch ARG]... [--wait]]
hvcampaign --summarize OUTDIR

Runs calmpick, ratiospec and the site report for every station of the table, each in
OUTDIR/<station>/, and writes OUTDIR/summary.csv, summary.json and summary.png.
Exit status: 0 every station went through, 1 some failed (their rows say at which
step and why), 2 the campaign could not run (bad table, missing program or file).
"""

import argparse
import os
import shutil
import sys

from . import engines, plan as plan_mod, stations as stations_mod, station as station_mod
from . import summary

USAGE = ("hvcampaign STATIONS.csv CALMPICK_PARAMETERS RATIOSPEC_PARAMETERS OUTDIR [-j N] "
         "[-b BIN_DIR] [--slurm [--group N] [--sbatch ARG]... [--wait]] | "
         "hvcampaign --summarize OUTDIR")
PROGRAMS = ("calmpick", "ratiospec", "hvreport")


class UsageError(Exception):
    pass


class Refused(Exception):
    """An input the campaign cannot run with."""


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        raise UsageError(message)


def _positive(text):
    try:
        value = int(text)
    except ValueError:
        value = 0
    if value < 1:
        raise argparse.ArgumentTypeError(f"needs a whole number of at least 1, not '{text}'")
    return value


def _parser():
    p = _Parser(prog="hvcampaign", usage=USAGE, add_help=False)
    p.add_argument("table")
    p.add_argument("calmpick_parameters")
    p.add_argument("ratiospec_parameters")
    p.add_argument("outdir")
    p.add_argument("-j", "--jobs", type=_positive)
    p.add_argument("-b", "--bin", dest="bin_dir")
    p.add_argument("--slurm", action="store_true")
    p.add_argument("--group", type=_positive, default=1)
    p.add_argument("--sbatch", action="append", default=[])
    p.add_argument("--wait", action="store_true")
    return p


def _programs(bin_dir):
    """Absolute paths of the three programs: from -b, else beside the launcher, else PATH."""
    bin_dir = bin_dir or os.environ.get("HVCAMPAIGN_BIN")
    found = {}
    for name in PROGRAMS:
        path = os.path.join(bin_dir, name) if bin_dir else shutil.which(name)
        if not path or not os.path.isfile(path) or not os.access(path, os.X_OK):
            where = f"in {bin_dir}" if bin_dir else "on PATH"
            raise Refused(f"{name} not found {where}")
        found[name] = os.path.abspath(path)
    return found


def _check_station_folders(stations, outdir, inputs):
    """A station's folder is replaced when it runs: refuse a campaign that would remove
    an input with it, or a folder that no earlier campaign wrote."""
    for s in stations:
        folder = os.path.realpath(os.path.join(outdir, s.name))
        for path in inputs + s.recordings:
            if os.path.realpath(path).startswith(folder + os.sep):
                raise Refused(f"{path} is in station {s.name}'s folder {folder}, which "
                                 "would be removed: choose another output folder")
        if os.path.isdir(folder) and os.listdir(folder) and not any(
                os.path.lexists(os.path.join(folder, f))
                for f in ("list.txt", station_mod.ROW_FILE)):
            raise Refused(f"{folder} is not a station folder of an earlier campaign; "
                             "remove it or choose another output folder")


def _finish(rows, outdir, out):
    failed = [r["station"] for r in rows if r["status"] != "ok"]
    if failed:
        print(f"hvcampaign: {len(failed)} of {len(rows)} stations failed: {', '.join(failed)}; "
              f"summary in {outdir}", file=out)
        return 1
    print(f"hvcampaign: all {len(rows)} stations processed; summary in {outdir}", file=out)
    return 0


def _campaign(args, out, err):
    if args.group != 1 and not args.slurm or args.wait and not args.slurm or \
            args.sbatch and not args.slurm:
        raise UsageError("--group, --sbatch and --wait go with --slurm")
    for path in (args.table, args.calmpick_parameters, args.ratiospec_parameters):
        if not os.path.isfile(path) or not os.access(path, os.R_OK):
            raise Refused(f"cannot read {path}")
    stations = stations_mod.read_table(args.table)
    programs = _programs(args.bin_dir)
    engine = engines.need("sbatch", "slurm-client") if args.slurm else \
        engines.need("parallel", "parallel")
    outdir = os.path.abspath(args.outdir)
    _check_station_folders(stations, outdir, [args.table, args.calmpick_parameters,
                                              args.ratiospec_parameters])
    os.makedirs(outdir, exist_ok=True)
    p = plan_mod.make_plan(stations, os.path.abspath(args.calmpick_parameters),
                           os.path.abspath(args.ratiospec_parameters), outdir, programs,
                           os.environ.get("HVCAMPAIGN_VERSION", "unknown"),
                           command=engines.self_command(), group=args.group)
    # Rows and summaries of an earlier run must not pass for this one's.
    for name in [os.path.join(s.name, station_mod.ROW_FILE) for s in stations] + \
            ["summary.csv", "summary.json", "summary.png"]:
        if os.path.lexists(os.path.join(outdir, name)):
            os.remove(os.path.join(outdir, name))
    if args.slurm:
        tasks = -(-len(stations) // args.group)
        status = engines.submit_slurm(engine, p, tasks, args.jobs, args.sbatch, args.wait, out)
        if status is None:
            return 0
        if not os.path.isfile(os.path.join(outdir, "summary.csv")):
            print(f"hvcampaign: the summary job ended with status {status} without a summary "
                  f"(see {outdir}/{engines.SLURM_FOLDER}/)", file=err)
            return 2
        rows = summary.gather(p)
        for row in rows:
            print(station_mod.describe(row), file=out)
        return _finish(rows, outdir, out)
    jobs = args.jobs or os.cpu_count() or 1
    # The cores are shared out between the stations that run at once.
    os.environ.setdefault("HV_THREADS", str(max(1, (os.cpu_count() or 1) // jobs)))
    failed_jobs = engines.run_parallel(engine, p, jobs, out)
    if failed_jobs:
        print(f"hvcampaign: {failed_jobs} station jobs ended in error; their rows say 'job'",
              file=err)
    return _finish(summary.write(p), outdir, out)


def _run_task(outdir, task, out):
    """One task of the campaign: its stations' rows; 0 whatever the stations gave."""
    p = plan_mod.read_plan(outdir)
    group = p.get("group", 1)
    indices = range(task * group, min((task + 1) * group, len(p["stations"])))
    if not indices:
        raise Refused(f"task {task}: the campaign has {len(p['stations'])} stations")
    for k in indices:
        print(station_mod.describe(station_mod.run_station(p, k)), file=out, flush=True)
    return 0


def _summarize(outdir, out):
    rows = summary.write(plan_mod.read_plan(outdir))
    return _finish(rows, os.path.abspath(outdir), out)


def main(argv, out=sys.stdout, err=sys.stderr):
    try:
        if argv[:1] == ["--run-task"]:
            if len(argv) != 3 or not argv[2].isdigit():
                raise UsageError("--run-task needs OUTDIR and a task number")
            return _run_task(argv[1], int(argv[2]), out)
        if argv[:1] == ["--summarize"]:
            if len(argv) != 2:
                raise UsageError("--summarize needs OUTDIR")
            return _summarize(argv[1], out)
        return _campaign(_parser().parse_args(argv), out, err)
    except UsageError as e:
        print(f"hvcampaign: {e} (use: {USAGE})", file=err)
    except (Refused, stations_mod.TableError, plan_mod.PlanError, engines.EngineError) as e:
        print(f"hvcampaign: {e}", file=err)
    except OSError as e:
        print(f"hvcampaign: {e.filename or ''}: {e.strerror}", file=err)
    except KeyboardInterrupt:
        print("hvcampaign: interrupted; hvcampaign --summarize OUTDIR gathers what ended",
              file=err)
        return 130
    return 2
