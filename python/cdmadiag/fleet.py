"""Decoding a fleet of captures on Dask distributed, one task per file.

    python3 -m cdmadiag.fleet DIR --out OUTDIR [--scheduler tcp://host:8786] [--workers N]
                              [--format sqlite|csv|jsonl|text|geojson|kml] [--cells FILE] [--projection EPSG]
                              [--no-details] [--force]

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

Decoding one file stays sequential: later packets read back earlier packets' values.
"""
import argparse
import contextlib
import fcntl
import json
import os
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


def find_logs(root, out):
    """Regular files under root, sorted, as paths relative to it."""
    root = os.path.abspath(root)
    out = os.path.abspath(out)
    found = []
    for dirpath, dirnames, filenames in os.walk(root):
        dirnames[:] = sorted(d for d in dirnames
                             if not d.startswith(".") and os.path.abspath(os.path.join(dirpath, d)) != out)
        for name in filenames:
            path = os.path.join(dirpath, name)
            if not name.startswith(".") and os.path.isfile(path):
                found.append(os.path.relpath(path, root))
    return sorted(found)


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


def summary_frame(rows):
    import numpy as np
    import pandas as pd

    from cdmadiag import _utc_times

    frame = pd.DataFrame(rows, columns=COLUMNS)
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


def decode_fleet(root, out, scheduler=None, workers=2, format="sqlite", cells=None, projection=None,
                 details=True, force=False, client=None, log=None):
    """Decodes every file under root into out on a Dask cluster; returns the summary.

    client: an existing distributed.Client (else one to scheduler, or to a local cluster of
    workers single-threaded processes). log: a stream for one line per file.
    """
    if format not in EXTENSIONS:
        raise ValueError(f"format must be one of {', '.join(EXTENSIONS)}, not {format!r}")
    root = os.path.abspath(root)
    out = os.path.abspath(out)
    if not os.path.isdir(root):
        raise NotADirectoryError(f"{root}: not a directory")
    if out == root:
        # The outputs would be taken for logs by the next run.
        raise ValueError(f"{out}: the output folder cannot be the folder of logs itself")
    os.makedirs(out, exist_ok=True)
    with _turn(out, log):
        return _decode_fleet(root, out, scheduler, workers, format, cells, projection, details, force, client, log)


def _decode_fleet(root, out, scheduler, workers, format, cells, projection, details, force, client, log):
    options = {"format": format, "details": bool(details), "projection": projection,
               "cells": None if cells is None else os.path.abspath(cells)}
    manifest_path = os.path.join(out, MANIFEST)
    manifest = _load_manifest(manifest_path)

    rows, jobs = [], []
    for rel in find_logs(root, out):
        try:
            st = os.stat(os.path.join(root, rel))
        except OSError as e:  # gone, or not readable, since the folder was listed
            row = dict.fromkeys(COLUMNS)
            row.update(file=rel, status="failed", error=str(e), skipped=False, output="")
            rows.append(row)
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
        print(f"cdmadiag.fleet: {len(jobs)} to decode, {len(rows)} done before", file=log)

    finished = set()
    try:
        if jobs:
            _run(jobs, rows, finished, manifest, manifest_path, options, scheduler, workers, client, log)
    finally:
        # The summary is written whatever stopped the run; files not reached are failed rows.
        for job in jobs:
            if job["file"] not in finished:
                row = dict.fromkeys(COLUMNS)
                row.update(file=job["file"], status="failed", error="not decoded: the run stopped first",
                           skipped=False, output="", size=job["size"])
                rows.append(row)
        frame = summary_frame(rows)
        _write_summary(os.path.join(out, SUMMARY), frame)
    return frame


def _run(jobs, rows, finished, manifest, manifest_path, options, scheduler, workers, client, log):
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

        futures = client.map(decode_one, jobs, pure=False)
        by_key = {f.key: j for f, j in zip(futures, jobs)}
        for n, future in enumerate(as_completed(futures), 1):
            job = by_key[future.key]
            try:
                row = future.result()
            except Exception as e:  # a worker lost with its task
                row = dict.fromkeys(COLUMNS)
                row.update(file=job["file"], status="failed", error=f"task failed: {e!r}", skipped=False,
                           output="", size=job["size"])
            rows.append(row)
            finished.add(job["file"])
            if row["status"] == "ok":
                manifest[job["file"]] = {"size": job["size"], "mtime_ns": job["mtime_ns"], "options": options,
                                         "row": row}
            else:
                manifest.pop(job["file"], None)
            _write_atomic(manifest_path, lambda f: json.dump(manifest, f, indent=1, sort_keys=True))
            if log:
                what = f"{row['packets']} packets" if row["status"] == "ok" else row["error"]
                print(f"cdmadiag.fleet: [{n}/{len(jobs)}] {job['file']}: {row['status']}, {what}", file=log)
    finally:
        for o in own:
            o.close()


def main(argv=None):
    p = argparse.ArgumentParser(prog="python3 -m cdmadiag.fleet",
                                description="Decodes every capture under DIR on a Dask cluster, one task per file.")
    p.add_argument("dir", metavar="DIR", help="folder of captures (searched recursively)")
    p.add_argument("--out", required=True, metavar="OUTDIR", help="where outputs, manifest and summary.csv go")
    p.add_argument("--scheduler", metavar="ADDRESS", help="an existing cluster's scheduler (tcp://host:8786)")
    p.add_argument("--workers", type=int, default=2, help="worker processes of the local cluster (default 2)")
    p.add_argument("--format", choices=list(EXTENSIONS), default="sqlite", help="output per file (default sqlite)")
    p.add_argument("--cells", metavar="FILE", help="cell-site CSV (pn,latitude,longitude,sector_id,site_name)")
    p.add_argument("--projection", type=int, metavar="EPSG", help="EPSG code of the map coordinates")
    p.add_argument("--no-details", action="store_true", help="no detail texts (much faster)")
    p.add_argument("--force", action="store_true", help="decode files done before as well")
    a = p.parse_args(argv)
    try:
        frame = decode_fleet(a.dir, a.out, scheduler=a.scheduler, workers=a.workers, format=a.format,
                             cells=a.cells, projection=a.projection, details=not a.no_details, force=a.force,
                             log=sys.stderr)
    except (OSError, ValueError) as e:
        print(f"cdmadiag.fleet: {e}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print(f"cdmadiag.fleet: interrupted; summary of what was done in "
              f"{os.path.join(os.path.abspath(a.out), SUMMARY)}", file=sys.stderr)
        return 130
    failed = int((frame["status"] != "ok").sum())
    print(f"cdmadiag.fleet: {len(frame)} files, {failed} failed, {int(frame['packets'].sum())} packets; "
          f"summary in {os.path.join(os.path.abspath(a.out), SUMMARY)}", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    from cdmadiag.fleet import main as fleet_main  # tasks then refer to cdmadiag.fleet, not __main__

    sys.exit(fleet_main())
