#!/usr/bin/python3
"""Writes geoid_conversions.txt: geodetic points with ellipsoidal heights and
their Gauss-Kruger coordinates with heights above a geoid model, from PROJ,
for the conversion tests of heights above a geoid; and the road corridor
of the worked example (examples/corridor-*.txt, and geoid_corridor.txt with
every point's true local coordinates), whose local heights are EGM96
heights plus a constant.

Each conversion line is a PROJ pipeline
    +step +proj=vgridshift +grids=GRID +multiplier=-1   (H = h - N)
    +step +proj=tmerc +lon_0=... +x_0=... ELLIPSOID     (x y)
applied to B L h, so that N is taken at the point's own latitude and
longitude on its datum, as the program does. GRID is EGM96 (egm96_15.gtx
from Debian's proj-data, the model the program finds by the name egm96) or
tests/data/geoid/regional.gtx (a grid of one's own).

Needs Debian's python3-pyproj and proj-data. PROJ serves only to make these
files; run it by hand when points change, never from the build:

    /usr/bin/python3 tests/data/make_geoid_conversions.py
"""
from decimal import Decimal
import math
import os
import random

import pyproj

HERE = os.path.dirname(os.path.abspath(__file__))
REGIONAL = os.path.join(HERE, "geoid", "regional.gtx")

ELLIPSOIDS = {
    "beijing54": "+ellps=krass",
    "xian80": "+a=6378140 +rf=298.257",
    "cgcs2000": "+a=6378137 +rf=298.257222101",
}


def packed(degrees_value):
    """Decimal degrees -> packed DMS text with 0.00001 of a second, and the
    decimal degrees that text stands for exactly."""
    units = round(abs(degrees_value) * 3600 * 100000)  # 1e-5 arc-seconds
    sign = "-" if degrees_value < 0 else ""
    d, rest = divmod(units, 3600 * 100000)
    m, s = divmod(rest, 60 * 100000)
    text = f"{sign}{d}.{m:02d}{s:07d}".rstrip("0").rstrip(".")
    exact = float((Decimal(d) + Decimal(m) / 60 + Decimal(s) / Decimal(360000000)) * (-1 if sign else 1))
    return text, exact


def pipeline(grid, ellps, lon0, x0):
    return pyproj.Transformer.from_pipeline(
        f"+proj=pipeline +step +proj=vgridshift +grids={grid} +multiplier=-1 "
        f"+step +proj=tmerc +lat_0=0 +lon_0={lon0} +k=1 +x_0={x0} +y_0=0 {ellps}")


def zone3(lon):
    n = int((lon - 1.5) // 3) + 1
    return n, 3 * n


def zone6(lon):
    n = int(lon // 6) + 1
    return n, 6 * n - 3


def conversion_lines():
    rnd = random.Random(2023)
    lines = []
    # EGM96 by name: points over China, each datum, each way of giving the
    # meridian.
    for datum in ("cgcs2000", "beijing54", "xian80"):
        for _ in range(6):
            lat, lon = rnd.uniform(20.0, 48.0), rnd.uniform(76.0, 130.0)
            lines.append(("egm96", "egm96_15.gtx", datum, lat, lon, rnd.uniform(-20.0, 4500.0)))
    # The regional grid of the grid tests (30..32 N, 119..121.5 E), away
    # from its hole of nodes without data.
    while sum(1 for line in lines if line[0] == "regional.gtx") < 12:
        lat, lon = rnd.uniform(30.02, 31.98), rnd.uniform(119.02, 121.48)
        if 31.1 < lat < 31.5 and 120.6 < lon < 121.0:
            continue
        lines.append(("regional.gtx", REGIONAL, "cgcs2000", lat, lon, rnd.uniform(-5.0, 900.0)))
    out = []
    for model, grid, datum, lat, lon, h in lines:
        Bs, B = packed(lat)
        Ls, L = packed(lon)
        hs = f"{h:.4f}"
        h = float(hs)
        ellps = ELLIPSOIDS[datum]
        n3, m3 = zone3(L)
        n6, m6 = zone6(L)
        for settings, lon0, x0, zone in ((f"meridian={m3}", m3, 500000, 0),
                                         ("zone=3", m3, 500000, n3),
                                         ("zone=6", m6, 500000, n6)):
            e, n, H = pipeline(grid, ellps, lon0, x0).transform(L, B, h, errcheck=True)
            y = e + zone * 1000000
            out.append(f"{model} {datum}-gauss {settings} {Bs} {Ls} {hs} {n:.5f} {y:.5f} {H:.5f} "
                       f"0.001 PROJ vgridshift+tmerc")
    return out


def corridor():
    """A road corridor of some 90 km in western Sichuan, where EGM96 falls by
    almost 5 m and bends: CGCS2000 Gauss-Kruger on 102 with ellipsoidal
    heights (GNSS), and the project's local grid, a plane similarity of it
    (scale 1.00055, about the mean height of 3500 m) with heights that are
    EGM96 heights plus 0.4213 m (the offset of the local height datum),
    every value rounded to the millimetre as surveyed. Points 1, 4, 7, 10
    and 12 are the benchmarks; the others check the calibration."""
    rnd = random.Random(1985)
    ellps = ELLIPSOIDS["cgcs2000"]
    t = pipeline("egm96_15.gtx", ellps, 102, 500000)
    K, alpha, dX, dY = 1.00055, math.radians(0.35), -3300000.0, -460000.0
    rows = []
    for i in range(12):
        f = i / 11
        lat = 30.0 + 0.42 * f + rnd.uniform(-0.02, 0.02)
        lon = 102.0 + 0.85 * f + rnd.uniform(-0.02, 0.02)
        h = round(rnd.uniform(2400.0, 4200.0), 3)
        _, B = packed(lat)
        _, L = packed(lon)
        e, n, H = t.transform(L, B, h, errcheck=True)
        x, y = round(n, 3), round(e, 3)
        lx = dX + K * (x * math.cos(alpha) - y * math.sin(alpha))
        ly = dY + K * (x * math.sin(alpha) + y * math.cos(alpha))
        rows.append((f"G{i + 1:02d}", x, y, h, lx, ly, H + 0.4213))
    return rows


BENCHMARKS = (0, 3, 6, 9, 11)


def write_corridor(rows):
    examples = os.path.join(HERE, "..", "..", "examples")
    with open(os.path.join(examples, "corridor-cgcs2000.txt"), "w", encoding="ascii") as out:
        for i in BENCHMARKS:
            _, x, y, h, _, _, _ = rows[i]
            out.write(f"{x:.3f} {y:.3f} {h:.3f}\n")
    with open(os.path.join(examples, "corridor-local.txt"), "w", encoding="ascii") as out:
        for i in BENCHMARKS:
            _, _, _, _, lx, ly, H = rows[i]
            out.write(f"{lx:.3f} {ly:.3f} {H:.3f}\n")
    with open(os.path.join(examples, "corridor-new.txt"), "w", encoding="ascii") as out:
        for i, (name, x, y, h, _, _, _) in enumerate(rows):
            if i not in BENCHMARKS:
                out.write(f"{name} {x:.3f} {y:.3f} {h:.3f}\n")
    with open(os.path.join(HERE, "geoid_corridor.txt"), "w", encoding="ascii") as out:
        out.write("# The corridor of examples/corridor-*.txt: name, CGCS2000 Gauss-Kruger on 102\n"
                  "# x y h (ellipsoidal), the local grid x y H (EGM96 heights plus 0.4213 m), and\n"
                  "# whether the point is a benchmark (common point) or a check point.\n"
                  f"# N from EGM96 (PROJ {pyproj.proj_version_str} vgridshift). Made by make_geoid_conversions.py.\n")
        for i, (name, x, y, h, lx, ly, H) in enumerate(rows):
            kind = "benchmark" if i in BENCHMARKS else "check"
            out.write(f"{name} {x:.3f} {y:.3f} {h:.3f} {lx:.3f} {ly:.3f} {H:.3f} {kind}\n")


def main():
    with open(os.path.join(HERE, "geoid_conversions.txt"), "w", encoding="ascii") as out:
        out.write("# Heights above a geoid: model system settings B L h x y H tolerance source\n"
                  "# B L (packed DMS) h (ellipsoidal, m) of the system's datum; x y H the same\n"
                  "# point in the system, H = h - N above the model (egm96 by name, or a file of\n"
                  "# tests/data/geoid/). tolerance in metres.\n"
                  f"# Made by make_geoid_conversions.py with PROJ {pyproj.proj_version_str}.\n")
        out.write("\n".join(conversion_lines()) + "\n")
    write_corridor(corridor())


if __name__ == "__main__":
    main()
