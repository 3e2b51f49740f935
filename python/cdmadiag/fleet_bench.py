"""Fleet decoding with one worker against two, on copies of one capture.

    python3 -m cdmadiag.fleet_bench FILE [--copies 8] [--workers 1 2] [--format sqlite csv] [--repeat 3]
    python3 -m cdmadiag.fleet_bench FILE --db URL [--with-writes] [--copies 20] [--workers 1 2]

For each format: the copies decoded one after another in this process (no Dask), then
through fleet decoding on a fresh local cluster of each worker count. Times are wall
clock, best of --repeat runs; the cluster's start is timed apart from the decoding.

With --db, the copies are loaded into that database instead (its cdmadiag tables are
emptied before each run: give a throw-away one), and beside the wall clock the CPU time
of the workers and of their database server processes, and the load average.
"""
import argparse
import os
import shutil
import tempfile
import time


def main(argv=None):
    p = argparse.ArgumentParser(prog="python3 -m cdmadiag.fleet_bench")
    p.add_argument("file", metavar="FILE", help="capture to copy (e.g. examples/sample.hdlc)")
    p.add_argument("--copies", type=int, default=8)
    p.add_argument("--workers", type=int, nargs="+", default=[1, 2])
    p.add_argument("--format", nargs="+", default=["sqlite", "csv"])
    p.add_argument("--repeat", type=int, default=3)
    p.add_argument("--db", metavar="URL", help="time loading into this throw-away PostgreSQL database instead")
    p.add_argument("--with-writes", action="store_true", help="with --db: the messages and writes too")
    a = p.parse_args(argv)
    if a.db:
        return bench_db(a)

    import cdmadiag
    from distributed import Client, LocalCluster

    from cdmadiag import fleet

    tmp = tempfile.mkdtemp(prefix="cdmadiag-bench-")
    try:
        root = os.path.join(tmp, "logs")
        os.makedirs(root)
        ext = os.path.splitext(a.file)[1]
        for i in range(a.copies):
            shutil.copy(a.file, os.path.join(root, f"drive{i:02d}{ext}"))
        files = fleet.find_logs(root, tmp)
        size = sum(os.path.getsize(os.path.join(root, f)) for f in files) / 1e6
        print(f"{a.copies} copies of {a.file}: {size:.1f} MB; best of {a.repeat}; {os.cpu_count()} cores")
        print("| format | how | cluster start (s) | decoding (s) | packets/s | × one worker |")
        print("|---|---|---|---|---|---|")
        for fmt in a.format:
            packets, best = 0, float("inf")
            for _ in range(a.repeat):
                out = tempfile.mkdtemp(dir=tmp)
                start = time.perf_counter()
                packets = sum(cdmadiag.decode_to_file(os.path.join(root, f), os.path.join(out, f + ".out"), fmt)["packets"]
                              for f in files)
                best = min(best, time.perf_counter() - start)
            print(f"| {fmt} | in process, no Dask | - | {best:.2f} | {packets / best:,.0f} | - |")
            one = None
            for workers in a.workers:
                starts, best = [], float("inf")
                for _ in range(a.repeat):
                    t0 = time.perf_counter()
                    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                      dashboard_address=None) as cluster, Client(cluster) as client:
                        client.wait_for_workers(workers)
                        starts.append(time.perf_counter() - t0)
                        out = tempfile.mkdtemp(dir=tmp)
                        t1 = time.perf_counter()
                        frame = fleet.decode_fleet(root, out, format=fmt, client=client)
                        best = min(best, time.perf_counter() - t1)
                    assert (frame["status"] == "ok").all(), frame
                one = one or best
                packets = int(frame["packets"].sum())
                print(f"| {fmt} | {workers} worker{'s' if workers > 1 else ''} | {min(starts):.2f} | {best:.2f} | "
                      f"{packets / best:,.0f} | {one / best:.2f} |")
    finally:
        shutil.rmtree(tmp)




def _connect(db):
    from cdmadiag import fleet_db

    fleet_db._connection(db)  # the task thread's, which the loads use


def _worker_cpu():
    import resource

    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime + r.ru_stime


def bench_db(a):
    import psutil
    from distributed import Client, LocalCluster

    from cdmadiag import fleet, fleet_db

    tmp = tempfile.mkdtemp(prefix="cdmadiag-bench-")
    try:
        root = os.path.join(tmp, "logs")
        os.makedirs(root)
        for i in range(a.copies):
            shutil.copy(a.file, os.path.join(root, f"drive{i:02d}{os.path.splitext(a.file)[1]}"))
        fleet_db.prepare(a.db, a.with_writes).close()
        print(f"{a.copies} copies of {a.file} into {fleet_db.masked(a.db)}{' with writes' if a.with_writes else ''};"
              f" best of {a.repeat}; {os.cpu_count()} cores")
        print("| workers | load (s) | packets/s | × one worker | worker CPU (s) | server CPU (s) | load average |")
        print("|---|---|---|---|---|---|---|")
        one = None
        for workers in a.workers:
            best = None
            for _ in range(a.repeat):
                conn = fleet_db.connect(a.db)
                conn.execute("TRUNCATE drives, writes, failures CASCADE")
                conn.close()
                with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, Client(cluster) as client:
                    client.wait_for_workers(workers)
                    # Each worker connects once, before the clock starts, as a running cluster has.
                    client.gather([client.submit(_connect, a.db, workers=[w], pure=False)
                                   for w in client.scheduler_info()["workers"]])
                    cpu0 = sum(client.run(_worker_cpu).values())
                    servers = [psutil.Process(p) for p in _backends(a.db)]
                    server0 = sum(sum(p.cpu_times()[:2]) for p in servers)
                    load0 = os.getloadavg()[0]
                    t0 = time.perf_counter()
                    frame = fleet.decode_fleet(root, client=client, db=a.db, with_writes=a.with_writes)
                    wall = time.perf_counter() - t0
                    cpu = sum(client.run(_worker_cpu).values()) - cpu0
                    server = sum(sum(p.cpu_times()[:2]) for p in servers) - server0
                    load = (load0 + os.getloadavg()[0]) / 2
                assert (frame["status"] == "ok").all() and not frame["skipped"].any(), frame
                if best is None or wall < best[0]:
                    best = (wall, cpu, server, load)
            one = one or best[0]
            packets = int(frame["packets"].sum())
            print(f"| {workers} | {best[0]:.2f} | {packets / best[0]:,.0f} | {one / best[0]:.2f} | {best[1]:.2f} | "
                  f"{best[2]:.2f} | {best[3]:.1f} |")
    finally:
        shutil.rmtree(tmp)


def _backends(db):
    """Server processes of the fleet's connections (on this machine)."""
    from cdmadiag import fleet_db

    conn = fleet_db.connect(db)
    try:
        return [r[0] for r in conn.execute("SELECT pid FROM pg_stat_activity WHERE application_name = 'cdmadiag.fleet'"
                                           " AND pid <> pg_backend_pid()").fetchall()]
    finally:
        conn.close()


if __name__ == "__main__":
    main()
