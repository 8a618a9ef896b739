#!/usr/bin/python3
"""Writes reference_points.txt: points of every datum in every form, with
coordinates computed by PROJ (exact transverse Mercator, geocentric
cartesian), for the engine's reference test. Needs Debian's python3-pyproj;
run it by hand when points are added, never from the build.

    /usr/bin/python3 tests/data/make_reference_points.py > tests/data/reference_points.txt
"""
from decimal import Decimal
import pyproj
from packed_dms import degrees

ELLIPSOIDS = {
    "wgs84": "+ellps=WGS84",
    "beijing54": "+ellps=krass",
    "xian80": "+a=6378140 +rf=298.257",
    "cgcs2000": "+a=6378137 +rf=298.257222101",
}


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

# Points where series and readers are put to the test: whole minutes (read
# as typed: 35.30 is 35 degrees 30 minutes, 35.2960 is 35 degrees 29 minutes
# 60 seconds, the same), zone edges (an edge belongs to the zone east of
# it), 4.5 to 6 degrees from the meridian (a typed meridian, a zone with
# overlap), and the southern hemisphere (Gauss-Kruger and UTM on a typed
# meridian have no false northing there).
TESTING_POINTS = [
    ("35.30", "117.10", "0", 117),  # whole minutes
    ("35.2960", "117.0960", "0", 117),  # 60 seconds, as typed
    ("30", "115.30", "20", 117),  # 3-degree zone edge 115.5: zone 39
    ("40", "114", "100", 117),  # 6-degree zone edge 114: zone 20
    ("36.3", "126", "5", 123),  # 3-degree edge 124.5, 6-degree edge 126
    ("31.153", "111.30", "50", 117),  # 5.5 degrees west of the meridian
    ("45", "122.45", "0", 117),  # 5.75 degrees east
    ("25.3", "113.0012", "0", 119),  # 5 degrees 59 minutes 48 seconds west
    ("-33.54", "116.18", "10", 117),  # south: Perth
    ("-6.123", "106.49", "0", 105),  # Jakarta
    ("-25.58", "32.35", "40", 33),  # Maputo
    ("-12.03", "-77.02", "150", -75),  # Lima, west of Greenwich
]


def tolerance(datum, B, L, lon0):
    """Metres, both ways: Krüger's series (CGCS2000) to 10 micrometres; the
    original series to 0.5 mm within 3 degrees of the meridian and, beyond
    4.5 degrees, to the 48 mm their reverse is off there."""
    if datum == "cgcs2000":
        return "0.00001"
    return "0.0005" if abs(L - lon0) <= 3 else "0.048"

print("# Reference points: a geodetic point B L H (packed DMS, metres) and its")
print("# coordinates in one system of the same datum, from PROJ.")
print("#   system  settings  B  L  H  a  b  c  tolerance-in-metres  source")
print("# settings: meridian=DMS or zone=3|6 for projected systems, - otherwise.")
print("# Add a line to add a check; no code changes are needed.")
print(f"# Made by make_reference_points.py with PROJ {pyproj.proj_version_str}.")
for datum, ellps in ELLIPSOIDS.items():
    projected = "wgs84-utm" if datum == "wgs84" else f"{datum}-gauss"
    k0 = 0.9996 if datum == "wgs84" else 1
    # Micrometres where the tolerance needs them.
    digits = 6 if datum == "cgcs2000" else 4
    for Bs, Ls, Hs, lon0 in POINTS + TESTING_POINTS:
        B, L, H = degrees(Bs), degrees(Ls), float(Hs)
        x, y = tmerc(ellps, lon0, k0, 500000, B, L)
        print(f"{projected} meridian={lon0} {Bs} {Ls} {Hs} {x:.{digits}f} {y:.{digits}f} {Hs} "
              f"{tolerance(datum, B, L, lon0)} PROJ tmerc")
        if datum != "wgs84":
            for width in (3, 6):
                n = int((L - 1.5) // 3) + 1 if width == 3 else int(L // 6) + 1
                z0 = 3 * n if width == 3 else 6 * n - 3
                if n < 1 or abs(L - z0) > 3:
                    continue
                x, y = tmerc(ellps, z0, 1, n * 1000000 + 500000, B, L)
                print(f"{projected} zone={width} {Bs} {Ls} {Hs} {x:.{digits}f} {y:.{digits}f} {Hs} "
                      f"{tolerance(datum, B, L, z0)} PROJ tmerc")
        X, Y, Z = cart(ellps, B, L, H)
        print(f"{datum}-xyz - {Bs} {Ls} {Hs} {X:.4f} {Y:.4f} {Z:.4f} 0.0002 PROJ cart")
