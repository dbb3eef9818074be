# SPDX-License-Identifier: GPL-3.0-or-later
"""The two ways to run the station jobs: GNU parallel on this machine, or a Slurm
array job followed by a summary job. Both run the same task command,
`hvcampaign --run-task OUTDIR TASK`, which runs the stations of one task and writes
their rows; the summary is made from those rows alone, so it does not depend on the
engine or on how many jobs ran at once."""

import os
import shlex
import shutil
import subprocess
import sys

SLURM_FOLDER = "slurm"


class EngineError(Exception):
    pass


def need(program, package):
    path = shutil.which(program)
    if path is None:
        raise EngineError(f"{program} not found on PATH (Debian package {package})")
    return path


def run_parallel(parallel, p, jobs, out):
    """Runs one task per station, jobs at a time, printing each station's line as it
    ends. Returns the number of tasks that ended in error (not stations that failed:
    those are in their rows)."""
    n = len(p["stations"])
    # -q quotes the command's words, so that folders with blanks or quotes pass whole.
    args = [parallel, "--will-cite", "--jobs", str(jobs), "--halt", "never", "-q",
            *p["command"], "--run-task", p["outdir"], "{}", ":::", *map(str, range(n))]
    done = 0
    with subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          text=True) as proc:
        for line in proc.stdout:
            done += 1
            print(f"[{done}/{n}] {line.rstrip()}", file=out, flush=True)
    return proc.returncode


def _sbatch(args):
    try:
        done = subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              timeout=120, check=False)
    except subprocess.TimeoutExpired:
        raise EngineError("sbatch did not answer within 120 s") from None
    if done.returncode != 0:
        raise EngineError(f"sbatch refused the job: {' '.join(done.stderr.split())}")
    return done.stdout.strip().split(";")[0]


def _script(path, lines):
    with open(path, "w", encoding="utf-8") as f:
        f.write("#!/bin/sh\n" + "".join(line + "\n" for line in lines))
    os.chmod(path, 0o755)


def submit_slurm(sbatch, p, tasks, throttle, sbatch_args, wait, out):
    """Writes and submits the array job (tasks tasks, at most throttle at once when
    given) and the summary job that runs once every task ended well. With wait, returns
    the summary job's exit status once it has ended, else None."""
    folder = os.path.join(p["outdir"], SLURM_FOLDER)
    os.makedirs(folder, exist_ok=True)
    command = " ".join(shlex.quote(w) for w in p["command"])
    outdir = shlex.quote(p["outdir"])
    tasks_script = os.path.join(folder, "stations.sh")
    _script(tasks_script, [
        "# One array task: the stations of task SLURM_ARRAY_TASK_ID, with the task's cores.",
        'HV_THREADS=${HV_THREADS:-${SLURM_CPUS_PER_TASK:-1}}',
        "export HV_THREADS",
        f'exec {command} --run-task {outdir} "$SLURM_ARRAY_TASK_ID"'])
    summary_script = os.path.join(folder, "summary.sh")
    _script(summary_script, [f"exec {command} --summarize {outdir}"])
    array = f"0-{tasks - 1}" + (f"%{throttle}" if throttle else "")
    array_id = _sbatch([sbatch, "--parsable", "--job-name=hvcampaign", f"--array={array}",
                        f"--output={folder}/task-%a.out", *sbatch_args, tasks_script])
    summary_args = [sbatch, "--parsable", "--job-name=hvcampaign-summary",
                    f"--dependency=afterok:{array_id}", "--kill-on-invalid-dep=yes",
                    f"--output={folder}/summary.out", *sbatch_args, summary_script]
    print(f"hvcampaign: submitted array job {array_id} ({tasks} tasks)", file=out, flush=True)
    if not wait:
        summary_id = _sbatch(summary_args)
        print(f"hvcampaign: submitted summary job {summary_id}; it writes "
              f"{p['outdir']}/summary.csv once every task has ended well", file=out)
        return None
    # sbatch --wait ends with the job's exit status; no time limit of our own: a
    # campaign on a busy cluster may wait for hours.
    done = subprocess.run([*summary_args[:1], "--wait", *summary_args[1:]],
                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=False)
    return done.returncode


def self_command():
    """The command that runs hvcampaign again: the launcher that started us, or this
    interpreter on the package folder."""
    launcher = os.environ.get("HVCAMPAIGN_COMMAND")
    if launcher:
        return [launcher]
    return [sys.executable, os.path.dirname(os.path.abspath(__file__))]
