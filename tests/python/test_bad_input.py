# SPDX-License-Identifier: GPL-3.0-or-later
"""What the package refuses: each case raises HvError (a ValueError) with a message
that says why; warnings come as HvWarning."""

import os
import warnings

import numpy as np
import pytest

import hvsite
from conftest import RECORDING

N, DT = 3000, 0.01


def noise(n=N, seed=1):
    return np.random.default_rng(seed).normal(size=n)


def rec(z=None, ns=None, ew=None, dt=DT, **kw):
    return hvsite.Recording(noise() if z is None else z, noise(seed=2) if ns is None else ns,
                            noise(seed=3) if ew is None else ew, dt, **kw)


WINDOW = np.array([[0.0, 10.0]])
CASES = {
    "nan_sample": (lambda: rec(z=np.where(np.arange(N) == 17, np.nan, noise())),
                   "sample 17 of the vertical component is not a finite"),
    "beyond_single": (lambda: rec(ew=np.full(N, 1e300)), "east-west component is not a finite"),
    "unequal_lengths": (lambda: rec(ns=noise(N - 1)), "north-south component holds 2999"),
    "empty": (lambda: rec(np.array([]), np.array([]), np.array([])), "holds no samples"),
    "dt_zero": (lambda: rec(dt=0.0), "sampling interval 0"),
    "dt_negative": (lambda: rec(dt=-0.01), "not a usable positive number"),
    "dt_nan": (lambda: rec(dt=float("nan")), "not a usable positive number"),
    "dt_beyond_single": (lambda: rec(dt=1e300), "not a usable positive number"),
    "dt_text": (lambda: rec(dt="fast"), "is not a number"),
    "two_dimensional": (lambda: rec(z=noise().reshape(100, 30)), "not a one-dimensional array"),
    "complex": (lambda: rec(z=noise() + 1j), "not an array of real numbers"),
    "window_past_the_end": (lambda: hvsite.compute(rec(), [[10.0, 40.0]]),
                            "Start sample or end sample incorrectly specified"),
    "window_backwards": (lambda: hvsite.compute(rec(), [[5.0, 4.0]]), "window 1 runs from 5 s to 4 s"),
    "window_negative": (lambda: hvsite.compute(rec(), [[-1.0, 4.0]]), "needs 0 <= start < end"),
    "window_nan": (lambda: hvsite.compute(rec(), [[np.nan, 4.0]]), "needs 0 <= start < end"),
    "window_beyond_single": (lambda: hvsite.compute(rec(), [[0.0, 1e300]]), "needs 0 <= start"),
    "windows_not_pairs": (lambda: hvsite.compute(rec(), np.zeros((2, 3))), "rows of start and end"),
    "no_windows": (lambda: hvsite.compute(rec(), np.zeros((0, 2))), "no window given"),
    "windows_per_recording": (lambda: hvsite.compute([rec(), rec()], [WINDOW]),
                              "one array of windows per recording"),
    "interval_changes": (lambda: hvsite.compute([rec(), rec(dt=0.02)], [WINDOW, WINDOW]),
                         "sampling rate previously found"),
    "bad_grid": (lambda: hvsite.compute(rec(), WINDOW, freq_spacing="every:1"),
                 "'frequency spacing' option wrongly set"),
    "bad_smoothing": (lambda: hvsite.compute(rec(), WINDOW, smooth="konno-ohmachi:x"), "smooth"),
    "bad_azimuth_step": (lambda: hvsite.compute(rec(), WINDOW, azimuth_step="7"),
                         "azimuth_step must divide 180"),
    "option_too_long": (lambda: hvsite.compute(rec(), WINDOW, taper="cos:" + "5" * 80),
                        "taper: the value has more than 79"),
    "threads": (lambda: hvsite.compute(rec(), WINDOW, threads=-1), "threads must be"),
    "not_a_recording": (lambda: hvsite.compute(noise(), WINDOW), "a recording is needed"),
    "missing_file": (lambda: hvsite.read("no/such/file.mseed"), "no/such/file.mseed"),
    "unknown_format": (lambda: hvsite.read(RECORDING, "sac"), "format 'sac' is none of"),
    "wrong_format": (lambda: hvsite.read(RECORDING, "kaf"), "UT.STN11.A2_C50.miniseed"),
    "selection_refused": (lambda: hvsite.select_windows(rec(), ratmin=-1.0), "ratmin"),
    "selection_not_finite": (lambda: hvsite.select_windows(rec(), tlong=1e300), "finite numbers"),
    "selection_averages": (lambda: hvsite.select_windows(rec(), tsta=0.001),
                           "must be at least the sampling interval"),
    # Two end zeros and a 0.5 s ramp (52 samples), then the 60 s average (6000).
    "selection_short": (lambda: hvsite.select_windows(rec(), tlta=60.0),
                        "3000 samples are fewer than the 6052 that the STA/LTA averages need"),
}


@pytest.mark.parametrize("case", CASES.values(), ids=CASES.keys())
def test_refused_with_a_message(case):
    make, fragment = case
    with pytest.raises(hvsite.HvError) as caught:
        make()
    assert isinstance(caught.value, ValueError)
    assert fragment in str(caught.value)


def test_result_that_would_replace_a_recording_is_refused(tmp_path):
    path = tmp_path / "site"
    np.savetxt(path, [0])  # stands in for a recording file
    r = rec(name=str(path))
    result = hvsite.compute(r, WINDOW)
    with pytest.raises(hvsite.HvError, match="would replace an input file"):
        result.write(str(path))
    assert open(path).read().strip() == "0.000000000000000000e+00"
    result.write(str(tmp_path / "other"))
    assert os.path.exists(tmp_path / "other")


def test_programs_warnings_become_python_warnings():
    with pytest.warns(hvsite.HvWarning, match="single_win_out: 'maybe' is neither yes nor no"):
        hvsite.compute(rec(), WINDOW, single_win_out="maybe")
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        hvsite.compute(rec(), WINDOW, single_win_out="no", smooth="none")
