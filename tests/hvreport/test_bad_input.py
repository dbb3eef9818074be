# SPDX-License-Identifier: GPL-3.0-or-later
"""hvreport refuses what it cannot use: one line on standard error, status 2."""

import os
import tempfile
import unittest

import hvfiles


def good_text(fo=(2.5, 2.45, 2.55)):
    freq = hvfiles.log_grid(2.5, 40, 100, 100)
    hv = hvfiles.lognormal_peak(freq, 2.5, 4.0, 0.3, 0.3)
    return hvfiles.averaged_hv_text(freq, hv, [1.3] * len(freq), fo=fo)


class RefusedInput(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        d = self.dir.name
        text = good_text()
        lines = text.splitlines(keepends=True)
        self.files = {
            "good": hvfiles.write(os.path.join(d, "site_hv"), text),
            "spectra": hvfiles.write(os.path.join(d, "site_hv_sp"),
                                     " ### data used in the FOURIER spectra processing:\n"),
            "text": hvfiles.write(os.path.join(d, "notes.txt"), "some notes\n"),
            "binary": os.path.join(d, "blob"),
            "rows_missing": hvfiles.write(os.path.join(d, "rows"), "".join(lines[:-3])),
            "last_value_cut": hvfiles.write(os.path.join(d, "cut"), text[:-8] + "\n"),
            "header_cut": hvfiles.write(os.path.join(d, "head"), "".join(lines[:15])),
            "window_file": hvfiles.write(os.path.join(d, "w.txt"), '"gone.kaf" 0 20 2\n'),
            # 18 kept and one rejected are not the 20 windows of the header.
            "rejection_miscounted": hvfiles.write(os.path.join(d, "rej"), text.replace(
                " #\n # parameters", " # window_rejection: kept     18 of     20 windows after   2"
                " iterations at    2.000 s.d.\n # rejected_windows:      3\n #\n # parameters")),
            "window_line_missing": hvfiles.write(os.path.join(d, "short"),
                                                 "".join(lines[:1] + lines[2:])),
        }
        with open(self.files["binary"], "wb") as f:
            f.write(bytes(range(256)) * 4)

    def tearDown(self):
        self.dir.cleanup()

    def test_cases(self):
        f, d = self.files, self.dir.name
        cases = [
            ("missing_file", [os.path.join(d, "nothing")], "does not exist"),
            ("folder", [d], "folder"),
            ("text_file", [f["text"]], "not an averaged H/V file"),
            ("binary_file", [f["binary"]], "not an averaged H/V file"),
            ("spectra_file", [f["spectra"]], "averaged spectra file"),
            ("rows_missing", [f["rows_missing"]], "truncated"),
            ("last_value_cut", [f["last_value_cut"]], "row 201"),
            ("header_cut", [f["header_cut"]], "truncated or not written"),
            ("window_file_names_a_missing_recording", [f["good"], "--windows", f["window_file"]],
             "gone.kaf does not exist"),
            ("missing_window_file", [f["good"], "--windows", os.path.join(d, "none.txt")],
             "does not exist"),
            ("figure_folder_missing", [f["good"], "--figure", os.path.join(d, "no", "x.png")],
             "does not exist"),
            ("figure_format_unknown", [f["good"], "--figure", os.path.join(d, "x.jpg")], ".png"),
            ("json_folder_missing", [f["good"], "--json", os.path.join(d, "no", "x.json")],
             "does not exist"),
            ("unknown_option", [f["good"], "--colour", "red"], "unrecognized"),
            ("rejection_lines_do_not_add_up", [f["rejection_miscounted"]], "window_rejection"),
            ("a_window_line_missing", [f["window_line_missing"]], "lists 19 windows"),
            ("hv_folder_missing", [f["good"], "--hv", os.path.join(d, "no", "x.hv")],
             "does not exist"),
        ]
        for name, args, fragment in cases:
            with self.subTest(name):
                done = hvfiles.run_hvreport(args)
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertEqual(done.stdout, "")
                self.assertEqual(len(done.stderr.splitlines()), 1, done.stderr)
                self.assertTrue(done.stderr.startswith("hvreport: "), done.stderr)
                self.assertIn(fragment, done.stderr)
                self.assertEqual(os.listdir(d).count("x.jpg"), 0)

    def test_fo_not_found_reports_what_it_can_then_status_2(self):
        path = hvfiles.write(os.path.join(self.dir.name, "nofo"), good_text((-9.0, -9.0, -9.0)))
        out = os.path.join(self.dir.name, "nofo.json")
        done = hvfiles.run_hvreport([path, "--json", out])
        self.assertEqual(done.returncode, 2)
        self.assertEqual(len(done.stderr.splitlines()), 1, done.stderr)
        self.assertIn("no Fo", done.stderr)
        line = next(x for x in done.stdout.splitlines() if "sigma_f < epsilon" in x)
        self.assertIn("not evaluable", line)
        self.assertTrue(os.path.exists(out))

    def test_an_unusable_spectra_file_is_only_noted(self):
        out = os.path.join(self.dir.name, "r.svg")
        done = hvfiles.run_hvreport([self.files["good"], "--figure", out])
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertRegex(done.stderr, r"^hvreport: note: .*site_hv_sp: .* left out\n$")
        with open(out, encoding="utf-8") as f:
            self.assertIn("<svg", f.read(4000))


if __name__ == "__main__":
    unittest.main()
