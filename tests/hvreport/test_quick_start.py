# SPDX-License-Identifier: GPL-3.0-or-later
"""The README's quick start, run from a scratch-prefix install: calmpick and ratiospec
with examples/*.par on the bundled recording (window rejection and azimuths on), then
the site report, checked against the result files and the README."""

import json
import math
import os
import re
import subprocess
import tempfile
import unittest

import hvfiles
import numpy as np

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
RECORDING = os.path.join(ROOT, "data", "UT.STN11.A2_C50.miniseed")
PUBLISHED_FO = 0.7135  # data/PROVENANCE.md
FO_LINE = re.compile(r"Fo: +(\S+) range \+/- 1 s\.d\.: +(\S+) - +(\S+) \[Hz\]")


def table(text):
    """The numeric rows of a result file: an array, one row per frequency."""
    return np.array([[float(x) for x in line.split()] for line in text.splitlines()
                     if line.strip() and not line.lstrip().startswith("#")])


class QuickStartFromAnInstall(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        d = cls.dir.name
        prefix = os.path.join(d, "prefix")
        done = subprocess.run([os.environ.get("HV_CMAKE", "cmake"), "--install",
                               os.environ["HV_BUILD"], "--prefix", prefix],
                              capture_output=True, text=True, check=False)
        assert done.returncode == 0, done.stdout + done.stderr
        # Nothing of the build or the sources on the way: only what was installed.
        env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
        env["PATH"] = "/usr/bin:/bin"
        cls.run_dir = os.path.join(d, "run")
        os.mkdir(cls.run_dir)
        with open(os.path.join(cls.run_dir, "list.txt"), "w", encoding="utf-8") as f:
            f.write(os.path.relpath(RECORDING, cls.run_dir) + "\n")
        examples = os.path.join(ROOT, "examples")
        cls.status = {}
        for name, args in (
                ("calmpick", ["list.txt", os.path.join(examples, "calmpick.par"), "w.txt"]),
                ("ratiospec", ["w.txt", os.path.join(examples, "ratiospec.par"), "hv"]),
                ("hvreport", ["hv", "--windows", "w.txt", "--figure", "r.png", "--json", "r.json",
                              "--hv", "r.hv"])):
            done = subprocess.run([os.path.join(prefix, "bin", name), *args], cwd=cls.run_dir,
                                  env=env, capture_output=True, text=True, check=False)
            cls.status[name] = (done.returncode, done.stdout + done.stderr)
            cls.report_out = done.stdout

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def text(self, name):
        with open(os.path.join(self.run_dir, name), encoding="utf-8") as f:
            return f.read()

    def setUp(self):
        for name, (status, out) in self.status.items():
            self.assertEqual(status, 0, f"{name}: {out}")
        self.json = json.loads(self.text("r.json"))

    def test_fo_is_the_one_the_readme_shows_and_near_the_published_one(self):
        fo_line = next(x for x in self.text("hv").splitlines() if "Fo:" in x)
        self.assertIn(fo_line.strip(), self.text(os.path.join(ROOT, "README.md")))
        fo = float(FO_LINE.search(fo_line).group(1))
        self.assertLess(abs(fo / PUBLISHED_FO - 1), 0.02)
        self.assertIn("reliable curve: yes", self.report_out)

    def test_rejected_windows_are_out_of_every_criterion(self):
        header = self.text("hv")
        rejected = [int(x) for line in header.splitlines()
                    if line.startswith(" # rejected_windows:") for x in line.split()[2:]]
        n_windows = len(self.text("w.txt").splitlines())
        self.assertGreater(len(rejected), 0)
        r = self.json["window_rejection"]
        self.assertEqual((r["rejected"], r["of"], self.json["n_windows_kept"]),
                         (rejected, n_windows, n_windows - len(rejected)))
        kept = n_windows - len(rejected)
        nc = next(c for c in self.json["criteria"] if c["key"] == "nc_above_200")
        self.assertAlmostEqual(nc["values"]["nc"], 60.0 * kept * self.json["f0"], places=6)
        self.assertIn(f"nw = {kept} ", self.report_out)

    def test_windows_carry_their_times_and_the_peaks_fo_is_made_of(self):
        windows = self.json["windows"]
        lines = [line.split() for line in self.text("w.txt").splitlines()]
        self.assertEqual([(w["start"], w["end"]) for w in windows],
                         [(round(float(x[1]), 2), round(float(x[2]), 2)) for x in lines])
        rejected = self.json["window_rejection"]["rejected"]
        self.assertEqual([w["number"] for w in windows if not w["kept"]], rejected)
        # Fo and its band: exp(mean +/- sd) of the kept windows' log peak frequencies.
        logs = np.log([w["fo_peak_frequency"] for w in windows if w["kept"]])
        m, s = logs.mean(), logs.std(ddof=1)
        fo = [float(x) for x in FO_LINE.search(self.text("hv")).groups()]
        np.testing.assert_allclose([math.exp(m), math.exp(m - s), math.exp(m + s)], fo, atol=6e-5)
        self.assertTrue(all(w["peak_frequency"] > 0 for w in windows))

    def test_azimuth_table_follows_the_az_file(self):
        az = self.json["azimuth"]
        lines = [FO_LINE.search(x) for x in self.text("hv_az").splitlines()
                 if x.startswith(" # azimuth:")]
        self.assertEqual([e["azimuth"] for e in az["table"]], [15.0 * k for k in range(12)])
        self.assertEqual([[e["Fo"], e["Fo_minus"], e["Fo_plus"]] for e in az["table"]],
                         [[float(x) for x in m.groups()] for m in lines])
        # At 0 degrees the horizontal is the north-south component, at 90 the east-west:
        # their peaks are those of ns_HV and ew_HV in the averaged file.
        averaged = table(self.text("hv"))
        for degrees, column in ((0.0, 2), (90.0, 3)):
            entry = next(e for e in az["table"] if e["azimuth"] == degrees)
            self.assertEqual(entry["f0"], averaged[np.argmax(averaged[:, column]), 0])

    def test_rejected_windows_are_not_marked_from_another_window_file(self):
        lines = self.text("w.txt").splitlines(keepends=True)
        # The first window moved by a second: its number no longer names the run's window.
        moved = lines[0].replace("     0.000     60.000", "     1.000     61.000")
        self.assertNotEqual(moved, lines[0])
        with open(os.path.join(self.run_dir, "other.txt"), "w", encoding="utf-8") as f:
            f.write("".join([moved] + lines[1:]))
        done = hvfiles.run_hvreport(["hv", "--windows", "other.txt"], cwd=self.run_dir)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("is not the run's (window 1 is not the run's window 1)", done.stderr)

    def test_hv_export_holds_the_averaged_curve(self):
        text = self.text("r.hv")
        header = dict(line[2:].split("\t", 1) for line in text.splitlines() if "\t" in line and
                      line.startswith("# "))
        averaged = table(self.text("hv"))
        exported = table(text)
        np.testing.assert_allclose(exported[:, :2], averaged[:, :2], rtol=1e-6)
        # min and max: the average divided and multiplied by its deviation factor.
        np.testing.assert_allclose(exported[:, 3] / exported[:, 1], averaged[:, 4], rtol=2e-6)
        np.testing.assert_allclose(exported[:, 1] ** 2, exported[:, 2] * exported[:, 3], rtol=2e-6)
        fo = [float(x) for x in FO_LINE.search(self.text("hv")).groups()]
        self.assertEqual([float(x) for x in header["f0 from windows"].split("\t")], fo)
        peak = np.argmax(averaged[:, 1])
        self.assertEqual(float(header["f0 from average"]), averaged[peak, 0])
        self.assertEqual(float(header["Peak amplitude"]), averaged[peak, 1])
        self.assertIn(f"Number of windows = {self.json['n_windows_kept']}\n", text)
        self.assertIn("lognormal standard deviation", text.split("# Frequency")[0])


if __name__ == "__main__":
    unittest.main()
