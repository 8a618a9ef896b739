#!/usr/bin/python3
"""Checks the WKT texts ZELK builds (zelk-cli systems --system SYS) with PROJ:
each must read, and PROJ must convert through it what ZELK converts, within
1 mm: the points of system_reference.txt for the system files of
tests/data/systems, and for codes of the table the points of
epsg_reference.txt.

    check_wkt.py ZELK_CLI

Exit status 0 when every check holds, 1 when one fails, 77 (skipped)
without pyproj. The test wkt_reads_in_proj runs it.
"""
import os
import subprocess
import sys
from decimal import Decimal
from packed_dms import degrees

try:
    import pyproj
except ImportError:
    print("pyproj is not installed: nothing checked", file=sys.stderr)
    sys.exit(77)

HERE = os.path.dirname(os.path.abspath(__file__))
CODES = ["4490", "4479", "4547", "4526", "2385", "21413", "2401", "32650", "32750"]


def reference(file, first):
    with open(os.path.join(HERE, file), encoding="utf-8") as f:
        for line in f:
            fields = line.split()
            if fields and not line.startswith("#") and fields[0] == first:
                yield [fields[1], fields[2]] + [float(v) for v in fields[3:8]]


def wkt(cli, system):
    out = subprocess.run([cli, "systems", "--system", system], capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        if line.startswith("WKT"):
            return line[3:].strip()
    raise ValueError(f"{system}: no WKT line")


def main(cli):
    faults = 0
    checks = []
    for name in sorted(os.listdir(os.path.join(HERE, "systems"))):
        if name.endswith(".crs"):
            checks.append(("@" + os.path.join(HERE, "systems", name), "system_reference.txt", name))
    for code in CODES:
        checks.append(("EPSG:" + code, "epsg_reference.txt", code))
    for system, file, first in checks:
        crs = pyproj.CRS.from_wkt(wkt(cli, system))
        points = list(reference(file, first))
        if not points:
            print(f"{system}: no reference points")
            faults += 1
        if crs.is_projected:
            to = pyproj.Transformer.from_crs(crs.geodetic_crs, crs, always_xy=True)
        else:
            e = crs.ellipsoid
            to = pyproj.Transformer.from_pipeline(
                f"+proj=cart +a={e.semi_major_metre!r} +rf={e.inverse_flattening!r}")
        worst = 0.0
        for B, L, H, a, b, c, tolerance in points:
            if crs.is_projected:
                east, north = to.transform(degrees(L), degrees(B))
                miss = max(abs(north - a), abs(east - b))
            else:
                X, Y, Z = to.transform(degrees(L), degrees(B), H)
                miss = max(abs(X - a), abs(Y - b), abs(Z - c))
            worst = max(worst, miss)
            if miss > tolerance:
                print(f"{system}: {B} {L}: PROJ through the WKT is {miss * 1000:.3f} mm off")
                faults += 1
        print(f"{system}: {crs.name}: {len(points)} points, at most {worst * 1000:.4f} mm off")
    return 1 if faults else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
