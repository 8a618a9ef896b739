#!/usr/bin/python3
"""Writes tmerc_reference.txt: points projected by PROJ's transverse Mercator
(its default algorithm, the exact Krueger series) for the engine's projection
test (tests/engine/projection_test.cpp), with the tolerance each of the
engine's series is held to. Needs Debian's python3-pyproj; run it by hand
when points are added, never from the build.

    /usr/bin/python3 tests/data/make_tmerc_reference.py > tests/data/tmerc_reference.txt

Each data line:
    series ellipsoid L0 k0 FE FN B L northing easting forward reverse source
series      kruger (Krueger's series to n^6), gauss (the original
            Gauss-Kruger series) or utm (the original UTM series);
ellipsoid   wgs84, krass, iag75 or cgcs2000 (the engine's datums);
L0 k0 FE FN central meridian (degrees), scale, false easting and northing;
B L         geodetic latitude and longitude in decimal degrees;
northing easting   PROJ's result in metres (0.1 micrometre);
forward     metres the engine's northing and easting may lie from PROJ's;
reverse     metres the engine's reverse of PROJ's northing and easting may
            lie from B L (along the meridian and the parallel);
source      how PROJ was asked.
"""
import random

import pyproj

# Krueger's series is defined by a and the flattening, and is compared with
# PROJ on the datums' defining ellipsoids.
ELLIPSOIDS = {
    "wgs84": "+ellps=WGS84",
    "krass": "+ellps=krass",
    "iag75": "+a=6378140 +rf=298.257",
    "cgcs2000": "+a=6378137 +rf=298.257222101",
}
# The original series compute with a and the published eccentricity e of
# engine/datum.cpp (their b is rounded to 0.1 mm), so PROJ gets the same
# ellipsoid (e^2 = e e): what is measured is the series alone.
ENGINE_E = {"wgs84": 0.081819190928907, "krass": 0.081813333965454,
            "iag75": 0.081819221374409}
ENGINE_A = {"wgs84": 6378137, "krass": 6378245, "iag75": 6378140}


def proj_ellipsoid(series, ellipsoid):
    if series == "kruger" or ellipsoid not in ENGINE_E:
        return ELLIPSOIDS[ellipsoid]
    e = ENGINE_E[ellipsoid]
    return f"+a={ENGINE_A[ellipsoid]} +es={e * e!r}"
VERSION = pyproj.proj_version_str

# The tolerances, in metres. Krueger's series to n^6 agrees with PROJ to far
# below 0.1 mm anywhere within 6 degrees of the meridian. The original
# series: within 3 degrees (the 6-degree zones' edges) at China's latitudes
# 18 to 54 to 0.55 mm both ways (the worst at 54N); from 4.5 to 6 degrees
# (a typed meridian, a zone edge with overlap) to 6 mm forward and 48 mm
# back.
KRUGER = (0.0001, 0.0001)
ORIGINAL_NEAR = (0.00055, 0.00055)
ORIGINAL_FAR = (0.006, 0.048)

lines = []


def tmerc(ellps, lon0, k0, fe, fn, lat, lon):
    t = pyproj.Transformer.from_pipeline(
        f"+proj=tmerc +lat_0=0 +lon_0={lon0} +k={k0} +x_0={fe} +y_0={fn} {ellps}")
    e, n = t.transform(lon, lat)
    return n, e


def text_value(value):
    """The value as written in the file, 9 decimals, read back: PROJ gets what the test reads."""
    return float(f"{value:.9f}")


def line(series, ellipsoid, lon0, k0, fe, fn, lat, lon, tolerances, source=None):
    lat, lon = text_value(lat), text_value(lon)
    ellps = proj_ellipsoid(series, ellipsoid)
    n, e = tmerc(ellps, lon0, k0, fe, fn, lat, lon)
    source = source or f"PROJ {VERSION} +proj=tmerc {ellps}"
    lines.append(f"{series} {ellipsoid} {lon0} {k0} {fe} {fn} {lat:.9f} {lon:.9f} "
                 f"{n:.7f} {e:.7f} {tolerances[0]} {tolerances[1]} {source}")


rng = random.Random(21)
ORIGINAL = {"wgs84": ("utm", 0.9996), "krass": ("gauss", 1), "iag75": ("gauss", 1),
            "cgcs2000": ("gauss", 1)}

# China: 3-degree meridians from 75 to 135, latitudes 18 to 54, within 3
# degrees of the meridian (the zone edges at 1.5 and 3 degrees included),
# and 4.5 to 6 degrees away on either side.
for ellipsoid, (series, k0) in ORIGINAL.items():
    for lat in (18, 30, 42, 54):
        for dl in (-3, -1.5, 1.5, 3):
            lon0 = 117
            line(series, ellipsoid, lon0, k0, 500000, 0, lat, lon0 + dl, ORIGINAL_NEAR)
            line("kruger", ellipsoid, lon0, k0, 500000, 0, lat, lon0 + dl, KRUGER)
    for _ in range(12):
        lon0 = 3 * rng.randint(25, 45)
        lat = rng.uniform(18, 54)
        dl = rng.uniform(-3, 3)
        line(series, ellipsoid, lon0, k0, 500000, 0, lat, lon0 + dl, ORIGINAL_NEAR)
        line("kruger", ellipsoid, lon0, k0, 500000, 0, lat, lon0 + dl, KRUGER)
    for _ in range(12):
        lon0 = 3 * rng.randint(25, 45)
        lat = rng.uniform(18, 54)
        dl = rng.choice((-1, 1)) * rng.uniform(4.5, 6)
        line(series, ellipsoid, lon0, k0, 500000, 0, lat, lon0 + dl, ORIGINAL_FAR)
        line("kruger", ellipsoid, lon0, k0, 500000, 0, lat, lon0 + dl, KRUGER)
    for lat in (18, 54):
        for dl in (-6, 6):
            line(series, ellipsoid, 117, k0, 500000, 0, lat, 117 + dl, ORIGINAL_FAR)
            line("kruger", ellipsoid, 117, k0, 500000, 0, lat, 117 + dl, KRUGER)

# UTM south (false northing 10,000,000 m), by the EPSG codes of WGS 84 /
# UTM zones 50S (meridian 117), 33S (15) and 18S (-75), up to 6 degrees
# from the meridian and down to 80 degrees south.
SOUTH = {  # meridian; places (Perth, Bali; Windhoek, Luanda, Cape Town; Lima, Arequipa, Quito)
    32750: (117, [(-33.9, 116.3), (-31.95, 115.86), (-8.5, 115.2)]),
    32733: (15, [(-22.56, 17.08), (-8.84, 13.23), (-33.92, 18.42)]),
    32718: (-75, [(-12.05, -77.04), (-16.4, -71.54), (-0.22, -78.51)]),
}
for code, (lon0, places) in SOUTH.items():
    to_utm = pyproj.Transformer.from_crs("EPSG:4326", f"EPSG:{code}", always_xy=True)
    points = places + [(-0.5, lon0 + 2.5), (-80, lon0 - 6)]
    points += [(-rng.uniform(0.1, 80), lon0 + rng.uniform(-6, 6)) for _ in range(8)]
    for lat, lon in points:
        lat, lon = text_value(lat), text_value(lon)
        e, n = to_utm.transform(lon, lat)
        lines.append(f"kruger wgs84 {lon0} 0.9996 500000 10000000 {lat:.9f} {lon:.9f} "
                     f"{n:.7f} {e:.7f} {KRUGER[0]} {KRUGER[1]} PROJ {VERSION} EPSG:{code}")

print("# Reference points of the transverse Mercator, from PROJ; see")
print("# make_tmerc_reference.py for the columns and the tolerances.")
print("# series ellipsoid L0 k0 FE FN B L northing easting forward reverse source")
print(f"# Made by make_tmerc_reference.py with PROJ {VERSION}.")
for text in lines:
    print(text)
