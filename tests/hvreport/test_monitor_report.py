# SPDX-License-Identifier: GPL-3.0-or-later
"""hvreport on an hvmonitor result: the bundled recording in blocks of 600 s."""

import os
import re
import struct
import tempfile
import unittest

import hvfiles
from hvsite.report import monitor

RECORDING = os.path.join(os.path.dirname(__file__), "..", "..", "data", "UT.STN11.A2_C50.miniseed")


class ReportOfAMonitorRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        d = cls.dir.name
        hvfiles.write(os.path.join(d, "list"), os.path.abspath(RECORDING) + "\n")
        hvfiles.write(os.path.join(d, "pick.par"), "1.0 30.0 0.5 2.0 60.0 0.0 1 0 0.0\n")
        hvfiles.write(os.path.join(d, "hv.par"),
                      "### section processing\nfreq_spacing: log:0.3:40:512\n### end processing\n"
                      "### section monitor\nblock: 600\nblock_files: yes\n### end monitor\n")
        done = hvfiles.run_tool("hvmonitor", ["list", "pick.par", "hv.par", "mon"], cwd=d)
        assert done.returncode == 0, done.stdout + done.stderr

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def read(self, name):
        with open(self.path(name), encoding="utf-8") as f:
            return f.read()

    def test_blocks_are_listed_with_the_fo_of_their_block_files_and_drawn(self):
        done = hvfiles.run_hvreport(["mon", "--figure", "mon.png"], cwd=self.dir.name)
        self.assertEqual(done.returncode, 0, done.stderr)
        rows = [line for line in done.stdout.splitlines() if re.match(r"^\d{4}-", line)]
        self.assertEqual(len(rows), 4)
        for number, row in enumerate(rows[:3], start=1):
            fo = re.search(r"Fo: +([\d.]+)", self.read(f"mon_blk_{number:04d}")).group(1)
            self.assertEqual(row.split()[3], fo)
        self.assertIn("(less data than one calm window)", rows[3])
        with open(self.path("mon.png"), "rb") as f:
            head = f.read(24)
        self.assertEqual(struct.unpack(">II", head[16:24]), monitor.size_pixels())

    def test_a_matrix_without_a_column_per_block_is_refused(self):
        lines = self.read("mon_hv").splitlines()
        cut = [line if line.startswith(" #") else line.rsplit(" ", 1)[0] for line in lines]
        os.makedirs(self.path("cut"), exist_ok=True)
        hvfiles.write(self.path("cut/mon"), self.read("mon"))
        hvfiles.write(self.path("cut/mon_hv"), "\n".join(cut) + "\n")
        done = hvfiles.run_hvreport(["cut/mon"], cwd=self.dir.name)
        self.assertEqual(done.returncode, 2)
        self.assertIn("do not hold one column per block", done.stderr)


if __name__ == "__main__":
    unittest.main()
