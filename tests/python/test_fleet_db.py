"""The fleet into PostgreSQL with PostGIS, against real components the tests start themselves:
a throw-away PostgreSQL 15 cluster in a temporary folder (Unix socket there, no TCP), and a
Dask scheduler and two workers as separate processes, which the fleet joins with
--scheduler. As root, the servers and workers run as nobody. Every process stops at the
end, and with the test process should it die (parent-death signal)."""
import hashlib
import json
import os
import pwd
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import numpy as np
import pandas as pd

import cdmadiag
from cdmadiag import _cdmadiag, fleet
from common import EXAMPLES, SOURCE, make_logs, read, write
PG_BIN = "/usr/lib/postgresql/15/bin"
POSTGIS = "/usr/share/postgresql/15/extension/postgis.control"


def missing_packages():
    missing = [p for p, f in (("postgresql-15", os.path.join(PG_BIN, "initdb")), ("postgresql-15-postgis-3", POSTGIS))
               if not os.path.exists(f)]
    try:
        import psycopg  # noqa: F401
    except ImportError:
        missing.append("python3-psycopg")
    return missing


class Services:
    """PostgreSQL with PostGIS and a Dask cluster of two workers, in one temporary folder."""

    def __init__(self):
        self.procs = []
        self.tmp = tempfile.mkdtemp(prefix="cdmadiag-fleetdb-")
        os.chmod(self.tmp, 0o755)
        self.user = None
        if os.geteuid() == 0:  # the servers refuse root, and root reads unreadable files
            nobody = pwd.getpwnam("nobody")
            self.user = (nobody.pw_uid, nobody.pw_gid)
            os.chown(self.tmp, *self.user)
        try:
            self._start_postgres()
            self._start_dask()
        except BaseException:
            self.stop()
            raise

    def command(self, argv, signal_name="TERM"):
        """argv as the unprivileged user, ended by signal_name when this process dies."""
        prefix = ["setpriv", f"--pdeathsig={signal_name}"]
        if self.user:
            prefix += [f"--reuid={self.user[0]}", f"--regid={self.user[1]}", "--clear-groups"]
        return prefix + ["--"] + argv

    def run(self, argv):
        subprocess.run(self.command(argv), check=True, cwd=self.tmp, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE)

    def spawn(self, argv, log, signal_name="TERM", env=None):
        with open(os.path.join(self.tmp, log), "wb") as f:
            p = subprocess.Popen(self.command(argv, signal_name), cwd=self.tmp, stdout=f, stderr=subprocess.STDOUT,
                                 env=env, start_new_session=True)
        self.procs.append(p)
        return p

    def _start_postgres(self):
        data = os.path.join(self.tmp, "data")
        self.run([os.path.join(PG_BIN, "initdb"), "-D", data, "-U", "postgres", "--auth=trust", "--no-locale",
                  "-E", "UTF8", "--no-sync"])
        # SIGINT is the server's fast shutdown; no TCP port, the socket in the folder.
        self.postgres = self.spawn([os.path.join(PG_BIN, "postgres"), "-D", data, "-c", "listen_addresses=",
                                    "-c", f"unix_socket_directories={self.tmp}", "-c", "fsync=off",
                                    "-c", "max_connections=40"], "postgres.log", "INT")
        import psycopg

        deadline = time.monotonic() + 60
        while True:
            try:
                with psycopg.connect(self.dsn("postgres"), autocommit=True) as c:
                    c.execute("CREATE DATABASE fleet")
                break
            except psycopg.OperationalError:
                if self.postgres.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError(f"PostgreSQL did not start: {self.log('postgres.log')}") from None
                time.sleep(0.2)
        with psycopg.connect(self.dsn(), autocommit=True) as c:
            c.execute("CREATE EXTENSION postgis")

    def dsn(self, db="fleet"):
        return f"postgresql://postgres@/{db}?host={self.tmp}"

    def _start_dask(self):
        dask = shutil.which("dask")
        scheduler = [dask, "scheduler"] if dask else [sys.executable, "-m", "distributed.cli.dask_scheduler"]
        worker = [dask, "worker"] if dask else [sys.executable, "-m", "distributed.cli.dask_worker"]
        # The workers get the package as a cluster's machines would have it installed: a copy
        # they can read, wherever the build tree is (a home folder nobody cannot enter).
        package = os.path.join(self.tmp, "python")
        shutil.copytree(os.path.dirname(cdmadiag.__file__), os.path.join(package, "cdmadiag"),
                        ignore=shutil.ignore_patterns("__pycache__"))
        env = dict(os.environ, HOME=self.tmp, DASK_TEMPORARY_DIRECTORY=self.tmp, PYTHONPATH=package,
                   PYTHONDONTWRITEBYTECODE="1")
        address = os.path.join(self.tmp, "scheduler.json")
        self.spawn(scheduler + ["--host", "127.0.0.1", "--port", "0", "--no-dashboard", "--scheduler-file", address,
                                "--idle-timeout", "900s"], "scheduler.log", env=env)
        for n in range(2):
            self.spawn(worker + ["--scheduler-file", address, "--nthreads", "1", "--no-nanny", "--no-dashboard",
                                 "--host", "127.0.0.1", "--name", f"w{n}", "--death-timeout", "60",
                                 "--local-directory", os.path.join(self.tmp, f"w{n}")], f"worker{n}.log", env=env)
        deadline = time.monotonic() + 120
        while not os.path.exists(address):
            if time.monotonic() > deadline or any(p.poll() is not None for p in self.procs):
                raise RuntimeError(f"the Dask scheduler did not start: {self.log('scheduler.log')}")
            time.sleep(0.2)
        from distributed import Client

        with open(address) as f:
            self.scheduler = json.load(f)["address"]
        self.client = Client(self.scheduler, timeout=60)
        self.client.wait_for_workers(2, timeout=120)

    def log(self, name):
        try:
            with open(os.path.join(self.tmp, name), errors="replace") as f:
                return f.read()[-3000:]
        except OSError:
            return ""

    def stop(self):
        client = getattr(self, "client", None)
        if client is not None:
            client.close()
        for p in reversed(self.procs):
            if p.poll() is None:
                p.send_signal(signal.SIGINT if p is getattr(self, "postgres", None) else signal.SIGTERM)
        for p in reversed(self.procs):
            try:
                p.wait(30)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)


def setUpModule():
    global services
    missing = missing_packages()
    if missing:
        text = f"needs Debian's {', '.join(missing)} (tools/setup.sh installs them)"
        if os.environ.get("CI"):
            raise RuntimeError(text)  # CI installs them: a skip there would hide the whole test
        raise unittest.SkipTest(text)
    services = Services()


def tearDownModule():
    if "services" in globals():
        services.stop()


def sql(query, params=None, db="fleet"):
    import psycopg

    with psycopg.connect(services.dsn(db), autocommit=True) as c:
        cur = c.execute(query, params)
        return cur.fetchall() if cur.description else None


def frame(query, params=None):
    import psycopg

    with psycopg.connect(services.dsn(), autocommit=True) as c:
        cur = c.execute(query, params)
        return pd.DataFrame(cur.fetchall(), columns=[d.name for d in cur.description])


def plain(v):
    """A value of a frame or of the database as a plain Python one; None for no value."""
    if isinstance(v, (list, np.ndarray)):
        return [int(x) for x in v] or None  # a list column gives [] where the database has NULL
    if v is None or v is pd.NA or (isinstance(v, float) and np.isnan(v)):
        return None
    return v.item() if isinstance(v, np.generic) else v


def readme_queries():
    with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as f:
        text = f.read()
    section = text[text.index("### Into one PostgreSQL database"):]
    block = re.search(r"```postgresql\n(.*?)```", section, re.S).group(1)
    return [q.strip() for q in block.split(";") if q.strip() and not q.strip().startswith("-- the logs")]


class FleetDb(unittest.TestCase):
    def setUp(self):
        sql("DROP TABLE IF EXISTS schema_version, drives, seconds, events, attributes, messages, writes, failures"
            " CASCADE; DROP FUNCTION IF EXISTS cdmadiag_drop_writes")
        self.root = os.path.join(services.tmp, "logs")  # readable by the workers
        shutil.rmtree(self.root, ignore_errors=True)
        make_logs(self.root)

    def fleet(self, *args, db=None):
        run = subprocess.run([sys.executable, "-m", "cdmadiag.fleet", self.root, "--db", db or services.dsn(),
                              "--scheduler", services.scheduler, *args], stderr=subprocess.PIPE, text=True,
                             timeout=600)
        self.assertNotIn("Traceback", run.stderr)
        return run

    def load(self, **kw):
        return fleet.decode_fleet(self.root, client=services.client, db=services.dsn(), **kw)

    def drives(self):
        return {os.path.relpath(f, self.root): i for f, i in sql("SELECT file, id FROM drives")}

    def test_loads_each_log_as_decoded_then_skips_replaces_and_answers_the_readme(self):
        write(os.path.join(self.root, "corrupt.bin"), np.random.default_rng(46).bytes(50000))
        cells = os.path.join(services.tmp, "cells.csv")  # where the workers can read it
        shutil.copy(os.path.join(EXAMPLES, "cells.csv"), cells)
        run = self.fleet("--cells", cells)
        self.assertEqual(run.returncode, 1, run.stderr)  # the corrupt log failed; the others loaded

        self.assertEqual(sql("SELECT version FROM schema_version"), [(1,)])
        failures = sql("SELECT file, error FROM failures")
        self.assertEqual([os.path.basename(f) for f, _ in failures], ["corrupt.bin"])
        self.assertIn("not a DIAG log", failures[0][1])
        self.assertEqual(sorted(self.drives()), ["a.hdlc", "day2/b.log"])

        for name, drive in self.drives().items():
            with self.subTest(log=name):
                path = os.path.join(self.root, name)
                s = cdmadiag.decode_to_file(path, os.path.join(services.tmp, "x.csv"), "csv", cells=cells)
                digest = hashlib.sha256(read(path)).hexdigest()
                d = frame("SELECT *, extract(epoch FROM start_time) AS t0, extract(epoch FROM end_time) AS t1,"
                          " ST_SRID(route) AS srid, ST_NPoints(route) AS points FROM drives WHERE id = %s",
                          (drive,)).iloc[0]
                self.assertEqual((d["size"], d["hash"], d["device"], d["devices"]), (os.path.getsize(path), digest, 0, 1))
                self.assertEqual(bytes(d["file_bytes"]), os.fsencode(path))
                for k in ("packets", "packets_1x", "packets_evdo", "responses", "decode_failures", "framing_errors"):
                    self.assertEqual(d[k], s[k], k)
                self.assertEqual(d["codes"], s["codes"])
                self.assertAlmostEqual(float(d["t0"]), s["first_time"], places=3)
                self.assertAlmostEqual(float(d["t1"]), s["last_time"], places=3)
                self.assertAlmostEqual(d["distance_km"], s["distance_km"], places=9)
                for m, v in s["means"].items():
                    self.assertEqual(d[f"{m}_mean"], v, m)

                # The tables hold what Python's frames hold, value for value.
                seconds = cdmadiag.seconds(path, cells=cells)
                events = cdmadiag.events(path, cells=cells)
                for kind, expected, order in (("seconds", seconds, "second"), ("events", events, "id")):
                    got = frame(f"SELECT * FROM {kind} WHERE drive = %s ORDER BY {order}", (drive,))
                    self.assertEqual((len(got), d[kind]), (len(expected), len(expected)))
                    for c, _ in _cdmadiag.sql_columns(kind):
                        if c == "time_iso":  # a timestamptz, to the millisecond
                            self.assertEqual([None if v is None else round(v.timestamp() * 1000) for v in got[c]],
                                             [plain(v) for v in expected["time_ms"]], f"{kind}.{c}")
                        else:
                            self.assertEqual([plain(v) for v in got[c]], [plain(v) for v in expected[c]], f"{kind}.{c}")
                points = sql("SELECT count(*), count(geom), bool_and(ST_SRID(geom) = 4326 AND ST_X(geom) = fix_lon"
                             " AND ST_Y(geom) = fix_lat) FROM seconds WHERE drive = %s", (drive,))[0]
                self.assertEqual(points, (len(seconds), int(seconds.fix_lat.notna().sum()), True))
                self.assertEqual((d["srid"], d["points"]), (4326, points[1]))
        gist = {t for t, in sql("SELECT tablename FROM pg_indexes WHERE indexdef LIKE '%USING gist%'")}
        self.assertLessEqual({"drives", "seconds", "events", "messages"}, gist)

        for q in readme_queries():
            with self.subTest(query=q.splitlines()[0]):
                self.assertTrue(sql(q), "no row")
        worst = sql(readme_queries()[1])
        self.assertEqual({r[3] for r in worst}, {2})  # every sector seen on both drives

        # Again: both logs skipped (drive keys kept), the corrupt one tried and listed again.
        before = self.drives()
        rows = self.load(cells=cells).set_index("file")
        self.assertEqual(rows["skipped"].to_dict(), {"a.hdlc": True, "corrupt.bin": False, "day2/b.log": True})
        self.assertEqual(rows.loc["a.hdlc", "packets"], 5212)
        self.assertEqual(self.drives(), before)
        # Other options are another load: it replaces the rows of the path.
        rows = self.load().set_index("file")
        self.assertFalse(rows["skipped"].any())
        self.assertTrue(set(self.drives().values()).isdisjoint(before.values()))
        # New content under a path replaces its rows; the corrupt log gone, its failure goes.
        os.remove(os.path.join(self.root, "corrupt.bin"))
        with open(os.path.join(self.root, "a.hdlc"), "r+b") as f:
            f.truncate(os.path.getsize(os.path.join(self.root, "a.hdlc")) // 2)
        before = self.drives()
        self.load()
        after = self.drives()
        self.assertEqual(after["day2/b.log"], before["day2/b.log"])
        self.assertNotEqual(after["a.hdlc"], before["a.hdlc"])
        self.assertEqual(sql("SELECT count(*) FROM drives")[0][0], 2)
        self.assertEqual(sql("SELECT count(*) FROM seconds")[0][0],
                         sum(len(cdmadiag.seconds(os.path.join(self.root, n))) for n in after))
        self.assertEqual(sql("SELECT count(*) FROM failures"), [(0,)])

    def test_loads_at_once_never_duplicate_or_interleave_a_drive(self):
        for i in range(3):
            shutil.copy(os.path.join(EXAMPLES, "sample.hdlc"), os.path.join(self.root, f"c{i}.hdlc"))
        frames = []

        def run(**kw):
            frames.append(self.load(**kw))

        # Two runs from an empty database: each log loaded once, the later load finding it done.
        runs = [threading.Thread(target=run) for _ in range(2)]
        for r in runs:
            r.start()
        for r in runs:
            r.join()
        loaded = sorted(f for fr in frames for f, skipped in zip(fr["file"], fr["skipped"]) if not skipped)
        self.assertEqual(loaded, ["a.hdlc", "c0.hdlc", "c1.hdlc", "c2.hdlc", "day2/b.log"])
        # Two forced runs replace every drive at once: still one drive per log, whole.
        frames.clear()
        runs = [threading.Thread(target=run, kwargs={"force": True}) for _ in range(2)]
        for r in runs:
            r.start()
        for r in runs:
            r.join()
        self.assertTrue(all((fr["status"] == "ok").all() for fr in frames))
        self.assertEqual(sql("SELECT count(*), count(DISTINCT file) FROM drives"), [(5, 5)])
        self.assertEqual(sql("SELECT d.seconds = count(s.*) FROM drives d JOIN seconds s ON s.drive = d.id"
                             " GROUP BY d.id, d.seconds"), [(True,)] * 5)
        self.assertEqual(sql("SELECT count(*) FROM events")[0][0], 5 * 88)

    def test_a_load_failing_part_way_leaves_the_earlier_load_whole(self):
        from cdmadiag import fleet_db

        self.load()
        before = sql("SELECT id, hash FROM drives ORDER BY id")
        path = os.path.join(self.root, "a.hdlc")
        write(path, read(path) * 2)  # new content: a replacing load

        class Broken:  # the events' COPY fails, after the drive and its seconds went in
            def __init__(self, *a, **kw):
                self.tables = real(*a, **kw)

            def __getattr__(self, name):
                return getattr(self.tables, name)

            def copy(self, kind, drives, attributes, first, rows):
                if kind == "events":
                    return b"not\ta\trow\n" if first == 0 else b""
                return self.tables.copy(kind, drives, attributes, first, rows)

        real = fleet_db._cdmadiag.DriveTables
        fleet_db._cdmadiag.DriveTables = Broken
        try:
            row = fleet_db.load_one(dict(file="a.hdlc", path=os.fsencode(path), size=0, db=services.dsn(),
                                         options={"cells": None, "projection": None, "with_writes": False},
                                         force=False, with_writes=False, format="sqlite", outdir=None, output=""))
        finally:
            fleet_db._cdmadiag.DriveTables = real
        self.assertEqual(row["status"], "failed")
        self.assertIn("database", row["error"])
        self.assertEqual(sql("SELECT id, hash FROM drives ORDER BY id"), before)
        self.assertEqual(sql("SELECT count(*) FROM seconds")[0][0], 2 * 300)
        self.assertEqual(sql("SELECT error LIKE 'database: %%' FROM failures"), [(True,)])

    def test_entries_that_are_no_logs_and_odd_names(self):
        os.mkfifo(os.path.join(self.root, "fifo.log"))
        os.symlink("loop.log", os.path.join(self.root, "loop.log"))
        os.symlink("gone.log", os.path.join(self.root, "dangling.log"))
        locked = os.path.join(self.root, "locked.log")
        shutil.copy(os.path.join(EXAMPLES, "sample.log"), locked)
        os.chmod(locked, 0)
        odd = os.path.join(os.fsencode(self.root), b"caf\xe9.hdlc")
        shutil.copy(os.path.join(EXAMPLES, "sample.hdlc"), odd)
        run = self.fleet()
        self.assertEqual(run.returncode, 1, run.stderr)
        errors = {os.path.basename(f): e for f, e in sql("SELECT file, error FROM failures")}
        self.assertEqual(sorted(errors), ["dangling.log", "fifo.log", "locked.log", "loop.log"])
        self.assertIn("a FIFO, not a regular file", errors["fifo.log"])
        self.assertIn("symbolic link that loops", errors["loop.log"])
        self.assertIn("symbolic link that leads nowhere", errors["dangling.log"])
        self.assertIn("Permission denied", errors["locked.log"])
        for name, error in errors.items():
            self.assertIn(name, run.stderr, error)
        # A name that is not UTF-8 loads: its bytes kept, its text readable.
        names = {bytes(b): f for f, b in sql("SELECT file, file_bytes FROM drives")}
        self.assertEqual(names[odd], os.fsdecode(odd).encode("utf-8", "surrogateescape").decode("utf-8", "replace"))
        self.assertEqual(len(names), 3)

    def test_a_database_that_cannot_take_the_fleet_is_refused_before_anything_is_written(self):
        bad = [(f"postgresql://postgres@/fleet?host={services.tmp}/nowhere", "cannot connect to the database"),
               ("postgresql://postgres:sekret@/nosuchdb?host=" + services.tmp, "cannot connect to the database"),
               ("postgresql://[not a url", "cannot connect to the database")]
        for db, text in bad:
            with self.subTest(db=db):
                run = self.fleet(db=db)
                self.assertEqual(run.returncode, 2, run.stderr)
                self.assertIn(text, run.stderr)
                self.assertNotIn("sekret", run.stderr)
        sql("DROP DATABASE IF EXISTS bare", db="postgres")
        sql("CREATE DATABASE bare", db="postgres")
        run = self.fleet(db=services.dsn("bare"))
        self.assertEqual(run.returncode, 2)
        self.assertIn("has no PostGIS: run CREATE EXTENSION postgis;", run.stderr)
        self.assertEqual(sql("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'", db="bare"), [(0,)])
        # Tables of the same names that are not the fleet's are left alone.
        sql("CREATE TABLE drives (x int)")
        run = self.fleet()
        self.assertEqual(run.returncode, 2)
        self.assertIn("drives, not made by cdmadiag", run.stderr)
        self.assertEqual(sql("SELECT count(*) FROM pg_tables WHERE tablename = 'seconds'"), [(0,)])

    def test_with_writes_and_an_output_file_from_one_decode(self):
        shutil.rmtree(os.path.join(self.root, "day2"))
        out = os.path.join(services.tmp, "out")
        os.makedirs(out, exist_ok=True)
        if services.user:
            os.chown(out, *services.user)
        run = self.fleet("--with-writes", "--out", out, "--format", "csv")
        self.assertEqual(run.returncode, 0, run.stderr)
        path = os.path.join(self.root, "a.hdlc")
        expected = os.path.join(services.tmp, "expected.csv")
        cdmadiag.decode_to_file(path, expected, "csv")
        self.assertEqual(read(expected), read(os.path.join(out, "a.hdlc.csv")))
        self.assertEqual(pd.read_csv(os.path.join(out, fleet.SUMMARY))["hash"].tolist(),
                         [hashlib.sha256(read(path)).hexdigest()])
        messages, writes = cdmadiag.to_frames(path)
        self.assertEqual(sql("SELECT count(*), count(geom) FROM messages"),
                         [(len(messages), int(sql("SELECT count(*) FROM messages WHERE fix_lat IS NOT NULL")[0][0]))])
        self.assertEqual(sql("SELECT count(*) FROM writes")[0][0], len(writes))
        got = frame("SELECT w.seq, a.name, w.op, w.idx, w.value, w.text FROM writes w JOIN attributes a ON a.id = w.attr"
                    " ORDER BY w.seq, w.n")
        self.assertEqual(got["name"].tolist(), writes["name"].astype(str).tolist())
        self.assertEqual(got["op"].tolist(), writes["op"].astype(str).tolist())
        self.assertEqual(got["idx"].tolist(), writes["index"].tolist())
        self.assertEqual([plain(v) for v in got["value"]], [plain(v) for v in writes["value"]])
        self.assertEqual([plain(v) for v in got["text"]], [plain(v) for v in writes["text"]])
        self.assertEqual(sql("SELECT count(*) FROM measurements")[0][0], len(writes))
        # A reload replaces the writes too (they go with their drive, without a foreign key).
        self.load(with_writes=True, force=True)
        self.assertEqual(sql("SELECT count(*), count(DISTINCT drive) FROM writes"), [(len(writes), 1)])
        self.assertEqual(sql("SELECT count(*) FROM writes WHERE drive NOT IN (SELECT id FROM drives)"), [(0,)])
        self.assertEqual(sql("SELECT title FROM messages ORDER BY seq LIMIT 1")[0][0], messages["title"][0])


if __name__ == "__main__":
    unittest.main()
