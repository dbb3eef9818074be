# SPDX-License-Identifier: GPL-3.0-or-later
"""The report of a real run: kafgen, calmpick and ratiospec, then hvreport."""

import json
import os
import re
import struct
import tempfile
import unittest

import hvfiles
import matplotlib.image
import numpy as np
from hvsite.report import results

RESONANCE_HZ = 4.0


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


class ReportOfARealRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        d = cls.dir.name

        def run(name, args):
            done = hvfiles.run_tool(name, args, cwd=d)
            assert done.returncode in (0, 1), f"{name}: {done.stdout}{done.stderr}"

        run("kafgen", ["site.kaf", "--duration", "600", "--seed", "3", "--resonance",
                       str(RESONANCE_HZ), "--transient", "100:40:3", "--transient", "333:60:2"])
        hvfiles.write(os.path.join(d, "list.txt"), "site.kaf\n")
        hvfiles.write(os.path.join(d, "pick.par"), "1.0 25.0 0.5 2.0 20.0 0.2 1 0 0.0\n")
        run("calmpick", ["list.txt", "pick.par", "w.txt"])
        hvfiles.write(os.path.join(d, "hv.par"), "### section processing\nsingle_win_out: yes\n"
                      "average_spectra_out: yes\n### end processing\n")
        run("ratiospec", ["w.txt", "hv.par", "res"])
        cls.done = hvfiles.run_hvreport(["res", "--windows", "w.txt", "--figure", "report.png",
                                         "--json", "report.json"], cwd=d)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def setUp(self):
        self.assertEqual(self.done.returncode, 0, self.done.stdout + self.done.stderr)

    def report(self):
        with open(self.path("report.json"), encoding="utf-8") as f:
            return json.load(f)

    def test_per_window_curves_average_to_the_averaged_curve(self):
        # av_HV is the geometric mean of the windows' merged H/V, row by row.
        hv = results.read_averaged_hv(self.path("res"))
        windows, note = results.window_curves_beside(hv)
        self.assertIsNone(note)
        self.assertEqual(len(windows.curves), hv.n_windows)
        mean = np.exp(np.log(np.array(windows.curves)).mean(axis=0))
        np.testing.assert_allclose(mean, hv.hv, rtol=2e-5)
        self.assertEqual(self.done.stderr, "")

    def test_figure_is_a_png_of_the_layout_size(self):
        # 10 in at 100 dpi wide; 4 in (H/V) + 3 in (spectra) + 2.4 in (one recording) high.
        self.assertEqual(png_size(self.path("report.png")), (1000, 940))

    def test_figure_is_not_blank(self):
        pixels = matplotlib.image.imread(self.path("report.png"))[:, :, :3]
        not_white = np.any(pixels < 0.98, axis=2).mean()
        colours = len(np.unique((pixels * 255).astype(np.uint8).reshape(-1, 3), axis=0))
        self.assertGreater(not_white, 0.10)
        self.assertGreater(colours, 50)

    def test_json_agrees_with_the_table(self):
        report, table = self.report(), self.done.stdout.splitlines()
        for c in report["criteria"]:
            with self.subTest(c["key"]):
                line = next(x for x in table if x.startswith("  " + c["label"]))
                self.assertRegex(line, r"(pass|fail|not evaluable)( \(.*\))?$")
                self.assertTrue(line.rstrip().endswith(c["verdict"]) or
                                f" {c['verdict']} (" in line, line)
        self.assertIn(f"reliable curve: {report['reliable_curve']}", table)
        clear = report["clear_peak"]
        self.assertTrue(any(x.startswith(f"clear peak: {clear['passed']} of 6") for x in table))
        self.assertEqual(clear["passed"], sum(c["verdict"] == "pass" for c in report["criteria"]
                                              if c["group"] == "clear"))

    def test_json_agrees_with_the_result_files(self):
        report = self.report()
        with open(self.path("res"), encoding="utf-8") as f:
            text = f.read()
        fo = re.search(r"Fo: +(\S+) range \+/- 1 s\.d\.: +(\S+) - +(\S+) \[Hz\]", text)
        self.assertEqual([report["Fo"], report["Fo_minus"], report["Fo_plus"]],
                         [float(x) for x in fo.groups()])
        self.assertAlmostEqual(report["sigma_f"], (report["Fo_plus"] - report["Fo_minus"]) / 2)
        with open(self.path("w.txt"), encoding="utf-8") as f:
            self.assertEqual(report["n_windows"], len(f.read().splitlines()))
        # The peak of this recording is its resonance, the highest row of av_HV.
        rows = [line.split() for line in text.splitlines()[-report["n_rows"]:]]
        self.assertEqual(report["A0"], max(float(r[1]) for r in rows))
        self.assertLess(abs(report["f0"] / RESONANCE_HZ - 1), 0.1)
        self.assertEqual(report["window_length"], 20.0)


if __name__ == "__main__":
    unittest.main()
