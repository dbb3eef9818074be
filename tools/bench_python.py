# SPDX-License-Identifier: GPL-3.0-or-later
"""CPU time of the H/V computation on the bundled recording: ratiospec against the
Python package (read, compute, write the files), one thread each, best of five.

    PYTHONPATH=build/python /usr/bin/python3 tools/bench_python.py build
"""

import os
import resource
import subprocess
import sys
import tempfile

import hvsite

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RECORDING = os.path.join(ROOT, "data", "UT.STN11.A2_C50.miniseed")
PARAMETERS = os.path.join(ROOT, "examples", "ratiospec.par")
ROUNDS = 5


def cpu(who):
    usage = resource.getrusage(who)
    return usage.ru_utime + usage.ru_stime


def options():
    found, inside = {}, False
    for line in open(PARAMETERS, encoding="utf-8"):
        if line.startswith("### "):
            inside = line.startswith("### section processing")
        elif inside and line.strip() and not line.startswith("#"):
            key, _, value = line.partition(":")
            found[key.strip()] = value.strip()
    return found


def main(build):
    build = os.path.abspath(build)
    work = tempfile.mkdtemp(prefix="hvbench-")
    with open(os.path.join(work, "list.txt"), "w") as f:
        f.write(RECORDING + "\n")
    subprocess.run([os.path.join(build, "bin", "calmpick"), "list.txt",
                    os.path.join(ROOT, "examples", "calmpick.par"), "windows.txt"], cwd=work,
                   check=True, capture_output=True)
    env = dict(os.environ, HV_THREADS="1")
    program, package = [], []
    rec = hvsite.read(RECORDING)
    windows = hvsite.select_windows(rec, tsta=1.0, tlta=30.0, ratmin=0.5, ratmax=2.0,
                                    tlong=60.0, overlap=0.0, isatur=1, iltalev=0, tbad=0.0)
    for _ in range(ROUNDS):
        before = cpu(resource.RUSAGE_CHILDREN)
        subprocess.run([os.path.join(build, "bin", "ratiospec"), "windows.txt", PARAMETERS,
                        "rs_hv"], cwd=work, env=env, check=False, capture_output=True)
        program.append(cpu(resource.RUSAGE_CHILDREN) - before)
        before = cpu(resource.RUSAGE_SELF)
        rec = hvsite.read(RECORDING)
        hvsite.compute(rec, windows, threads=1, **options()).write(os.path.join(work, "py_hv"))
        package.append(cpu(resource.RUSAGE_SELF) - before)
    ratio = min(package) / min(program)
    print(f"bundled recording, one thread: ratiospec {min(program):.3f} s CPU, "
          f"hvsite {min(package):.3f} s CPU ({ratio:.2f} x)"
          f"{'' if ratio <= 1.10 else '  -- more than 10 % above ratiospec'}")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
