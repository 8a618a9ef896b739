#!/usr/bin/python3
"""Writes system_reference.txt: points of the system files in
tests/data/systems, converted by PROJ, for the test that converts them with
ZELK both ways (within 1 mm).

Each system is taken as its definition says, independently of ZELK: PROJ's
transverse Mercator with the file's k0, false easting and northing on the
datum's ellipsoid, then the projection plane in Python,
    x' = x0 + (1 + q)(x - x0),  y' = y0 + (1 + q)(y - y0),
    q = H0 / R,  R = sqrt(M N) = a sqrt(1 - e2) / (1 - e2 sin2 B) at the
    plane latitude.
Points: a grid of 5 x 5 over +-0.4 degrees around the central meridian and
the plane latitude. Needs Debian's python3-pyproj; run it by hand when a
system or a point is added, never from the build:

    /usr/bin/python3 tests/data/make_system_reference.py > tests/data/system_reference.txt
"""
import math
import os
from decimal import Decimal

import pyproj
from packed_dms import degrees

HERE = os.path.dirname(os.path.abspath(__file__))
DATUMS = {  # the defining ellipsoids, as PROJ and EPSG give them
    "cgcs2000": (6378137.0, 298.257222101),
    "xian80": (6378140.0, 298.257),
    "beijing54": (6378245.0, 298.3),
    "wgs84": (6378137.0, 298.257223563),
}
TOLERANCE = 0.001  # metres


def definition(path):
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            key, value = line.split("=", 1)
            value = value.split(" #")[0].strip()
            values[key.strip()] = value
    return values


def packed(value):
    """Decimal degrees -> packed text to 0.0001 second (never a whole minute)."""
    tenths = round(abs(value) * 36000000)
    d, rest = divmod(tenths, 36000000)
    m, s = divmod(rest, 600000)
    if s % 10000 == 0:
        s += 1234
    text = f"{'-' if value < 0 else ''}{d}.{m:02d}{s:06d}"
    return text, degrees(text)


def main():
    print("# Points of the system files in tests/data/systems, converted by PROJ:")
    print("#   file  B L H (packed DMS, m, on the system's datum)  x y H (the system's grid)  tolerance-in-metres  source")
    print("# PROJ's tmerc with the file's k0 and false origin, then the projection plane")
    print("# x' = x0 + (1 + q)(x - x0), y' = y0 + (1 + q)(y - y0), q = H0 / sqrt(M N).")
    print(f"# Made by make_system_reference.py with PROJ {pyproj.proj_version_str}.")
    folder = os.path.join(HERE, "systems")
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".crs"):
            continue
        d = definition(os.path.join(folder, name))
        a, rf = (float(d["a"]), float(d["rf"])) if "a" in d else DATUMS[d["datum"]]
        lon0 = degrees(d["meridian"])
        k0 = float(d.get("k0", "1"))
        fe = float(d.get("false-easting", "500000"))
        fn = float(d.get("false-northing", "0"))
        h0 = float(d.get("plane-height", "0"))
        lat_p = degrees(d.get("plane-latitude", "0"))
        x0, y0 = (float(v) for v in d.get("plane-origin", f"0,{fe}").split(","))
        e2 = (2 - 1 / rf) / rf
        s = math.sin(math.radians(lat_p))
        q = h0 / (a * math.sqrt(1 - e2) / (1 - e2 * s * s))
        tm = pyproj.Transformer.from_pipeline(
            f"+proj=tmerc +lat_0=0 +lon_0={lon0!r} +k={k0!r} +x_0={fe!r} +y_0={fn!r} +a={a!r} +rf={rf!r}")
        for i in range(5):
            for j in range(5):
                B, bd = packed(lat_p - 0.4 + 0.2 * i + 0.013)
                L, ld = packed(lon0 - 0.4 + 0.2 * j + 0.007)
                east, north = tm.transform(ld, bd)
                x = x0 + (1 + q) * (north - x0)
                y = y0 + (1 + q) * (east - y0)
                h = 100.0 + 10 * i
                print(f"{name} {B} {L} {h} {x:.4f} {y:.4f} {h} {TOLERANCE} PROJ-tmerc+plane")


if __name__ == "__main__":
    main()
