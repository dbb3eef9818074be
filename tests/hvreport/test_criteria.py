# SPDX-License-Identifier: GPL-3.0-or-later
"""Peak criteria on hand-made averaged H/V files whose verdicts are known by construction.

The base curve is a lognormal-shaped peak at f0 = 2.5 Hz with A0 = 4 on a grid that
holds f0/4, f0/2, 2f0 and 4f0 exactly; it passes all nine criteria. Each case changes
one thing so that one criterion lands just on one side of its threshold.
"""

import math
import os
import tempfile
import unittest
from dataclasses import dataclass, field, replace

import hvfiles
from hvsite.report import criteria, results
from hvsite.report.criteria import FAIL, PASS, UNKNOWN

ROWS_PER_FACTOR_4 = 40  # row k above f0 is at f0 * 4**(k/40): k=20 is 2f0, k=1 is +3.5 %


@dataclass(frozen=True)
class Site:
    f0: float = 2.5
    a0: float = 4.0
    width_below: float = 0.3
    width_above: float = 0.3
    sigma: float = 1.3
    sigma_rows: dict = field(default_factory=dict)  # row offset from f0 -> deviation factor
    lw: float = 20.0
    nw: int = 20
    fo: tuple = (2.5, 2.45, 2.55)
    rows_below: int = 100
    rows_above: int = 100


def curve_file(directory, site):
    freq = hvfiles.log_grid(site.f0, ROWS_PER_FACTOR_4, site.rows_below, site.rows_above)
    hv = hvfiles.lognormal_peak(freq, site.f0, site.a0, site.width_below, site.width_above)
    sigma = [site.sigma] * len(freq)
    for k, value in site.sigma_rows.items():
        sigma[site.rows_below + k] = value
    text = hvfiles.averaged_hv_text(freq, hv, sigma, site.lw, site.nw, site.fo)
    return hvfiles.write(os.path.join(directory, "site_hv"), text)


def assess_file(path):
    hv = results.read_averaged_hv(path)
    return criteria.assess(hv.freq, hv.hv, hv.sigma, hv.window_len, hv.n_windows, hv.fo_minus,
                           hv.fo_plus)


def verdicts(assessment):
    return {c.key: c.verdict for c in assessment.criteria}


BASE = Site()

# (case name, site, criterion, expected verdict). Values from the criterion's formula:
#   the A = A0/2 crossing of the base shape lies at ln(f0/f) = w * sqrt(2 ln 3), inside
#   [f0/4, f0] while w < ln 4 / sqrt(2 ln 3) = 0.935.
CASES = [
    ("f0_just_above_10_over_lw", replace(BASE, lw=4.01), "f0_above_10_over_lw", PASS),
    ("f0_equal_to_10_over_lw", replace(BASE, lw=4.0), "f0_above_10_over_lw", FAIL),
    ("nc_250", replace(BASE, nw=5), "nc_above_200", PASS),
    ("nc_exactly_200", replace(BASE, nw=4), "nc_above_200", FAIL),
    ("sigma_1_99_inside_band", replace(BASE, sigma_rows={19: 1.99}),
     "sigma_a_below_limit_around_f0", PASS),
    ("sigma_2_inside_band", replace(BASE, sigma_rows={19: 2.0}), "sigma_a_below_limit_around_f0",
     FAIL),
    ("sigma_2_just_below_band", replace(BASE, sigma_rows={-19: 2.0}),
     "sigma_a_below_limit_around_f0", FAIL),
    ("sigma_5_at_the_open_ends", replace(BASE, sigma_rows={20: 5.0, -20: 5.0}),
     "sigma_a_below_limit_around_f0", PASS),
    ("low_f0_allows_sigma_2_9", replace(BASE, f0=0.5, fo=(0.5, 0.49, 0.51), sigma_rows={10: 2.9}),
     "sigma_a_below_limit_around_f0", PASS),
    ("low_f0_refuses_sigma_3", replace(BASE, f0=0.5, fo=(0.5, 0.49, 0.51), sigma_rows={10: 3.0}),
     "sigma_a_below_limit_around_f0", FAIL),
    ("f0_0_8_refuses_sigma_2_5", replace(BASE, f0=0.8, fo=(0.8, 0.79, 0.81), sigma_rows={10: 2.5}),
     "sigma_a_below_limit_around_f0", FAIL),
    ("narrow_enough_below", replace(BASE, width_below=0.90), "half_amplitude_below_f0", PASS),
    ("too_wide_below", replace(BASE, width_below=0.97), "half_amplitude_below_f0", FAIL),
    ("narrow_enough_above", replace(BASE, width_above=0.90), "half_amplitude_above_f0", PASS),
    ("too_wide_above", replace(BASE, width_above=0.97), "half_amplitude_above_f0", FAIL),
    ("a0_2_1", replace(BASE, a0=2.1), "a0_above_2", PASS),
    ("a0_exactly_2", replace(BASE, a0=2.0), "a0_above_2", FAIL),
    ("upper_band_peak_3_5_percent_above", replace(BASE, sigma_rows={1: 1.5}),
     "band_peaks_within_5_percent", PASS),
    ("upper_band_peak_7_percent_above", replace(BASE, sigma_rows={2: 1.5}),
     "band_peaks_within_5_percent", FAIL),
    ("upper_band_peak_7_percent_below", replace(BASE, sigma_rows={-2: 1.5}),
     "band_peaks_within_5_percent", FAIL),
    ("sigma_f_0_12", replace(BASE, fo=(2.5, 2.40, 2.64)), "sigma_f_below_epsilon", PASS),
    ("sigma_f_0_13", replace(BASE, fo=(2.5, 2.40, 2.66)), "sigma_f_below_epsilon", FAIL),
    ("fo_not_found", replace(BASE, fo=(-9.0, -9.0, -9.0)), "sigma_f_below_epsilon", UNKNOWN),
    ("sigma_at_f0_1_57", replace(BASE, sigma_rows={0: 1.57}), "sigma_a_at_f0_below_theta", PASS),
    ("sigma_at_f0_1_58", replace(BASE, sigma_rows={0: 1.58}), "sigma_a_at_f0_below_theta", FAIL),
    # The peak near an end of the valid rows: what the rows cannot show is not evaluable,
    # unless the rows present already decide.
    ("rows_stop_above_f0_over_2", replace(BASE, rows_below=10), "sigma_a_below_limit_around_f0",
     UNKNOWN),
    ("rows_stop_above_f0_over_2_with_a_bad_row", replace(BASE, rows_below=10, sigma_rows={5: 2.5}),
     "sigma_a_below_limit_around_f0", FAIL),
    ("rows_stop_above_f0_over_4", replace(BASE, rows_below=10), "half_amplitude_below_f0",
     UNKNOWN),
    ("rows_stop_above_f0_over_4_but_narrow_peak", replace(BASE, rows_below=10, width_below=0.1),
     "half_amplitude_below_f0", PASS),
    ("rows_stop_below_4_f0", replace(BASE, rows_above=10), "half_amplitude_above_f0", UNKNOWN),
    ("rows_stop_below_4_f0_but_narrow_peak", replace(BASE, rows_above=10, width_above=0.1),
     "half_amplitude_above_f0", PASS),
]


class CriterionCrossesItsThreshold(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def test_base_curve_passes_everything(self):
        a = assess_file(curve_file(self.dir.name, BASE))
        self.assertEqual(set(verdicts(a).values()), {PASS}, verdicts(a))
        self.assertAlmostEqual(a.peak.f0, 2.5, places=6)
        self.assertAlmostEqual(a.peak.a0, 4.0, places=6)
        self.assertEqual((a.reliable, a.clear_passed, a.clear), ("yes", 6, "yes"))

    def test_half_amplitude_frequencies_are_the_nearest_to_f0(self):
        # The base shape crosses A0/2 at f0 * exp(-/+ 0.3 * sqrt(2 ln 3)), between rows
        # -13 and -12 (and +12 and +13): f- and f+ are rows -13 and +13.
        a = assess_file(curve_file(self.dir.name, BASE))
        values = {c.key: c.values for c in a.criteria}
        self.assertAlmostEqual(values["half_amplitude_below_f0"]["f-"], 2.5 * 4 ** (-13 / 40), 5)
        self.assertAlmostEqual(values["half_amplitude_above_f0"]["f+"], 2.5 * 4 ** (13 / 40), 5)

    def test_cases(self):
        for name, site, key, expected in CASES:
            with self.subTest(name):
                a = assess_file(curve_file(self.dir.name, site))
                self.assertEqual(verdicts(a)[key], expected, name)


# (f0, epsilon, theta) as the criteria define them, one f0 inside each frequency band.
BANDS = [(0.15, 0.0375, 3.0), (0.3, 0.06, 2.5), (0.8, 0.12, 2.0), (1.5, 0.15, 1.78),
         (2.5, 0.125, 1.58)]


class ThresholdsFollowTheFrequencyBand(unittest.TestCase):
    def test_each_band_through_a_file(self):
        with tempfile.TemporaryDirectory() as d:
            for f0, epsilon, theta in BANDS:
                for factor, expected in ((0.96, PASS), (1.04, FAIL)):
                    spread = round(factor * epsilon, 4)
                    site = replace(BASE, f0=f0, fo=(f0, f0 - spread, f0 + spread))
                    with self.subTest(f"f0_{f0}_sigma_f_{factor}_epsilon"):
                        got = verdicts(assess_file(curve_file(d, site)))["sigma_f_below_epsilon"]
                        self.assertEqual(got, expected)
                for value, expected in ((round(theta - 0.01, 2), PASS), (theta, FAIL)):
                    site = replace(BASE, f0=f0, fo=(f0, f0, f0), sigma_rows={0: value})
                    with self.subTest(f"f0_{f0}_sigma_a_{value}"):
                        got = verdicts(assess_file(curve_file(d, site)))
                        self.assertEqual(got["sigma_a_at_f0_below_theta"], expected)


class CurvesWithoutAPeak(unittest.TestCase):
    def test_nothing_passes(self):
        freq = hvfiles.log_grid(2.5, ROWS_PER_FACTOR_4, 60, 60)
        shapes = {
            "flat": [1.0] * len(freq),
            "falling": [10.0 / (1.0 + k) for k in range(len(freq))],
            "largest_value_on_the_last_row": [1.0 + k for k in range(len(freq))],
        }
        with tempfile.TemporaryDirectory() as d:
            for name, hv in shapes.items():
                with self.subTest(name):
                    path = hvfiles.write(os.path.join(d, name), hvfiles.averaged_hv_text(
                        freq, hv, [1.2] * len(freq)))
                    a = assess_file(path)
                    self.assertIsNone(a.peak)
                    # The largest value lies on an edge row: the curve is not reliable.
                    got = verdicts(a)
                    self.assertEqual(got.pop("largest_value_inside_grid"), FAIL)
                    self.assertEqual(set(got.values()), {UNKNOWN})
                    self.assertEqual((a.reliable, a.clear_passed, a.clear),
                                     ("no", 0, "undetermined"))

    def test_band_curves_without_interior_maximum(self):
        # sigma grows by e^0.2 a row, faster than the peak's slope: A*sigma only rises
        # and A/sigma only falls, so neither band curve has a peak to compare.
        with tempfile.TemporaryDirectory() as d:
            growing = {k: math.exp(0.2 * (k + 100)) for k in range(-100, 101)}
            site = replace(BASE, sigma_rows=growing)
            got = verdicts(assess_file(curve_file(d, site)))["band_peaks_within_5_percent"]
            self.assertEqual(got, UNKNOWN)


class LargestInteriorMaximum(unittest.TestCase):
    CASES = [
        ("single_peak", [1, 3, 2], 1),
        ("plateau_peaks_at_its_first_row", [1, 2, 2, 1], 1),
        ("maximum_on_first_row_is_not_interior", [5, 1, 2, 1], 2),
        ("maximum_on_last_row_is_not_interior", [1, 2, 1, 9], 1),
        ("first_of_equal_peaks", [1, 3, 1, 3, 1], 1),
        ("largest_of_two_peaks", [1, 2, 1, 4, 1], 3),
        ("falling", [3, 2, 1], None),
        ("rising", [1, 2, 3], None),
        ("one_row", [1], None),
        ("no_row", [], None),
    ]

    def test_cases(self):
        for name, values, expected in self.CASES:
            with self.subTest(name):
                self.assertEqual(criteria.largest_interior_maximum(values), expected)


def _assessment(reliable, clear):
    made = [criteria.Criterion(f"r{k}", "reliable", "", "", v) for k, v in enumerate(reliable)]
    made += [criteria.Criterion(f"c{k}", "clear", "", "", v) for k, v in enumerate(clear)]
    return criteria.Assessment(None, made)


class Summaries(unittest.TestCase):
    RELIABLE = [
        ("all_three_pass", [PASS, PASS, PASS], "yes"),
        ("one_fails", [PASS, FAIL, UNKNOWN], "no"),
        ("one_not_evaluable", [PASS, PASS, UNKNOWN], "undetermined"),
    ]
    CLEAR = [
        ("five_of_six", [PASS] * 5 + [FAIL], "yes"),
        ("four_of_six", [PASS] * 4 + [FAIL] * 2, "no"),
        ("four_and_one_not_evaluable", [PASS] * 4 + [FAIL, UNKNOWN], "undetermined"),
        ("three_and_one_not_evaluable", [PASS] * 3 + [FAIL] * 2 + [UNKNOWN], "no"),
    ]

    def test_reliable_curve(self):
        for name, verdict_list, expected in self.RELIABLE:
            with self.subTest(name):
                self.assertEqual(_assessment(verdict_list, []).reliable, expected)

    def test_clear_peak(self):
        for name, verdict_list, expected in self.CLEAR:
            with self.subTest(name):
                self.assertEqual(_assessment([], verdict_list).clear, expected)


if __name__ == "__main__":
    unittest.main()
