"""Fleet decoding with one worker against two, on copies of one capture.

    python3 -m cdmadiag.fleet_bench FILE [--copies 8] [--workers 1 2] [--format sqlite csv] [--repeat 3]

For each format: the copies decoded one after another in this process (no Dask), then
through fleet decoding on a fresh local cluster of each worker count. Times are wall
clock, best of --repeat runs; the cluster's start is timed apart from the decoding.
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
    a = p.parse_args(argv)

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


if __name__ == "__main__":
    main()
