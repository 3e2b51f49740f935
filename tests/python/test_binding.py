"""The binding against the command: the same packets, values and texts for the sample drive."""
import gzip
import io
import json
import math
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import cdmadiag

SOURCE = os.environ.get("CDMADIAG_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
CLI = os.environ.get("CDMADIAG_CLI", "cdmadiag")
SAMPLE = os.path.join(SOURCE, "examples", "sample.hdlc")
CELLS = os.path.join(SOURCE, "examples", "cells.csv")


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
            noise = os.path.join(tmp, "noise.bin")
            with open(noise, "wb") as f:
                f.write(random.Random(34).randbytes(65536))
            empty = os.path.join(tmp, "empty.bin")
            open(empty, "wb").close()
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
        with open(SAMPLE, "rb") as f:
            data = bytearray(f.read())
        # Bytes struck out of the middle: one framing error, the rest decodes.
        del data[len(data) // 2:len(data) // 2 + 37]
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "cut.hdlc")
            with open(path, "wb") as f:
                f.write(data)
            it = cdmadiag.decode(path)
            packets = list(it)
            self.assertGreater(it.counters["framing_errors"], 0)
            self.assertEqual(len(it.framing_errors), it.counters["framing_errors"])
            self.assertGreater(len(packets), 5000)


class OutputRules(unittest.TestCase):
    """decode_to_file keeps the command's promises about the file it writes."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="cdmadiag-rules-")
        self.capture = os.path.join(self.tmp, "c.hdlc")
        with open(SAMPLE, "rb") as src, open(self.capture, "wb") as dst:
            dst.write(src.read())
        self.out = os.path.join(self.tmp, "out.db")
        with open(self.out, "w") as f:
            f.write("old")

    def tearDown(self):
        import shutil

        shutil.rmtree(self.tmp)

    def names(self):
        return sorted(os.listdir(self.tmp))

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def test_an_output_that_is_an_input_is_refused(self):
        before = self.read(self.capture)
        os.link(self.capture, os.path.join(self.tmp, "hard.hdlc"))
        os.symlink(self.capture, os.path.join(self.tmp, "soft.hdlc"))
        os.mkdir(os.path.join(self.tmp, "sub"))
        for out in (self.capture, "hard.hdlc", "soft.hdlc", os.path.join(self.tmp, "sub", "..", "c.hdlc")):
            with self.subTest(out=out), self.assertRaisesRegex(ValueError, "the output is the same file as the input"):
                cdmadiag.decode_to_file(self.capture, os.path.join(self.tmp, out), "csv")
        cells = os.path.join(self.tmp, "cells.csv")
        with open(cells, "w") as f:
            f.write("1,43,-89,a,b\n")
        with self.assertRaisesRegex(ValueError, "the output is the same file as the input"):
            cdmadiag.decode_to_file(self.capture, cells, "csv", cells=cells)
        self.assertEqual(self.read(self.capture), before)
        self.assertEqual(self.read(cells), b"1,43,-89,a,b\n")

    def test_nothing_decoded_or_a_failure_leaves_the_old_file(self):
        empty = os.path.join(self.tmp, "empty.log")
        open(empty, "wb").close()
        empty_gz = os.path.join(self.tmp, "empty.gz")
        with open(empty_gz, "wb") as f:
            f.write(gzip.compress(b""))
        for path in (empty, "/dev/null", empty_gz):
            for fmt in ("sqlite", "csv", "jsonl", "text"):
                with self.subTest(path=path, format=fmt):
                    s = cdmadiag.decode_to_file(path, self.out, fmt)
                    self.assertEqual(self.read(self.out), b"old")
                    self.assertEqual((s["packets"], s["written"]), (0, False))
        cut = os.path.join(self.tmp, "cut.gz")
        with open(cut, "wb") as f:
            f.write(gzip.compress(self.read(self.capture))[:200000])
        with self.assertRaisesRegex(OSError, "read failed"):
            cdmadiag.decode_to_file(cut, self.out, "sqlite")
        self.assertEqual(self.read(self.out), b"old")
        s = cdmadiag.decode_to_file(self.capture, self.out, "sqlite")
        self.assertTrue(s["written"])
        self.assertEqual(self.names(), ["c.hdlc", "cut.gz", "empty.gz", "empty.log", "out.db"])

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
        big = os.path.join(self.tmp, "big.hdlc")
        with open(big, "wb") as f:
            f.write(self.read(self.capture) * 20)
        script = ("import sys, cdmadiag\nprint('go', flush=True)\n"
                  "try:\n    cdmadiag.decode_to_file(sys.argv[1], sys.argv[2], 'sqlite')\n"
                  "except KeyboardInterrupt:\n    sys.exit(3)\n")
        child = subprocess.Popen([sys.executable, "-c", script, big, self.out], stdout=subprocess.PIPE)
        self.assertEqual(child.stdout.readline(), b"go\n")
        time.sleep(0.5)
        child.send_signal(signal.SIGINT)
        self.assertEqual(child.wait(timeout=60), 3)
        # Stopped, not decoded to the end and then raised: the old file stands.
        self.assertEqual(self.read(self.out), b"old")
        self.assertEqual(self.names(), ["big.hdlc", "c.hdlc", "out.db"])


if __name__ == "__main__":
    unittest.main()


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
