# SPDX-License-Identifier: GPL-3.0-or-later
"""hvcampaign end to end: a five-station campaign on generated recordings (one
unreadable, one too short for a calm window, one whose file is named .kaf, relative
paths everywhere), run with one and three jobs and through a one-node Slurm cluster."""

import csv
import hashlib
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

import slurm_cluster

BIN = os.path.abspath(os.environ.get("HV_BIN", os.path.join(os.path.dirname(__file__), "..", "..",
                                                            "build", "bin")))
PICK = b"1.0 25.0 0.5 2.0 20.0 0.2 1 0 0.0\n"
HV = b"### section processing\n### end processing\n"
# station, recordings (file: resonance in Hz, None for a file that is no recording),
# the status and a fragment of the note it must end with
STATIONS = [
    ("north", {"rec/north.kaf": 3.0}, "ok", ""),
    ("pair", {"rec/pair-a.kaf": 5.0, "rec/pair-b.kaf": 5.0}, "ok", ""),
    ("dot", {"rec/dot/.kaf": 2.5}, "ok", ""),
    ("bad", {"rec/bad.kaf": None}, "calmpick", "Following file can not be read: bad.kaf"),
    ("short", {"rec/short.kaf": 4.0}, "calmpick", "no calm window found"),
]
TABLE = """station,recordings,x,y,elevation,notes
north,rec/north.kaf,0,0,12.5,
pair,rec/pair-a.kaf; rec/pair-b.kaf,100,0,,two recordings
dot,rec/dot/.kaf,,,,
bad,rec/bad.kaf,,,,unreadable
short,rec/short.kaf,50,50,,
"""


def hvcampaign(cwd, *args, timeout=300):
    return subprocess.run([os.path.join(BIN, "hvcampaign"), *args], cwd=cwd,
                          capture_output=True, text=True, timeout=timeout, check=False)


def read_summary(outdir):
    with open(os.path.join(outdir, "summary.csv"), encoding="utf-8") as f:
        return list(csv.DictReader(f))


@unittest.skipIf(shutil.which("parallel") is None, "GNU parallel is not installed")
class Campaign(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        d = cls.dir = cls.tmp.name
        for seed, (name, path, resonance) in enumerate(
                (name, path, hz) for name, recs, _, _ in STATIONS for path, hz in recs.items()):
            path = os.path.join(d, "tables", path)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            if resonance is None:
                with open(path, "w", encoding="utf-8") as f:
                    f.write("this is no recording\n")
                continue
            subprocess.run([os.path.join(BIN, "kafgen"), path, "--duration",
                            "15" if name == "short" else "300", "--resonance", str(resonance),
                            "--seed", str(seed + 1)], check=True, capture_output=True, timeout=60)
        for name, text in (("tables/stations.csv", TABLE.encode()), ("pick.par", PICK),
                           ("hv.par", HV)):
            with open(os.path.join(d, name), "wb") as f:
                f.write(text)
        # Relative table, parameter files, output folder and program folder (a relative
        # program folder once made every station fail); recordings relative to the table.
        cls.runs = {jobs: hvcampaign(d, "tables/stations.csv", "pick.par", "hv.par",
                                     f"out-{jobs}", "-j", jobs, "-b", os.path.relpath(BIN, d))
                    for jobs in ("1", "3")}

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def out(self, *path):
        return os.path.join(self.dir, "out-1", *path)

    def test_rows_say_which_stations_failed_where_and_the_exit_status_says_some_did(self):
        for jobs, run in self.runs.items():
            self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
            self.assertIn("2 of 5 stations failed: bad, short", run.stdout)
            for k in range(1, 6):  # one progress line per station
                self.assertEqual(len(re.findall(rf"^\[{k}/5\] ", run.stdout, re.M)), 1, jobs)
        rows = read_summary(self.out())
        self.assertEqual([r["station"] for r in rows], [s[0] for s in STATIONS])
        for row, (_, _, status, note) in zip(rows, STATIONS):
            self.assertEqual(row["status"], status, row)
            self.assertTrue(row["note"].endswith(note), row)
        settings = hashlib.sha256(PICK + HV).hexdigest()
        self.assertEqual({r["settings_sha256"] for r in rows}, {settings})
        # The version this build wrote, "release+commit" in a checkout.
        with open(os.path.join(BIN, "..", "version"), encoding="utf-8") as f:
            version = f.read().strip()
        self.assertRegex(version, r"^\d+\.\d+\.\d+")
        self.assertEqual({r["version"] for r in rows}, {version})
        self.assertEqual([(r["x"], r["y"]) for r in rows],
                         [("0.0", "0.0"), ("100.0", "0.0"), ("", ""), ("", ""), ("50.0", "50.0")])

    def test_a_station_row_agrees_with_its_own_result_files_and_recording(self):
        for row, (name, recordings, status, _) in zip(read_summary(self.out()), STATIONS):
            if status != "ok":
                continue
            with open(self.out(name, "windows.txt"), encoding="utf-8") as f:
                self.assertEqual(int(row["windows_selected"]), sum(1 for x in f if x.strip()))
            with open(self.out(name, f"{name}_hv"), encoding="utf-8") as f:
                fo_line = next(x for x in f if "Fo:" in x)
            fo, low, high = re.search(r"Fo: +(\S+) range \+/- 1 s\.d\.: +(\S+) - +(\S+)",
                                      fo_line).groups()
            self.assertEqual((float(row["Fo"]), float(row["Fo_low"]), float(row["Fo_high"])),
                             (float(fo), float(low), float(high)))
            resonance = next(iter(recordings.values()))
            self.assertLess(abs(float(row["Fo"]) / resonance - 1), 0.1, row)
            self.assertLess(float(row["Fo_low"]), float(row["Fo"]))
            with open(self.out(name, "criteria.json"), encoding="utf-8") as f:
                criteria = json.load(f)["criteria"]
            self.assertEqual(row["failing_criteria"],
                             ";".join(c["key"] for c in criteria if c["verdict"] == "fail"))
            self.assertEqual(int(row["clear_peaks"]), sum(c["verdict"] == "pass" for c in criteria
                                                          if c["group"] == "clear"))
        with open(self.out("pair", "windows.txt"), encoding="utf-8") as f:
            self.assertEqual({x.split()[0] for x in f}, {'"pair-a.kaf"', '"pair-b.kaf"'})

    def test_the_summary_does_not_depend_on_the_number_of_jobs(self):
        for name in ("summary.csv", "summary.json"):
            with open(self.out(name), "rb") as a, \
                    open(os.path.join(self.dir, "out-3", name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)
        with open(self.out("summary.json"), encoding="utf-8") as f:
            rows = json.load(f)
        self.assertEqual(list(rows[0]), list(read_summary(self.out())[0]))
        with open(self.out("summary.png"), "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")

    def test_a_station_run_alone_gives_its_campaign_row_and_status_zero(self):
        d = self.dir
        with open(os.path.join(d, "tables", "alone.csv"), "w", encoding="utf-8") as f:
            f.write("notes,recordings,station,x,y\n,rec/north.kaf,north,0,0\n")
        run = hvcampaign(d, "tables/alone.csv", "pick.par", "hv.par", "alone", "-j", "2")
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertEqual(read_summary(os.path.join(d, "alone")), read_summary(self.out())[:1])

    def test_a_station_whose_job_left_no_row_is_failed(self):
        shutil.copytree(self.out(), os.path.join(self.dir, "lost"), symlinks=True)
        os.remove(os.path.join(self.dir, "lost", "north", "row.json"))
        run = hvcampaign(self.dir, "--summarize", "lost")
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        self.assertIn("3 of 5 stations failed: north, bad, short", run.stdout)
        self.assertEqual(read_summary(os.path.join(self.dir, "lost"))[0]["status"], "job")

    def test_the_slurm_path_gives_the_same_summary(self):
        why = slurm_cluster.missing()
        if why:
            self.skipTest(f"no one-node Slurm here: {', '.join(why)} not installed")
        cluster = slurm_cluster.Cluster(os.path.join(self.dir, "cluster"))
        self.addCleanup(cluster.stop)
        run = subprocess.run([os.path.join(BIN, "hvcampaign"), "tables/stations.csv", "pick.par",
                              "hv.par", "out-slurm", "--slurm", "--group", "2", "--wait"],
                             cwd=self.dir, env=cluster.env, capture_output=True, text=True,
                             timeout=300, check=False)
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        self.assertIn("(3 tasks)", run.stdout)
        self.assertEqual(read_summary(os.path.join(self.dir, "out-slurm")),
                         read_summary(self.out()))


class BadInput(unittest.TestCase):
    """Refused before any station runs: exit status 2, a message, no output folder."""

    CASES = [  # table, extra arguments, message fragment
        ("station,x\nA,1\n", [], "no 'recordings' column"),
        ("station,recordings,depth\nA,a.kaf,3\n", [], "unknown column 'depth'"),
        ("station,recordings\nA,a.kaf\nA,b.kaf\n", [], "station 'A' is already on line 2"),
        ("station,recordings\n,a.kaf\n", [], "station name '' cannot name a folder"),
        ("station,recordings\n..,a.kaf\n", [], "station name '..' cannot name a folder"),
        ("station,recordings\nsummary.csv,a.kaf\n", [], "cannot name a folder"),
        ("station,recordings\nA, ; \n", [], "station 'A' has no recording"),
        ("station,recordings,x,y\nA,a.kaf,1,\n", [], "give both x and y"),
        ("station,recordings,x,y\nA,a.kaf,1,north\n", [], "y 'north' is not a number"),
        ("station,recordings\nA,a.kaf,3\n", [], "line 2: 3 fields where the header has 2"),
        ("station,recordings\n\n", [], "no station under the header"),
        ("station,recordings\nA,a.kaf\n", ["-j", "0"], "-j"),
        ("station,recordings\nA,a.kaf\n", ["-b", "nowhere"], "calmpick not found in nowhere"),
        ("station,recordings\nA,a.kaf\n", ["--wait"], "go with --slurm"),
        ("station,recordings\nA,out/A/a.kaf\n", [], "in station A's folder"),
    ]

    def test_each_bad_input_is_refused_with_its_reason(self):
        with tempfile.TemporaryDirectory() as d:
            for table, extra, message in self.CASES:
                with self.subTest(message=message):
                    with open(os.path.join(d, "t.csv"), "w", encoding="utf-8") as f:
                        f.write(table)
                    run = hvcampaign(d, "t.csv", "t.csv", "t.csv", "out", *extra, timeout=60)
                    self.assertEqual(run.returncode, 2, run.stderr)
                    self.assertIn(message, run.stderr)
                    self.assertFalse(os.path.exists(os.path.join(d, "out")))
            # A station's folder is replaced, but only one that a campaign wrote.
            os.makedirs(os.path.join(d, "out", "A"))
            for name in ("out/A/keep", "t.csv"):
                with open(os.path.join(d, name), "w", encoding="utf-8") as f:
                    f.write("station,recordings\nA,a.kaf\n")
            run = hvcampaign(d, "t.csv", "t.csv", "t.csv", "out", timeout=60)
            self.assertEqual((run.returncode, os.listdir(os.path.join(d, "out", "A"))),
                             (2, ["keep"]), run.stderr)
            self.assertIn("is not a station folder of an earlier campaign", run.stderr)


if __name__ == "__main__":
    unittest.main()
