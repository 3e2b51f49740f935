"""The binding against the command: the same packets, values and texts for the sample drive."""
import gzip
import io
import json
import math
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import cdmadiag
from common import CELLS, CLI, SAMPLE, SOURCE, read, write


def command_jsonl(*args):
    out = subprocess.run([CLI, "decode", "--format", "jsonl", "-q", *args, SAMPLE], check=True,
                         stdout=subprocess.PIPE).stdout
    return [json.loads(line) for line in out.decode("utf-8").splitlines()]


def same_value(json_value, value):
    # JSON has no NaN or infinities: the command writes null for them.
    if isinstance(value, float):
        if not math.isfinite(value):
            return json_value is None
        return isinstance(json_value, (int, float)) and float(json_value) == value
    return json_value == value


class BindingMatchesCommand(unittest.TestCase):
    def assert_same_packets(self, lines, packets):
        self.assertEqual(len(lines), len(packets))
        for j, p in zip(lines, packets):
            with self.subTest(seq=j["seq"]):
                for key in ("seq", "code", "class", "title", "details", "category", "kind", "command", "time_ms",
                            "time_suspect", "decoded", "diagnostic", "file", "device"):
                    self.assertEqual(j[key], p[key], key)
                self.assertTrue(same_value(j["time"], p["time"]))
                loc = j["location"]
                self.assertEqual(None if loc is None else (loc["x"], loc["y"]), p["position"])
                self.assertEqual(j.get("error"), p["error"])
                self.assertEqual(len(j["attrs"]), len(p["writes"]))
                for a, (name, op, index, value) in zip(j["attrs"], p["writes"]):
                    self.assertEqual((a["name"], a["op"], a["index"]), (name, op, index))
                    self.assertTrue(same_value(a["value"], value), (name, a["value"], value))

    def test_sample_drive_as_the_command(self):
        packets = list(cdmadiag.decode(SAMPLE))
        self.assert_same_packets(command_jsonl(), packets)
        # The drive holds what the comparison is meant to cover.
        self.assertTrue(any(p["position"] for p in packets))
        self.assertTrue(any(any(ord(c) > 127 for c in p["details"]) for p in packets))
        self.assertTrue(any(v is None for p in packets for _, _, _, v in p["writes"]))

    def test_cells_projection_and_no_details_as_the_command(self):
        packets = list(cdmadiag.decode(SAMPLE, cells=CELLS, projection=32616, details=False))
        self.assert_same_packets(command_jsonl("--cells", CELLS, "--projection", "32616", "--no-details"), packets)
        self.assertTrue(all(p["details"] == "" for p in packets))

    def test_codes_pick_packets_of_a_full_decode(self):
        everything = list(cdmadiag.decode(SAMPLE))
        codes = {everything[0]["code"], 0x1069}
        picked = list(cdmadiag.decode(SAMPLE, codes=codes))
        self.assertEqual([p for p in everything if p["code"] in codes], picked)

    def test_frames(self):
        messages, writes = cdmadiag.to_frames(SAMPLE, cells=CELLS)
        packets = list(cdmadiag.decode(SAMPLE, cells=CELLS))
        self.assertEqual(len(messages), len(packets))
        self.assertEqual(len(writes), sum(len(p["writes"]) for p in packets))
        self.assertEqual(str(messages["time"].dtype), "datetime64[ns, UTC]")
        timed = [p for p in packets if p["time"] is not None]
        first = messages.loc[messages["seq"] == timed[-1]["seq"], "time"].iloc[0]
        self.assertEqual(first.value // 1000000, timed[-1]["time_ms"])  # UTC, not the stamp's GPS time
        self.assertEqual(timed[-1]["time"] * 1000 - timed[-1]["time_ms"], 18000)
        self.assertEqual(messages["time"].isna().sum(), len(packets) - len(timed))
        self.assertEqual(int(messages["x"].notna().sum()), sum(p["position"] is not None for p in packets))
        self.assertEqual(list(writes.columns), ["seq", "name", "op", "index", "value", "text"])
        flat = [(p["seq"], *w) for p in packets for w in p["writes"]]
        self.assertEqual(list(zip(writes["seq"], writes["name"], writes["op"], writes["index"])),
                         [w[:4] for w in flat])
        for (_, _, op, _, value), number, text in zip(flat, writes["value"], writes["text"]):
            if isinstance(value, str):
                self.assertEqual((text, math.isnan(number)), (value, True))
            elif value is None or value != value:
                self.assertTrue(math.isnan(number), op)
            else:
                self.assertEqual((float(value), None), (number, text))
        errors = [p["error"] for p in packets]
        self.assertEqual(list(messages["error"]), errors)
        self.assertEqual(list(messages["class"]), [p["class"] for p in packets])


class Tables(unittest.TestCase):
    def test_chunks_add_up_to_the_whole_frames(self):
        import pandas as pd

        messages, writes = cdmadiag.to_frames(SAMPLE, details=False)
        chunks = list(cdmadiag.to_frames(SAMPLE, details=False, chunksize=1000))
        self.assertEqual(len(chunks), -(-len(messages) // 1000))
        # Categories differ per chunk: compare the values.
        for whole, part in ((messages, pd.concat([m for m, _ in chunks], ignore_index=True)),
                            (writes, pd.concat([w for _, w in chunks], ignore_index=True))):
            pd.testing.assert_frame_equal(whole.astype(object), part.astype(object))

    def test_seconds_and_events_are_the_commands_tables(self):
        import pandas as pd

        seconds = cdmadiag.seconds(SAMPLE, cells=CELLS)
        out = subprocess.run([CLI, "seconds", "-q", "--cells", CELLS, SAMPLE], check=True, stdout=subprocess.PIPE).stdout
        command = pd.read_csv(io.BytesIO(out))
        self.assertEqual(list(seconds.columns.drop("time")), list(command.columns))
        self.assertEqual(len(seconds), len(command))
        self.assertEqual(str(seconds["time"].dtype), "datetime64[ns, UTC]")
        for name in ("cdma_best_active_ecio_db", "evdo_best_sinr_db", "cdma_serving_pn"):
            pd.testing.assert_series_equal(seconds[name].astype(float), command[name].astype(float), check_names=False)
        self.assertEqual(seconds["cdma_serving_sector"].dropna().iloc[0], command["cdma_serving_sector"].dropna().iloc[0])
        events = cdmadiag.events(SAMPLE)
        self.assertIn("active_set", set(events["kind"]))
        swaps = events[events["kind"] == "active_set"]
        self.assertTrue(all(isinstance(a, list) for a in swaps["pns_added"]))


class DriveSummary(unittest.TestCase):
    def test_distance_does_not_depend_on_the_projection(self):
        # Under a projection, the dead-reckoning records still place their messages in degrees.
        with tempfile.TemporaryDirectory() as tmp:
            plain = cdmadiag.decode_to_file(SAMPLE, os.path.join(tmp, "a.csv"), "csv")
            projected = cdmadiag.decode_to_file(SAMPLE, os.path.join(tmp, "b.csv"), "csv", projection=32616)
        self.assertGreater(plain["distance_km"], 1.0)
        self.assertAlmostEqual(projected["distance_km"], plain["distance_km"], delta=0.01 * plain["distance_km"])


class BadInputs(unittest.TestCase):
    def test_not_a_log_missing_empty_and_bad_arguments(self):
        with tempfile.TemporaryDirectory() as tmp:
            noise = write(os.path.join(tmp, "noise.bin"), random.Random(34).randbytes(65536))
            empty = write(os.path.join(tmp, "empty.bin"), b"")
            with self.assertRaisesRegex(ValueError, "not a DIAG log"):
                list(cdmadiag.decode(noise))
            with self.assertRaisesRegex(ValueError, "not a DIAG log"):
                cdmadiag.decode_to_file(noise, os.path.join(tmp, "noise.db"))
            self.assertFalse(os.path.exists(os.path.join(tmp, "noise.db")))
            self.assertEqual(list(cdmadiag.decode(empty)), [])
            with self.assertRaises(OSError):
                cdmadiag.decode(os.path.join(tmp, "missing.hdlc"))
            with self.assertRaises(ValueError):
                cdmadiag.decode(SAMPLE, projection=999999)
            with self.assertRaises(ValueError):
                cdmadiag.decode(SAMPLE, input="qmdl")
            with self.assertRaises(ValueError):
                cdmadiag.decode_to_file(SAMPLE, os.path.join(tmp, "x"), "xml")

    def test_damaged_capture_decodes_on(self):
        data = read(SAMPLE)
        # Bytes struck out of the middle: one framing error, the rest decodes.
        with tempfile.TemporaryDirectory() as tmp:
            it = cdmadiag.decode(write(os.path.join(tmp, "cut.hdlc"), data[:len(data) // 2] + data[len(data) // 2 + 37:]))
            packets = list(it)
            self.assertGreater(it.counters["framing_errors"], 0)
            self.assertEqual(len(it.framing_errors), it.counters["framing_errors"])
            self.assertGreater(len(packets), 5000)


class OutputRules(unittest.TestCase):
    """decode_to_file keeps the command's promises about the file it writes (the command's
    tests go through every spelling of a path and every format)."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="cdmadiag-rules-")
        self.capture = write(os.path.join(self.tmp, "c.hdlc"), read(SAMPLE))
        self.out = write(os.path.join(self.tmp, "out.db"), b"old")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def test_an_output_that_is_an_input_is_refused(self):
        os.link(self.capture, os.path.join(self.tmp, "hard.hdlc"))
        cells = write(os.path.join(self.tmp, "cells.csv"), b"1,43,-89,a,b\n")
        for out, kw in (("hard.hdlc", {}), ("cells.csv", {"cells": cells})):
            with self.subTest(out=out), self.assertRaisesRegex(ValueError, "the output is the same file as the input"):
                cdmadiag.decode_to_file(self.capture, os.path.join(self.tmp, out), "csv", **kw)
        self.assertEqual(read(self.capture), read(SAMPLE))
        self.assertEqual(read(cells), b"1,43,-89,a,b\n")

    def test_nothing_decoded_or_a_failure_leaves_the_old_file(self):
        for path in (write(os.path.join(self.tmp, "empty.log"), b""), "/dev/null",
                     write(os.path.join(self.tmp, "empty.gz"), gzip.compress(b""))):
            with self.subTest(path=path):
                s = cdmadiag.decode_to_file(path, self.out, "csv")
                self.assertEqual((s["packets"], s["written"], read(self.out)), (0, False, b"old"))
        cut = write(os.path.join(self.tmp, "cut.gz"), gzip.compress(read(self.capture))[:200000])
        with self.assertRaisesRegex(OSError, "read failed"):
            cdmadiag.decode_to_file(cut, self.out, "sqlite")
        self.assertEqual(read(self.out), b"old")
        self.assertTrue(cdmadiag.decode_to_file(self.capture, self.out, "sqlite")["written"])
        self.assertEqual(sorted(os.listdir(self.tmp)), ["c.hdlc", "cut.gz", "empty.gz", "empty.log", "out.db"])

    def test_a_name_that_is_not_utf8(self):
        raw = os.path.join(os.fsencode(self.tmp), b"caf\xe9.hdlc")
        os.rename(self.capture, raw)
        for path in (raw, os.fsdecode(raw)):
            s = cdmadiag.decode_to_file(path, os.fsdecode(raw) + ".csv", "csv")
            self.assertEqual(s["packets"], 5212)
            self.assertEqual(len(list(cdmadiag.decode(path, details=False))), 5212)
        with self.assertRaises(OSError) as e:
            cdmadiag.decode_to_file(os.path.join(self.tmp, "gone\udcff.hdlc"), self.out)
        self.assertIn("gone\udcff.hdlc", str(e.exception))

    def test_sigint_stops_a_decode_and_leaves_the_old_file(self):
        big = write(os.path.join(self.tmp, "big.hdlc"), read(self.capture) * 20)
        script = ("import sys, cdmadiag\nprint('go', flush=True)\n"
                  "try:\n    cdmadiag.decode_to_file(sys.argv[1], sys.argv[2], 'sqlite')\n"
                  "except KeyboardInterrupt:\n    sys.exit(3)\n")
        child = subprocess.Popen([sys.executable, "-c", script, big, self.out], stdout=subprocess.PIPE)
        self.assertEqual(child.stdout.readline(), b"go\n")
        time.sleep(0.5)
        child.send_signal(signal.SIGINT)
        self.assertEqual(child.wait(timeout=60), 3)
        # Stopped, not decoded to the end and then raised: the old file stands.
        self.assertEqual(read(self.out), b"old")
        self.assertEqual(sorted(os.listdir(self.tmp)), ["big.hdlc", "c.hdlc", "out.db"])


class ReadmeQuestions(unittest.TestCase):
    def test_the_five_questions_in_pandas_run_as_printed(self):
        with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as f:
            readme = f.read()
        block = next(b for b in re.findall(r"```python\n(.*?)```", readme, re.S) if "cdmadiag.seconds" in b)
        setup, *questions = block.strip().split("\n", 2)[:2], block.strip().split("\n")[2:]
        self.assertEqual(len(questions[0]), 5)
        here = os.getcwd()
        os.chdir(SOURCE)
        try:
            namespace = {}
            exec("\n".join(setup), namespace)
            for line in questions[0]:
                self.assertGreater(len(eval(line, namespace)), 0, line)
        finally:
            os.chdir(here)


if __name__ == "__main__":
    unittest.main()
