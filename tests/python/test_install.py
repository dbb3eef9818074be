# SPDX-License-Identifier: GPL-3.0-or-later
"""pip installs the package into a fresh virtual environment, and the README's Python
example runs there as written."""

import os
import re
import subprocess
import sys

from conftest import SOURCE

BUILD = os.environ.get("HV_BUILD", os.path.join(SOURCE, "build"))


def test_readme_example_runs_after_a_venv_install(tmp_path):
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)],
                   check=True)
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    # The compiled core of this build is reused; a fresh build folder works the same.
    env["HVSITE_CMAKE_BUILD"] = BUILD
    done = subprocess.run([str(venv / "bin" / "pip"), "install", "--no-build-isolation",
                           "--no-index", "--no-cache-dir", "."], cwd=SOURCE, env=env,
                          capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stdout + done.stderr

    with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as f:
        example = re.search(r"```python\n(.*?)```", f.read(), re.S).group(1)
    os.symlink(os.path.join(os.path.abspath(SOURCE), "data"), tmp_path / "data")
    done = subprocess.run([str(venv / "bin" / "python"), "-c",
                           "import hvsite; print(hvsite.__file__)\n" + example],
                          cwd=tmp_path, env=env, capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr
    assert done.stdout.startswith(str(venv / "lib")), done.stdout
    # The quick start's Fo and band (ratiospec on the same recording and settings).
    assert "Fo 0.7119 Hz, band 0.6090 - 0.8323 Hz" in done.stdout
    assert "reliable: yes" in done.stdout
    assert (tmp_path / "stn11_python.png").stat().st_size > 10000
