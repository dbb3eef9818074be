# SPDX-License-Identifier: GPL-3.0-or-later
"""Shared fixtures: the programs of this build and the bundled recording's run."""

import os
import shutil
import subprocess

import pytest

SOURCE = os.environ.get("HV_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
BIN = os.environ.get("HV_BIN", os.path.join(SOURCE, "build", "bin"))
RECORDING = os.path.abspath(os.path.join(SOURCE, "data", "UT.STN11.A2_C50.miniseed"))
EXAMPLES = os.path.abspath(os.path.join(SOURCE, "examples"))


def run(program, *args, cwd):
    return subprocess.run([os.path.join(BIN, program), *args], cwd=cwd, capture_output=True,
                          text=True, check=False)


def ratiospec_options(path):
    """The option lines of a ratiospec parameter file, as keyword arguments."""
    with open(path, encoding="utf-8") as f:
        section = f.read().split("### section processing\n")[1].split("### end processing")[0]
    pairs = (line.partition(":") for line in section.splitlines() if line[:1] not in ("", "#"))
    return {key.strip(): value.strip() for key, _, value in pairs}


@pytest.fixture(scope="session")
def programs_run(tmp_path_factory):
    """calmpick and ratiospec with the published settings on the bundled recording and a
    copy of it under another name (two recordings in one run)."""
    folder = tmp_path_factory.mktemp("programs")
    shutil.copyfile(RECORDING, folder / "copy.miniseed")
    (folder / "list.txt").write_text(f"{RECORDING}\n{folder / 'copy.miniseed'}\n")
    for program, args, statuses in (("calmpick", ("list.txt", "calmpick.par", "windows.txt"), (0,)),
                                    ("ratiospec", ("windows.txt", "ratiospec.par", "hv"), (0, 1))):
        done = run(program, *args[:1], os.path.join(EXAMPLES, args[1]), args[2], cwd=folder)
        assert done.returncode in statuses, done.stdout
    return folder
