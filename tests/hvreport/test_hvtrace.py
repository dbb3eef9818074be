# SPDX-License-Identifier: GPL-3.0-or-later
"""hvtrace on KAF recordings whose samples encode their own index."""

import os
import tempfile
import unittest

import hvfiles
from hvsite.report import figure, results, traces

RECORDING = os.path.join(os.path.dirname(__file__), "..", "..", "data", "UT.STN11.A2_C50.miniseed")


def kaf(path, columns, samp_freq=100, units="m/s"):
    header = ["KORVEN ASCII data format (kaf) v. 1", "STA_CODE = ABC", f"SAMP_FREQ = {samp_freq}",
              f"NDAT = {len(columns[0])}", "START_TIME = 2003 06 14 14 40 30.000",
              f"UNITS = {units}", "CH0_ID = Z", "CH1_ID = N", "CH2_ID = E",
              "####----------------------------------------"]
    rows = [f"{a} {b} {c}" for a, b, c in zip(*columns)]
    return hvfiles.write(path, "\n".join(header + rows) + "\n")


# Ten samples: Z = i, N = -2i, E = 7 at sample 4 and 0 elsewhere.
TEN = ([i for i in range(10)], [-2 * i for i in range(10)], [7 if i == 4 else 0 for i in range(10)])


class Envelope(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = kaf(os.path.join(self.dir.name, "ten.kaf"), TEN)

    def tearDown(self):
        self.dir.cleanup()

    def trace(self, *args):
        done = hvfiles.run_tool("hvtrace", [self.path, *args])
        self.assertEqual(done.returncode, 0, done.stderr)
        (trace,) = traces.parse(done.stdout)
        return trace

    def test_three_buckets_of_ten_samples(self):
        # Buckets of samples 0-2, 3-5 and 6-9 (floor(b*10/3)).
        t = self.trace("--points", "3")
        self.assertEqual((t.format, t.nsamp, t.labels), (2, 10, ["Z", "N", "E", "m/s"]))
        self.assertAlmostEqual(t.dt, 0.01, places=7)
        for got, want in zip(t.t_first + t.t_last, [0.0, 0.03, 0.06, 0.02, 0.05, 0.09]):
            self.assertAlmostEqual(got, want, places=6)
        self.assertEqual(t.low[0], [0, 3, 6])
        self.assertEqual(t.high[0], [2, 5, 9])
        self.assertEqual(t.low[1], [-4, -10, -18])
        self.assertEqual(t.high[1], [0, -6, -12])
        self.assertEqual(t.low[2], [0, 0, 0])
        self.assertEqual(t.high[2], [0, 7, 0])

    def test_more_points_than_samples_gives_one_bucket_per_sample(self):
        t = self.trace("--points", "50")
        self.assertEqual(t.low[0], list(range(10)))
        self.assertEqual(t.high[1], [-2 * i for i in range(10)])


class WindowFile(unittest.TestCase):
    def test_each_recording_once_with_its_windows(self):
        with tempfile.TemporaryDirectory() as d:
            kaf(os.path.join(d, "a.kaf"), TEN)
            kaf(os.path.join(d, "b b.kaf"), TEN, samp_freq=50)
            # Relative names that only exist beside the window file; interleaved lines.
            hvfiles.write(os.path.join(d, "w.txt"),
                          '# comment\n"a.kaf" 0.0 0.05 2\n"b b.kaf" 0.02 0.1\n'
                          '"a.kaf" 0.04 0.09 2\n')
            done = hvfiles.run_tool("hvtrace", ["--windows", os.path.join(d, "w.txt")])
            self.assertEqual(done.returncode, 0, done.stderr)
            a, b = traces.parse(done.stdout)
            self.assertEqual(os.path.basename(a.path), "a.kaf")
            self.assertEqual(os.path.basename(b.path), "b b.kaf")
            # Each window keeps its line number in the window file.
            for got, want in zip(sum(a.windows, ()), (0.0, 0.05, 1, 0.04, 0.09, 3)):
                self.assertAlmostEqual(got, want, places=6)
            self.assertEqual([w[2] for w in b.windows], [2])
            self.assertAlmostEqual(b.dt, 0.02, places=7)

    def test_unreadable_inputs_end_with_status_2(self):
        with tempfile.TemporaryDirectory() as d:
            hvfiles.write(os.path.join(d, "gone.txt"), '"gone.kaf" 0 20 2\n')
            hvfiles.write(os.path.join(d, "short.txt"), 'a.kaf 0\n')
            hvfiles.write(os.path.join(d, "notkaf.kaf"), "hello\n")
            # A KAF recording named as GSE is read as the line says, as ratiospec would.
            kaf(os.path.join(d, "ten.kaf"), TEN)
            hvfiles.write(os.path.join(d, "as_gse.txt"), '"ten.kaf" 0 0.05 1\n')
            cases = {
                "missing_recording": (["--windows", os.path.join(d, "gone.txt")], "does not exist"),
                "window_line_too_short": (["--windows", os.path.join(d, "short.txt")], "missing"),
                "format_of_the_line_is_not_guessed": (
                    ["--windows", os.path.join(d, "as_gse.txt")], "could not be read"),
                "not_a_recording": ([os.path.join(d, "notkaf.kaf")], "could not be read"),
                "bad_points": ([os.path.join(d, "notkaf.kaf"), "--points", "0"], "--points"),
            }
            for name, (args, fragment) in cases.items():
                with self.subTest(name):
                    done = hvfiles.run_tool("hvtrace", args)
                    self.assertEqual(done.returncode, 2)
                    self.assertIn(fragment, done.stderr)
                    self.assertEqual(done.stdout, "")


class StationAndStartTime(unittest.TestCase):
    def test_from_the_recording_into_the_figure_title(self):
        with tempfile.TemporaryDirectory() as d:
            text = hvfiles.averaged_hv_text(hvfiles.log_grid(2.5), [1.0] * 201, [1.2] * 201, nw=3)
            hv = results.read_averaged_hv(hvfiles.write(os.path.join(d, "hv"), text))
            dh = hvfiles.write(os.path.join(d, "x.dh"), "Sample rate: 100\nSample number: 2\n"
                               "Gain: 1\nConversion factor: 1\nMaximum\n1 2 3\n4 5 6\n")
            # (recording, format, station, start: KAF START_TIME 2003 06 14 14 40 30.000,
            # the bundled recording's first sample per data/PROVENANCE.md; DuneHeron has neither)
            cases = [
                (kaf(os.path.join(d, "ten.kaf"), TEN), "2", "ABC", 1055601630.0,
                 "ABC, recording of 2003-06-14 14:40:30 UTC"),
                (RECORDING, "4", "UT.STN11", 1493875800.0,
                 "UT.STN11, recording of 2017-05-04 05:30:00 UTC"),
                (dh, "3", "", None, "site.kaf"),
            ]
            for path, fmt, station, start, title in cases:
                with self.subTest(os.path.basename(path)):
                    done = hvfiles.run_tool("hvtrace", [path, "--format", fmt, "--points", "2"])
                    self.assertEqual(done.returncode, 0, done.stderr)
                    (trace,) = traces.parse(done.stdout)
                    self.assertEqual((trace.station, trace.start), (station, start))
                    self.assertEqual(figure.title_text(hv, [trace]).splitlines()[0], title)


if __name__ == "__main__":
    unittest.main()
