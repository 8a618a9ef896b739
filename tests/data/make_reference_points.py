#!/usr/bin/python3
"""Writes reference_points.txt: points of every datum in every form, with
coordinates computed by PROJ (exact transverse Mercator, geocentric
cartesian), for the engine's reference test. Needs Debian's python3-pyproj;
run it by hand when points are added, never from the build.

    /usr/bin/python3 tests/data/make_reference_points.py > tests/data/reference_points.txt
"""
from decimal import Decimal
import pyproj

ELLIPSOIDS = {
    "wgs84": "+ellps=WGS84",
    "beijing54": "+ellps=krass",
    "xian80": "+a=6378140 +rf=298.257",
    "cgcs2000": "+a=6378137 +rf=298.257222101",
}


def degrees(packed):
    """Packed DMS text (ddd.mmssfff) -> decimal degrees, exactly."""
    d = Decimal(packed)
    sign = -1 if d < 0 else 1
    d = abs(d)
    whole = int(d)
    rest = (d - whole) * 100
    minutes = int(rest)
    seconds = (rest - minutes) * 100
    return float(sign * (whole + Decimal(minutes) / 60 + seconds / 3600))


def tmerc(ellps, lon0, k0, x0, B, L):
    t = pyproj.Transformer.from_pipeline(
        f"+proj=tmerc +lat_0=0 +lon_0={lon0} +k={k0} +x_0={x0} +y_0=0 {ellps}")
    e, n = t.transform(L, B)
    return n, e


def cart(ellps, B, L, H):
    t = pyproj.Transformer.from_pipeline(f"+proj=cart {ellps}")
    return t.transform(L, B, H)


# Points (packed DMS) spread over China, each within 3 degrees of the
# central meridian used with it.
POINTS = [  # B, L, H, the central meridian used with the point
    ("39.54", "116.18", "0", 117),  # Beijing
    ("32", "106", "0", 105),
    ("18.153", "109.3045", "12.5", 111),  # Hainan
    ("45.45125", "126.380725", "150", 126),
    ("29.3939", "91.0708", "3650.2", 93),  # Lhasa
    ("23.0711", "113.193", "8.75", 114),
    ("43.4822", "87.3645", "800", 87),
    ("36.0412", "120.2318", "77", 120),
    ("30.5", "114.1", "25", 117),  # 2 degrees 50 minutes from the meridian
]

print("# Reference points: a geodetic point B L H (packed DMS, metres) and its")
print("# coordinates in one system of the same datum, from PROJ.")
print("#   system  settings  B  L  H  a  b  c  tolerance-in-metres  source")
print("# settings: meridian=DMS or zone=3|6 for projected systems, - otherwise.")
print("# Add a line to add a check; no code changes are needed.")
print(f"# Made by make_reference_points.py with PROJ {pyproj.proj_version_str}.")
for datum, ellps in ELLIPSOIDS.items():
    projected = "wgs84-utm" if datum == "wgs84" else f"{datum}-gauss"
    k0 = 0.9996 if datum == "wgs84" else 1
    for Bs, Ls, Hs, lon0 in POINTS:
        B, L, H = degrees(Bs), degrees(Ls), float(Hs)
        x, y = tmerc(ellps, lon0, k0, 500000, B, L)
        print(f"{projected} meridian={lon0} {Bs} {Ls} {Hs} {x:.4f} {y:.4f} {Hs} 0.0005 PROJ tmerc")
        if datum != "wgs84":
            for width in (3, 6):
                n = int((L - 1.5) // 3) + 1 if width == 3 else int(L // 6) + 1
                z0 = 3 * n if width == 3 else 6 * n - 3
                if abs(L - z0) > 3:
                    continue
                x, y = tmerc(ellps, z0, 1, n * 1000000 + 500000, B, L)
                print(f"{projected} zone={width} {Bs} {Ls} {Hs} {x:.4f} {y:.4f} {Hs} 0.0005 "
                      "PROJ tmerc")
        X, Y, Z = cart(ellps, B, L, H)
        print(f"{datum}-xyz - {Bs} {Ls} {Hs} {X:.4f} {Y:.4f} {Z:.4f} 0.0002 PROJ cart")
