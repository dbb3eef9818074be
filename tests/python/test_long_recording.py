# SPDX-License-Identifier: GPL-3.0-or-later
"""A two-hour recording at 250 Hz (1.8 million samples per channel): the package reads
and computes it whole; ratiospec refuses its file for storage."""

import numpy as np
import pytest

import hvsite
from conftest import run

DT, BLOCK, BLOCKS = 0.004, 150_000, 12  # 600 s blocks, 7200 s in all


@pytest.fixture(scope="module")
def long_recording(tmp_path_factory):
    """One 600 s block of whole-count noise with a mean of exactly 0 (its second half
    mirrors the first), repeated; from 5400 s on, the north-south component is four
    times as large."""
    half = np.random.default_rng(7).integers(-5000, 5000, size=(3, BLOCK // 2))
    z, ns, ew = np.tile(np.hstack([half, -half]), BLOCKS)
    ns[5400 * 250:] *= 4
    path = tmp_path_factory.mktemp("long") / "long.kaf"
    with open(path, "w") as f:
        f.write("KORVEN ASCII data format (kaf) v. 1\nSTA_CODE = LNG\n"
                "START_TIME = 2020 01 01 00 00 00.000\nSAMP_FREQ = 250.0\n"
                f"NDAT = {z.size}\nCH0_ID = ver\nCH1_ID = ho1\nCH2_ID = ho2\nUNITS = counts\n"
                "####----------------------------------------\n")
        f.write("".join(f"{a} {b} {c}\n" for a, b, c in zip(z.tolist(), ns.tolist(), ew.tolist())))
    return z, ns, ew, path


def test_long_recording_computes_in_python(long_recording):
    z, ns, ew, path = long_recording
    rec = hvsite.read(str(path))
    assert len(rec) == 1_800_000 == z.size
    assert np.array_equal(rec.ns, ns)
    # Windows at one phase of the repeated block, before and after the change.
    result = hvsite.compute(rec, [[60.0, 120.0], [5460.0, 5520.0], [7140.0, 7199.0]],
                            smooth="none", freq_spacing="linear:0.5:100:200")
    early, late = result.window_ratios[0], result.window_ratios[1]
    np.testing.assert_allclose(late[1] / early[1], 4.0, rtol=1e-3)
    np.testing.assert_allclose(late[2], early[2], rtol=1e-3)
    assert np.all(np.isfinite(result.window_ratios[2]))


def test_ratiospec_refuses_the_file(long_recording, tmp_path):
    path = long_recording[3]
    (tmp_path / "w.txt").write_text(f'"{path}"   0.000   60.000 2\n')
    (tmp_path / "p.par").write_text("### section processing\n### end processing\n")
    done = run("ratiospec", "w.txt", "p.par", "hv", cwd=tmp_path)
    assert done.returncode == 2
    assert "1800000" in done.stdout and "greater than dimension :  600001" in done.stdout
    assert not (tmp_path / "hv").exists()
