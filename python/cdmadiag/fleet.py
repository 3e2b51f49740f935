"""Decoding a fleet of captures on Dask distributed, one task per file.

    python3 -m cdmadiag.fleet DIR --out OUTDIR [--scheduler tcp://host:8786] [--workers N]
                              [--format sqlite|csv|jsonl|text|geojson|kml] [--cells FILE] [--projection EPSG]
                              [--no-details] [--force]
    python3 -m cdmadiag.fleet DIR --db postgresql://... [--with-writes] [--out OUTDIR] [...]

Every regular file under DIR (hidden ones and OUTDIR left out) is decoded by a worker into
OUTDIR/<its path under DIR>.<format's extension>, as the command would write it. Without
--scheduler a local cluster of --workers processes runs the tasks; with it, the workers of
that cluster do, and DIR and OUTDIR must then be at the same paths on every worker (a
shared file system), with this package installed there.

A file that fails (unreadable, not a DIAG log, nothing in it, output not writable) is
reported in its row and does not stop the others; any name the system allows is taken (a
name that is not UTF-8 keeps its bytes, through os.fsencode). OUTDIR keeps a manifest of
the files done, by path, size, modification time and options; a rerun skips them and
decodes the rest. Runs into one OUTDIR take turns (a lock on OUTDIR/.cdmadiag-fleet.lock),
so a second one waits and then skips what the first did. The summary, one row per file,
goes to OUTDIR/summary.csv whatever happens (a run stopped part-way lists the files it did
not get to as failed) and is returned as a DataFrame. Its text fields are neutralised as the
command's CSV is: one starting with = + - @ that is not a number gets a leading apostrophe.

An entry that is no regular file (a FIFO, a socket, a device, a symbolic link that loops or
leads nowhere) and a folder that cannot be listed are failed rows too; none is opened.

With --db the logs go into one PostgreSQL database with PostGIS instead (cdmadiag.fleet_db):
OUTDIR is then optional, and given, it receives each log's file too, from the same decode,
and the summary.

Decoding one file stays sequential: later packets read back earlier packets' values.
"""
import argparse
import contextlib
import errno
import fcntl
import json
import os
import stat
import sys
import time

from . import _require
from ._cdmadiag import formats as _formats

_require("dask", "distributed")

# Measurements of the catalogue (`cdmadiag measurements`) summed up per drive: each
# column is the mean of the measurement over the seconds that have a value.
KPIS = [
    "cdma_best_active_ecio_db",
    "cdma_rx_power_dbm",
    "cdma_tx_power_dbm",
    "cdma_fch_fer_pct",
    "evdo_best_sinr_db",
    "evdo_drc_rate_kbps",
    "evdo_fwd_tput_kbps",
]
EXTENSIONS = _formats()  # format name -> suffix of the files written
MANIFEST = ".cdmadiag-fleet.json"
LOCK = ".cdmadiag-fleet.lock"
SUMMARY = "summary.csv"
COLUMNS = [
    "file", "status", "error", "skipped", "output", "size", "packets", "duration_s", "distance_km", "codes",
    "errors", "framing_errors", "decoder_errors", "decode_failures", "not_decoded", "unknown_codes", "first_time",
    "last_time", "decode_s",
] + list(KPIS)
# The summary of a load into a database: the content hash too.
DB_COLUMNS = COLUMNS + ["hash"]


def find_logs(root, out):
    """Regular files under root, sorted, as paths relative to it."""
    return scan(root, out)[0]


def scan(root, out):
    """(regular files, problems) under root, hidden ones and out left out: paths relative to
    root, sorted; a problem is (path, error) for an entry that is no regular file or a
    folder that cannot be listed. Nothing is opened: a FIFO would wait for a writer."""
    root = os.path.abspath(root)
    out = None if out is None else os.path.abspath(out)
    found, problems = [], []

    def unlisted(e):
        rel = os.path.relpath(e.filename, root)
        problems.append((rel, f"{rel}: cannot list the folder: {e.strerror}"))

    for dirpath, dirnames, filenames in os.walk(root, onerror=unlisted):
        dirnames[:] = sorted(d for d in dirnames
                             if not d.startswith(".") and os.path.abspath(os.path.join(dirpath, d)) != out)
        for name in filenames:
            if name.startswith("."):
                continue
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, root)
            why = _not_a_file(path)
            if why:
                problems.append((rel, f"{rel}: {why}"))
            else:
                found.append(rel)
    return sorted(found), sorted(problems)


def _not_a_file(path):
    """Why path is no regular file to read, or None."""
    try:
        st = os.stat(path)
    except OSError as e:
        if os.path.islink(path):
            what = "loops" if e.errno == errno.ELOOP else "leads nowhere" if e.errno == errno.ENOENT else e.strerror
            return f"a symbolic link that {what}; not read"
        return f"{e.strerror}; not read"
    for test, what in ((stat.S_ISFIFO, "a FIFO"), (stat.S_ISSOCK, "a socket"), (stat.S_ISCHR, "a device"),
                       (stat.S_ISBLK, "a device")):
        if test(st.st_mode):
            return f"{what}, not a regular file; not read"
    return None if stat.S_ISREG(st.st_mode) else "not a regular file; not read"


def decode_one(job):
    """One file, on a worker: its summary row. Never raises for a bad input."""
    import cdmadiag

    row = dict.fromkeys(COLUMNS)
    row.update(file=job["file"], status="ok", error="", skipped=False, output=job["output"], size=job["size"])
    start = time.perf_counter()
    out = os.path.join(job["outdir"], job["output"])
    try:
        os.makedirs(os.path.dirname(out), exist_ok=True)
        s = cdmadiag.decode_to_file(job["path"], out, job["format"], cells=job["cells"],
                                    projection=job["projection"], details=job["details"])
        if not s["written"]:
            raise ValueError(f"{job['file']}: no packet in it; nothing written")
    except Exception as e:  # a failed file is a row of the summary, not the end of the run
        row.update(status="failed", error=str(e) if isinstance(e, (OSError, ValueError)) else repr(e), output="")
    else:
        row.update({k: s[k] for k in ("packets", "duration_s", "distance_km", "codes", "framing_errors",
                                      "decoder_errors", "decode_failures", "not_decoded", "unknown_codes", "first_time",
                                      "last_time")})
        row["duration_s"] = round(row["duration_s"], 6)  # header times are 1.25 ms steps, summed in binary
        row["errors"] = s["framing_errors"] + s["decoder_errors"]
        row.update({k: s["means"].get(k) for k in KPIS})
    row["decode_s"] = time.perf_counter() - start
    return row


def _write_atomic(path, write):
    tmp = f"{path}.tmp{os.getpid()}"
    try:
        # A file name that is not UTF-8 is written as the bytes it is.
        with open(tmp, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
            write(f)
        os.replace(tmp, path)
    finally:
        if os.path.exists(tmp):
            os.remove(tmp)


def _load_manifest(path):
    try:
        with open(path, encoding="utf-8") as f:
            manifest = json.load(f)
        return manifest if isinstance(manifest, dict) else {}
    except (OSError, ValueError):
        return {}


_FORMULA_START = ("=", "+", "-", "@", "\t", "\r")


def _is_number(text):
    try:
        return abs(float(text)) != float("inf")  # NaN passes too: a spreadsheet reads it as text
    except ValueError:
        return False


def neutralised(text):
    """Text a spreadsheet would run as a formula, with a leading apostrophe (as the command's CSV)."""
    if isinstance(text, str) and text.startswith(_FORMULA_START) and not _is_number(text):
        return "'" + text
    return text


def _write_summary(path, frame):
    on_disk = frame.copy()
    for c in ("file", "status", "error", "output"):
        on_disk[c] = on_disk[c].map(neutralised)
    _write_atomic(path, lambda f: on_disk.to_csv(f, index=False))


@contextlib.contextmanager
def _turn(out, log):
    """Holds OUTDIR's lock: a run into the same folder waits for this one to end."""
    with open(os.path.join(out, LOCK), "a+b") as f:
        try:
            fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            if log:
                print(f"cdmadiag.fleet: another run is writing into {out}; waiting for it", file=log)
            fcntl.flock(f, fcntl.LOCK_EX)
        yield


def summary_frame(rows, columns=COLUMNS):
    import numpy as np
    import pandas as pd

    from cdmadiag import _utc_times

    frame = pd.DataFrame(rows, columns=columns)
    for c in ("size", "packets", "codes", "errors", "framing_errors", "decoder_errors", "decode_failures", "not_decoded",
              "unknown_codes"):
        frame[c] = frame[c].astype("Int64")
    for c in ["duration_s", "distance_km", "decode_s", *KPIS]:
        frame[c] = frame[c].astype("float64")
    for c in ("first_time", "last_time"):
        seconds = frame[c].astype("float64").to_numpy()
        ms = np.where(np.isfinite(seconds), np.round(seconds * 1000.0), np.iinfo(np.int64).min)
        frame[c] = _utc_times(ms.astype(np.int64))
    frame["skipped"] = frame["skipped"].astype(bool)
    return frame.sort_values("file", ignore_index=True)


def decode_fleet(root, out=None, scheduler=None, workers=2, format="sqlite", cells=None, projection=None,
                 details=True, force=False, client=None, log=None, db=None, with_writes=False):
    """Decodes every file under root into out on a Dask cluster; returns the summary.

    client: an existing distributed.Client (else one to scheduler, or to a local cluster of
    workers single-threaded processes). log: a stream for one line per file. db: a
    PostgreSQL connection string: each log is loaded into that database (see
    cdmadiag.fleet_db), with its messages and writes too when with_writes, and also
    written into out when out is given; fleet_db.DatabaseError when the database cannot
    take it, nothing written.
    """
    if format not in EXTENSIONS:
        raise ValueError(f"format must be one of {', '.join(EXTENSIONS)}, not {format!r}")
    if out is None and db is None:
        raise ValueError("give an output folder, a database or both")
    root = os.path.abspath(root)
    if not os.path.isdir(root):
        raise NotADirectoryError(f"{root}: not a directory")
    if out is None:
        return _load_fleet(root, None, scheduler, workers, format, cells, projection, details, force, client, log,
                           db, with_writes)
    out = os.path.abspath(out)
    if out == root:
        # The outputs would be taken for logs by the next run.
        raise ValueError(f"{out}: the output folder cannot be the folder of logs itself")
    os.makedirs(out, exist_ok=True)
    with _turn(out, log):
        if db is not None:
            return _load_fleet(root, out, scheduler, workers, format, cells, projection, details, force, client, log,
                               db, with_writes)
        return _decode_fleet(root, out, scheduler, workers, format, cells, projection, details, force, client, log)


def _failed_row(file, error, size=None, columns=COLUMNS):
    row = dict.fromkeys(columns)
    row.update(file=file, status="failed", error=error, skipped=False, output="", size=size)
    return row


def _load_fleet(root, out, scheduler, workers, format, cells, projection, details, force, client, log, db,
                with_writes):
    from . import fleet_db

    # What the rows loaded depend on: a load with other options replaces them. Details
    # show only in the messages and the files.
    options = {"cells": None if cells is None else os.path.abspath(cells), "projection": projection,
               "with_writes": bool(with_writes)}
    if with_writes or out is not None:
        options["details"] = bool(details)
    if out is not None:
        options["format"] = format
    conn = fleet_db.prepare(db, with_writes)
    try:
        files, problems = scan(root, out)
        rows = [_failed_row(rel, error, columns=DB_COLUMNS) for rel, error in problems]
        fleet_db.forget_failures(conn, os.fsencode(root),
                                 [os.fsencode(os.path.join(root, rel)) for rel in files + [p[0] for p in problems]])
        fleet_db.record_failures(conn, [(os.fsencode(os.path.join(root, rel)), None, None, error)
                                        for rel, error in problems])
    finally:
        conn.close()
    jobs = []
    for rel in files:
        path = os.path.join(root, rel)
        try:
            size = os.stat(path).st_size
        except OSError as e:  # gone since the folder was listed
            rows.append(_failed_row(rel, f"{rel}: {e.strerror}", columns=DB_COLUMNS))
            continue
        jobs.append(dict(file=rel, path=os.fsencode(path), size=size, db=db, options=options, force=bool(force),
                         with_writes=bool(with_writes), format=format, outdir=out, output=rel + EXTENSIONS[format]))
    if log:
        for _, error in problems:
            print(f"cdmadiag.fleet: {error}", file=log)
        print(f"cdmadiag.fleet: {len(jobs)} logs to load into {fleet_db.masked(db)}", file=log)

    finished = set()

    def done(job, row):
        rows.append(row)
        finished.add(job["file"])

    try:
        if jobs:
            _run(fleet_db.load_one, jobs, done, scheduler, workers, client, log, DB_COLUMNS)
    finally:
        for job in jobs:
            if job["file"] not in finished:
                rows.append(_failed_row(job["file"], "not loaded: the run stopped first", job["size"], DB_COLUMNS))
        frame = summary_frame(rows, DB_COLUMNS)
        if out is not None:
            _write_summary(os.path.join(out, SUMMARY), frame)
    return frame


def _decode_fleet(root, out, scheduler, workers, format, cells, projection, details, force, client, log):
    options = {"format": format, "details": bool(details), "projection": projection,
               "cells": None if cells is None else os.path.abspath(cells)}
    manifest_path = os.path.join(out, MANIFEST)
    manifest = _load_manifest(manifest_path)

    files, problems = scan(root, out)
    rows = [_failed_row(rel, error) for rel, error in problems]
    jobs = []
    for rel in files:
        try:
            st = os.stat(os.path.join(root, rel))
        except OSError as e:  # gone, or not readable, since the folder was listed
            rows.append(_failed_row(rel, str(e)))
            continue
        done = manifest.get(rel)
        if (not force and done and done.get("size") == st.st_size and done.get("mtime_ns") == st.st_mtime_ns
                and done.get("options") == options and done["row"].get("status") == "ok"
                and os.path.isfile(os.path.join(out, done["row"]["output"]))):
            rows.append(dict(done["row"], skipped=True))
            continue
        jobs.append(dict(options, file=rel, path=os.fsencode(os.path.join(root, rel)), outdir=out, size=st.st_size,
                         mtime_ns=st.st_mtime_ns, output=rel + EXTENSIONS[format]))
    if log:
        for _, error in problems:
            print(f"cdmadiag.fleet: {error}", file=log)
        print(f"cdmadiag.fleet: {len(jobs)} to decode, {sum(bool(r['skipped']) for r in rows)} done before", file=log)

    finished = set()

    def done(job, row):
        rows.append(row)
        finished.add(job["file"])
        if row["status"] == "ok":
            manifest[job["file"]] = {"size": job["size"], "mtime_ns": job["mtime_ns"], "options": options, "row": row}
        else:
            manifest.pop(job["file"], None)
        _write_atomic(manifest_path, lambda f: json.dump(manifest, f, indent=1, sort_keys=True))

    try:
        if jobs:
            _run(decode_one, jobs, done, scheduler, workers, client, log)
    finally:
        # The summary is written whatever stopped the run; files not reached are failed rows.
        for job in jobs:
            if job["file"] not in finished:
                rows.append(_failed_row(job["file"], "not decoded: the run stopped first", job["size"]))
        frame = summary_frame(rows)
        _write_summary(os.path.join(out, SUMMARY), frame)
    return frame


def _run(task, jobs, done, scheduler, workers, client, log, columns=COLUMNS):
    """Runs task on each job on the cluster, calling done(job, row) as each finishes."""
    own = []
    try:
        if client is None:
            from distributed import Client, LocalCluster

            if scheduler:
                client = Client(scheduler)
            else:
                cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                       dashboard_address=None)
                own.append(cluster)
                client = Client(cluster)
            own.insert(0, client)
        from distributed import as_completed

        futures = client.map(task, jobs, pure=False)
        by_key = {f.key: j for f, j in zip(futures, jobs)}
        for n, future in enumerate(as_completed(futures), 1):
            job = by_key[future.key]
            try:
                row = future.result()
            except Exception as e:  # a worker lost with its task
                row = _failed_row(job["file"], f"task failed: {e!r}", job["size"], columns)
            done(job, row)
            if log:
                what = f"{row['packets']} packets" if row["status"] == "ok" else row["error"]
                if row["skipped"]:
                    what += ", done before"
                print(f"cdmadiag.fleet: [{n}/{len(jobs)}] {job['file']}: {row['status']}, {what}", file=log)
    finally:
        for o in own:
            o.close()


def main(argv=None):
    p = argparse.ArgumentParser(prog="python3 -m cdmadiag.fleet",
                                description="Decodes every capture under DIR on a Dask cluster, one task per file.")
    p.add_argument("dir", metavar="DIR", help="folder of captures (searched recursively)")
    p.add_argument("--out", metavar="OUTDIR", help="where outputs, manifest and summary.csv go (optional with --db)")
    p.add_argument("--db", metavar="POSTGRESQL_URL",
                   help="load every log into this PostgreSQL database with PostGIS (postgresql://user@host/dbname)")
    p.add_argument("--with-writes", action="store_true", help="with --db: the messages and attribute writes too")
    p.add_argument("--scheduler", metavar="ADDRESS", help="an existing cluster's scheduler (tcp://host:8786)")
    p.add_argument("--workers", type=int, default=2, help="worker processes of the local cluster (default 2)")
    p.add_argument("--format", choices=list(EXTENSIONS), default="sqlite", help="output per file (default sqlite)")
    p.add_argument("--cells", metavar="FILE", help="cell-site CSV (pn,latitude,longitude,sector_id,site_name)")
    p.add_argument("--projection", type=int, metavar="EPSG", help="EPSG code of the map coordinates")
    p.add_argument("--no-details", action="store_true", help="no detail texts (much faster)")
    p.add_argument("--force", action="store_true", help="decode files done before as well")
    a = p.parse_args(argv)
    if a.out is None and a.db is None:
        p.error("give --out OUTDIR, --db URL or both")
    if a.with_writes and a.db is None:
        p.error("--with-writes goes with --db")
    database_error = ()
    if a.db is not None:
        from .fleet_db import DatabaseError

        database_error = (DatabaseError,)
    where = [f"summary in {os.path.join(os.path.abspath(a.out), SUMMARY)}"] if a.out else []
    try:
        frame = decode_fleet(a.dir, a.out, scheduler=a.scheduler, workers=a.workers, format=a.format,
                             cells=a.cells, projection=a.projection, details=not a.no_details, force=a.force,
                             log=sys.stderr, db=a.db, with_writes=a.with_writes)
    except (OSError, ValueError, *database_error) as e:
        print(f"cdmadiag.fleet: {e}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print(f"cdmadiag.fleet: interrupted{'; ' + where[0] + ' of what was done' if where else ''}", file=sys.stderr)
        return 130
    failed = int((frame["status"] != "ok").sum())
    if a.db is not None:
        from .fleet_db import masked

        where.insert(0, f"{int(frame['skipped'].sum())} loaded before; database {masked(a.db)}")
    print(f"cdmadiag.fleet: {len(frame)} files, {failed} failed, {int(frame['packets'].sum())} packets; "
          f"{'; '.join(where)}", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    from cdmadiag.fleet import main as fleet_main  # tasks then refer to cdmadiag.fleet, not __main__

    sys.exit(fleet_main())
