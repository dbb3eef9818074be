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
    options, inside = {}, False
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("### section processing"):
                inside = True
            elif line.startswith("### end processing"):
                break
            elif inside and line.strip() and not line.startswith("#"):
                key, _, value = line.rstrip("\n").partition(":")
                options[key.strip()] = value.strip()
    return options


@pytest.fixture(scope="session")
def programs_run(tmp_path_factory):
    """calmpick and ratiospec with the published settings on the bundled recording and a
    copy of it under another name (two recordings in one run)."""
    folder = tmp_path_factory.mktemp("programs")
    shutil.copyfile(RECORDING, folder / "copy.miniseed")
    (folder / "list.txt").write_text(f"{RECORDING}\n{folder / 'copy.miniseed'}\n")
    done = run("calmpick", "list.txt", os.path.join(EXAMPLES, "calmpick.par"), "windows.txt",
               cwd=folder)
    assert done.returncode == 0, done.stdout
    done = run("ratiospec", "windows.txt", os.path.join(EXAMPLES, "ratiospec.par"), "hv",
               cwd=folder)
    assert done.returncode in (0, 1), done.stdout
    return folder
