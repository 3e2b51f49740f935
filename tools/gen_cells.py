#!/usr/bin/env python3
"""Writes a cell-site list of N rows for load tests: three sectors per site (azimuths 120
degrees apart, a 65-degree beam), sites spread at random over a box around the sample
drive (43.07 N, 89.38 W; --span degrees each way), PNs at random.

    tools/gen_cells.py 1000000 > cells-1m.csv
"""
import argparse
import random
import sys


def main():
    p = argparse.ArgumentParser()
    p.add_argument("rows", type=int)
    p.add_argument("--span", type=float, default=1.0, help="degrees of latitude and longitude each way")
    p.add_argument("--seed", type=int, default=45)
    a = p.parse_args()
    rng = random.Random(a.seed)
    out = sys.stdout
    out.write("pn,latitude,longitude,sector_id,site_name,azimuth,beamwidth\n")
    site = 0
    rows = 0
    while rows < a.rows:
        lat = 43.07 + rng.uniform(-a.span, a.span)
        lon = -89.38 + rng.uniform(-a.span, a.span)
        pn = rng.randrange(168)
        turn = rng.randrange(120)
        for k in range(3):
            if rows == a.rows:
                break
            out.write(f"{pn + 168 * k},{lat:.6f},{lon:.6f},{site}-{k + 1},SITE {site},{turn + 120 * k},65\n")
            rows += 1
        site += 1


if __name__ == "__main__":
    main()
