# SPDX-License-Identifier: GPL-3.0-or-later
"""The package against the programs on the bundled recording, and arrays in against
file in."""

import filecmp
import os
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import hvsite
from conftest import EXAMPLES, RECORDING, ratiospec_options, run

SELECTION = dict(zip(["tsta", "tlta", "ratmin", "ratmax", "tlong", "overlap", "isatur",
                      "iltalev", "tbad"],
                     map(float, open(os.path.join(EXAMPLES, "calmpick.par")).read()
                         .split("/")[0].split())))
OPTIONS = ratiospec_options(os.path.join(EXAMPLES, "ratiospec.par"))


def rows(path):
    """The numeric rows of a result file."""
    with open(path) as f:
        return np.array([[float(x) for x in line.split()] for line in f if "#" not in line])


@pytest.fixture(scope="module")
def package_run(programs_run, tmp_path_factory):
    rec = [hvsite.read(RECORDING), hvsite.read(str(programs_run / "copy.miniseed"))]
    windows = [hvsite.select_windows(r, **SELECTION) for r in rec]
    result = hvsite.compute(rec, windows, **OPTIONS)
    folder = tmp_path_factory.mktemp("package")
    result.write(str(folder / "hv"))
    return rec, windows, result, folder


def window_times(path):
    with open(path) as f:
        return [[float(x) for x in line.split('"')[2].split()[:2]] for line in f]


def test_windows_are_calmpicks(programs_run, package_run):
    expected = window_times(programs_run / "windows.txt")
    assert len(expected) == 42
    # The window file holds the times to the millisecond.
    np.testing.assert_allclose(np.vstack(package_run[1]), expected, rtol=0, atol=5e-4)
    # Values not given take calmpick's defaults, as a parameter file of "/" alone.
    (programs_run / "defaults.par").write_text("/\n")
    assert run("calmpick", "list.txt", "defaults.par", "w0.txt", cwd=programs_run).returncode == 0
    both = window_times(programs_run / "w0.txt")  # the recording, then its copy
    np.testing.assert_allclose(hvsite.select_windows(package_run[0][0]), both[:len(both) // 2],
                               rtol=0, atol=5e-4)


def test_written_files_are_ratiospecs_byte_for_byte(programs_run, package_run):
    folder = package_run[3]
    names = sorted(n for n in os.listdir(programs_run) if n.startswith("hv"))
    assert sorted(os.listdir(folder)) == names
    assert {"hv", "hv_sp", "hv_az", "hv_win_001", "hv_win_042"} <= set(names)
    different = [n for n in names if not filecmp.cmp(programs_run / n, folder / n, shallow=False)]
    assert different == []


def test_arrays_are_the_file_rows(programs_run, package_run):
    result = package_run[2]
    # E15.7 fields keep seven significant digits (5e-7), read back in single precision.
    same = dict(rtol=6e-7, atol=0)
    np.testing.assert_allclose(np.vstack([result.freq, result.mean, result.sd]),
                               rows(programs_run / "hv").T, **same)
    # Every file of the run, through the report's reader.
    files = hvsite.read_result(programs_run / "hv")
    for name in ("freq", "mean", "sd", "spectra_mean", "spectra_sd", "window_ratios",
                 "window_spectra", "azimuth_mean"):
        np.testing.assert_allclose(getattr(result, name), getattr(files, name), **same,
                                   err_msg=name)
    assert result.window_ratios.shape == (42, 3, 2048) and list(result.azimuths[:2]) == [0, 15]
    np.testing.assert_allclose(result.azimuth_fo, files.azimuth_fo, rtol=0, atol=5e-5)
    np.testing.assert_allclose((result.fo, result.fo_minus, result.fo_plus),
                               (files.fo, files.fo_minus, files.fo_plus), rtol=0, atol=5e-5)
    np.testing.assert_allclose(result.windows, files.windows, rtol=0, atol=5e-3)
    assert list(result.kept) == list(files.kept) and result.rejection == files.rejection
    assert 0 < result.n_kept < 42


@pytest.mark.parametrize("convert", [
    pytest.param(lambda x: np.stack([x, x], axis=1).astype(np.float64)[:, 1], id="float64_strided"),
    pytest.param(lambda x: x.astype(np.int32), id="int32"),
    pytest.param(lambda x: x.astype(">f8"), id="big_endian"),
])
def test_arrays_in_equal_file_in(package_run, convert):
    rec, windows, result = package_run[:3]
    assert np.array_equal(rec[0].z, np.round(rec[0].z))  # integer counts: any dtype holds them
    again = [hvsite.Recording(convert(r.z), convert(r.ns), convert(r.ew), r.dt, name=r.name,
                              channels=r.channels, station=r.station) for r in rec]
    assert np.array_equal(hvsite.select_windows(again[1], **SELECTION), windows[1])
    other = hvsite.compute(again, windows, **OPTIONS)
    for name in ("freq", "mean", "sd", "window_ratios", "window_spectra", "azimuth_mean", "kept"):
        assert np.array_equal(getattr(other, name), getattr(result, name)), name
    assert other.fo == result.fo


def test_threads_at_once_give_the_one_thread_result(package_run):
    rec, windows, result = package_run[:3]
    with ThreadPoolExecutor(3) as pool:
        found = list(pool.map(lambda k: hvsite.compute(rec, windows, threads=1 + k % 2,
                                                       **OPTIONS), range(3)))
    assert all(np.array_equal(other.window_ratios, result.window_ratios) for other in found)


def test_criteria_and_figure_are_hvreports(programs_run, package_run):
    from hvsite.report import criteria, results

    hv = results.read_averaged_hv(str(programs_run / "hv"))
    expected = criteria.assess(hv.freq, hv.hv, hv.sigma, hv.window_len, hv.n_kept,
                               hv.fo_minus, hv.fo_plus)
    found = package_run[2].criteria()
    assert [c.verdict for c in found.criteria] == [c.verdict for c in expected.criteria]
    assert (found.reliable, found.clear) == (expected.reliable, expected.clear)
    assert found.peak.f0 == pytest.approx(expected.peak.f0, rel=1e-6)
    pytest.importorskip("matplotlib")
    fig = package_run[2].figure(package_run[0])
    # H/V, azimuths, spectra and the two recordings with their windows numbered.
    assert len(fig.axes) == 5
    assert {t.get_text() for t in fig.axes[4].texts} >= {"22", "42"}


def test_monitor_result_is_its_block_files(tmp_path):
    """hvmonitor's table and H/V per block, read as arrays, against each block's own
    averaged file."""
    par = tmp_path / "monitor.par"
    par.write_text(open(os.path.join(EXAMPLES, "ratiospec.par")).read() +
                   "### section monitor\nblock: 600\nend: 2017-05-04T06:00:00\n"
                   "block_files: yes\n### end monitor\n")
    (tmp_path / "list.txt").write_text(RECORDING + "\n")
    done = run("hvmonitor", "list.txt", os.path.join(EXAMPLES, "calmpick.par"), str(par), "out",
               cwd=tmp_path)
    assert done.returncode in (0, 1), done.stdout
    m = hvsite.read_result(tmp_path / "out")
    assert isinstance(m, hvsite.MonitorResult) and m.hv.shape == (3, len(m.freq))
    assert list(m.start.astype(str)) == [f"2017-05-04T05:{mm}:00.000" for mm in ("30", "40", "50")]
    for b in range(3):
        block = hvsite.read_result(tmp_path / f"out_blk_{b + 1:04d}")
        np.testing.assert_allclose(m.freq, block.freq, rtol=1e-6)
        np.testing.assert_allclose(m.hv[b], block.mean[0], rtol=1e-6)
        assert abs(m.fo[b] - block.fo) < 5e-5 and m.kept[b] == block.n_kept

