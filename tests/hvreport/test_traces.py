# SPDX-License-Identifier: GPL-3.0-or-later
"""The figure's recordings, read through the window file, on KAF recordings whose
samples encode their own index."""

import os
import tempfile
import unittest

import hvfiles
import hvsite
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
        self.rec = hvsite.read(kaf(os.path.join(self.dir.name, "ten.kaf"), TEN))

    def tearDown(self):
        self.dir.cleanup()

    def test_three_buckets_of_ten_samples(self):
        # Buckets of samples 0-2, 3-5 and 6-9 (floor(b*10/3)).
        t = traces.envelope(self.rec, [], points=3)
        self.assertEqual((t.nsamp, t.labels), (10, ["Z", "N", "E", "m/s"]))
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
        t = traces.envelope(self.rec, [], points=50)
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
            a, b = traces.read_traces(os.path.join(d, "w.txt"))
            self.assertEqual(os.path.basename(a.path), "a.kaf")
            self.assertEqual(os.path.basename(b.path), "b b.kaf")
            # Each window keeps its line number in the window file.
            for got, want in zip(sum(a.windows, ()), (0.0, 0.05, 1, 0.04, 0.09, 3)):
                self.assertAlmostEqual(got, want, places=6)
            self.assertEqual([w[2] for w in b.windows], [2])
            self.assertAlmostEqual(b.dt, 0.02, places=7)

    def test_unreadable_inputs_are_refused_with_the_reason(self):
        with tempfile.TemporaryDirectory() as d:
            hvfiles.write(os.path.join(d, "gone.txt"), '"gone.kaf" 0 20 2\n')
            hvfiles.write(os.path.join(d, "short.txt"), 'a.kaf 0\n')
            hvfiles.write(os.path.join(d, "empty.txt"), '# nothing\n')
            # A KAF recording named as GSE is read as the line says, as ratiospec would.
            kaf(os.path.join(d, "ten.kaf"), TEN)
            hvfiles.write(os.path.join(d, "as_gse.txt"), '"ten.kaf" 0 0.05 1\n')
            cases = {
                "missing_recording": ("gone.txt", "gone.kaf does not exist"),
                "window_line_too_short": ("short.txt", "missing"),
                "no_window": ("empty.txt", "no window"),
                "format_of_the_line_is_not_guessed": ("as_gse.txt", "GSE"),
            }
            for name, (window_file, fragment) in cases.items():
                with self.subTest(name):
                    with self.assertRaises(traces.TraceError) as caught:
                        traces.read_traces(os.path.join(d, window_file))
                    self.assertIn(fragment, str(caught.exception))
                    self.assertEqual(len(str(caught.exception).splitlines()), 1)


class StationAndStartTime(unittest.TestCase):
    def test_from_the_recording_into_the_figure_title(self):
        with tempfile.TemporaryDirectory() as d:
            text = hvfiles.averaged_hv_text(hvfiles.log_grid(2.5), [1.0] * 201, [1.2] * 201, nw=3)
            hv = results.read_averaged_hv(hvfiles.write(os.path.join(d, "hv"), text))
            dh = hvfiles.write(os.path.join(d, "x.dh"), "Sample rate: 100\nSample number: 2\n"
                               "Gain: 1\nConversion factor: 1\nMaximum\n1 2 3\n4 5 6\n")
            gse = os.path.join(d, "x.gse")  # WID2 2003/06/14 14:40:30.000 SYN, STA2 SYNNET
            hvfiles.run_tool("kafgen", [gse, "--duration", "1", "--gse", "2:CM6"])
            # (recording, format, station, start: KAF START_TIME 2003 06 14 14 40 30.000,
            # the bundled recording's first sample per data/PROVENANCE.md; DuneHeron has neither)
            cases = [
                (gse, None, "SYNNET.SYN", 1055601630.0,
                 "SYNNET.SYN, recording of 2003-06-14 14:40:30 UTC"),
                (kaf(os.path.join(d, "ten.kaf"), TEN), "kaf", "ABC", 1055601630.0,
                 "ABC, recording of 2003-06-14 14:40:30 UTC"),
                (RECORDING, "miniseed", "UT.STN11", 1493875800.0,
                 "UT.STN11, recording of 2017-05-04 05:30:00 UTC"),
                (dh, "duneheron", "", None, "site.kaf"),
            ]
            for path, fmt, station, start, title in cases:
                with self.subTest(os.path.basename(path)):
                    trace = traces.envelope(hvsite.read(path, fmt), [], points=2)
                    self.assertEqual((trace.station, trace.start), (station, start))
                    self.assertEqual(figure.title_text(hv, [trace]).splitlines()[0], title)


if __name__ == "__main__":
    unittest.main()
