"""Fleet decoding on a local Dask cluster of two worker processes: the command's outputs per
file, done files skipped, a corrupt file reported without losing the others."""
import os
import random
import shutil
import subprocess
import tempfile
import threading
import unittest

import pandas as pd
from distributed import Client, LocalCluster

import cdmadiag
from cdmadiag import fleet
from common import CLI, EXAMPLES, make_logs, read, write


def command(path, out, fmt):
    subprocess.run([CLI, "decode", "--format", fmt, "-q", "-o", out, path], check=True)


class Fleet(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None)
        cls.client = Client(cls.cluster)

    @classmethod
    def tearDownClass(cls):
        cls.client.close()
        cls.cluster.close()

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="cdmadiag-fleet-")
        self.root = os.path.join(self.tmp, "logs")
        make_logs(self.root)
        write(os.path.join(self.root, "corrupt.bin"), random.Random(34).randbytes(50000))
        self.out = os.path.join(self.tmp, "out")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def rows(self, frame):
        return {r["file"]: r for r in frame.to_dict("records")}

    def test_outputs_summary_rerun_and_corrupt_file(self):
        frame = fleet.decode_fleet(self.root, self.out, format="csv", client=self.client)
        rows = self.rows(frame)
        self.assertEqual(sorted(rows), ["a.hdlc", "corrupt.bin", "day2/b.log"])
        self.assertEqual(rows["corrupt.bin"]["status"], "failed")
        self.assertIn("not a DIAG log", rows["corrupt.bin"]["error"])

        for name in ("a.hdlc", "day2/b.log"):
            with self.subTest(file=name):
                row = rows[name]
                self.assertEqual(row["status"], "ok")
                expected = os.path.join(self.tmp, "expected.csv")
                command(os.path.join(self.root, name), expected, "csv")
                self.assertEqual(read(os.path.join(self.out, row["output"])), read(expected))
                packets = list(cdmadiag.decode(os.path.join(self.root, name)))
                self.assertEqual(row["packets"], len(packets))
                self.assertEqual(row["codes"], len({p["code"] for p in packets}))
                self.assertEqual(row["errors"], 0)

        # The sample drive's distance agrees with its speed reports over its duration.
        a = rows["a.hdlc"]
        _, writes = cdmadiag.to_frames(os.path.join(self.root, "a.hdlc"), details=False)
        mph = writes.loc[writes["name"] == "ATTR_ID_LOCATION_SPEED_MPH", "value"].mean()
        self.assertAlmostEqual(a["distance_km"], mph * 1.609344 * a["duration_s"] / 3600, delta=0.03 * a["distance_km"])
        # KPIs: the catalogue's measurements, each the mean over the drive's seconds.
        seconds = cdmadiag.seconds(os.path.join(self.root, "a.hdlc"))
        for k in fleet.KPIS:
            self.assertAlmostEqual(a[k], seconds[k].mean(), places=9, msg=k)

        on_disk = pd.read_csv(os.path.join(self.out, fleet.SUMMARY))
        self.assertEqual(list(on_disk.columns), fleet.COLUMNS)
        self.assertEqual(on_disk[["file", "status"]].values.tolist(), frame[["file", "status"]].values.tolist())

        # A rerun skips what is done; the corrupt file is tried again and fails again.
        before = os.stat(os.path.join(self.out, "a.hdlc.csv")).st_mtime_ns
        rows = self.rows(fleet.decode_fleet(self.root, self.out, format="csv", client=self.client))
        self.assertEqual({f: (r["status"], r["skipped"]) for f, r in rows.items()},
                         {"a.hdlc": ("ok", True), "day2/b.log": ("ok", True), "corrupt.bin": ("failed", False)})
        self.assertEqual(os.stat(os.path.join(self.out, "a.hdlc.csv")).st_mtime_ns, before)

        # A file changed since (its time here) is decoded again, the others stay done.
        st = os.stat(os.path.join(self.root, "a.hdlc"))
        os.utime(os.path.join(self.root, "a.hdlc"), ns=(st.st_atime_ns, st.st_mtime_ns + 10**9))
        rows = self.rows(fleet.decode_fleet(self.root, self.out, format="csv", client=self.client))
        self.assertEqual((rows["a.hdlc"]["skipped"], rows["day2/b.log"]["skipped"]), (False, True))
        self.assertEqual(rows["a.hdlc"]["packets"], 5212)

    def test_any_file_name_an_empty_file_and_formula_like_names(self):
        os.remove(os.path.join(self.root, "corrupt.bin"))
        shutil.rmtree(os.path.join(self.root, "day2"))
        raw = os.path.join(os.fsencode(self.root), b"caf\xe9.hdlc")
        shutil.copy(os.path.join(EXAMPLES, "sample.hdlc"), raw)
        shutil.copy(os.path.join(EXAMPLES, "sample.log"), os.path.join(self.root, "=HYPERLINK(1);x.log"))
        write(os.path.join(self.root, "empty.log"), b"")
        rows = self.rows(fleet.decode_fleet(self.root, self.out, format="csv", client=self.client))
        bad = os.fsdecode(b"caf\xe9.hdlc")
        self.assertEqual({f: r["status"] for f, r in rows.items()},
                         {"a.hdlc": "ok", bad: "ok", "=HYPERLINK(1);x.log": "ok", "empty.log": "failed"})
        self.assertIn("no packet", rows["empty.log"]["error"])
        self.assertTrue(os.path.isfile(os.path.join(os.fsencode(self.out), b"caf\xe9.hdlc.csv")))
        on_disk = pd.read_csv(os.path.join(self.out, fleet.SUMMARY), encoding_errors="surrogateescape")
        self.assertEqual(sorted(on_disk["file"]), sorted(["a.hdlc", bad, "'=HYPERLINK(1);x.log", "empty.log"]))
        # A rerun finds the odd names done.
        rows = self.rows(fleet.decode_fleet(self.root, self.out, format="csv", client=self.client))
        self.assertTrue(rows[bad]["skipped"])

    def test_runs_into_one_folder_take_turns_and_decode_each_file_once(self):
        os.remove(os.path.join(self.root, "corrupt.bin"))
        frames = []
        runs = [threading.Thread(target=lambda: frames.append(
            fleet.decode_fleet(self.root, self.out, format="jsonl", client=self.client))) for _ in range(2)]
        for r in runs:
            r.start()
        for r in runs:
            r.join()
        self.assertEqual(len(frames), 2)
        decoded = sorted(f for frame in frames for f, skipped in zip(frame["file"], frame["skipped"]) if not skipped)
        self.assertEqual(decoded, ["a.hdlc", "day2/b.log"])


if __name__ == "__main__":
    unittest.main()
