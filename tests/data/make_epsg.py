#!/usr/bin/python3
"""The EPSG codes ZELK converts, from PROJ's EPSG database.

    make_epsg.py table > workflow/epsg_systems.inc
        writes the table the programs are built with: each code, the ZELK
        system it is (catalogue name, meridian or zone, false northing) and
        its name as EPSG spells it;
    make_epsg.py check workflow/epsg_systems.inc
        checks every row of that file against PROJ (the test epsg_table runs
        this; exit status 77, skipped, without pyproj), and that every code
        of the ranges below is there;
    make_epsg.py reference > tests/data/epsg_reference.txt
        writes points converted by PROJ into every code of the table, for
        the test that converts them with ZELK (1 mm).

Needs Debian's python3-pyproj; PROJ is used here only, never by the
programs. Run it with /usr/bin/python3 from the repository.
"""
import re
import sys
from decimal import Decimal

try:
    import pyproj
except ImportError:  # the check is skipped where PROJ is not installed
    print("pyproj is not installed: nothing checked", file=sys.stderr)
    sys.exit(77)

# The codes, by the national systems ZELK has.
RANGES = [
    (4490, 4490), (4479, 4479), (4491, 4554),          # CGCS2000
    (4214, 4214), (2401, 2442), (21413, 21423), (21453, 21463),  # Beijing 1954
    (4610, 4610), (2327, 2390),                        # Xian 1980
    (4326, 4326), (4978, 4978), (32601, 32660), (32701, 32760),  # WGS 84
]

# EPSG's datum names -> ZELK's datums, with the defining ellipsoid.
DATUMS = {
    "China 2000": ("cgcs2000", 6378137.0, 298.257222101),
    "Beijing 1954": ("beijing54", 6378245.0, 298.3),
    "Xian 1980": ("xian80", 6378140.0, 298.257),
    "World Geodetic System 1984 ensemble": ("wgs84", 6378137.0, 298.257223563),
}

ROW = re.compile(r'^\{(\d+), "([a-z0-9-]+)", Zoning::(Meridian|Zone3|Zone6), (-?\d+), (\d+), "([^"]*)"\},$')


def codes():
    for first, last in RANGES:
        yield from range(first, last + 1)


def describe(code):
    """(system, zoning, meridian or zone, false northing, name) of a code,
    from PROJ; raises ValueError for what ZELK cannot express."""
    crs = pyproj.CRS.from_epsg(code)
    datum, a, rf = DATUMS[crs.datum.name]
    if crs.ellipsoid.semi_major_metre != a or crs.ellipsoid.inverse_flattening != rf:
        raise ValueError(f"EPSG:{code}: ellipsoid {crs.ellipsoid.name} is not ZELK's {datum}")
    if crs.is_geographic:
        return (f"{datum}-geodetic", "Meridian", 0, 0, crs.name)
    if crs.is_geocentric:
        return (f"{datum}-xyz", "Meridian", 0, 0, crs.name)
    op = crs.coordinate_operation
    if op.method_code != "9807":
        raise ValueError(f"EPSG:{code}: {op.method_name} is not a transverse Mercator")
    p = {param.code: param.value for param in op.params}
    lat0, lon0, k, fe, fn = p["8801"], p["8802"], p["8805"], p["8806"], p["8807"]
    if lat0 != 0 or lon0 != int(lon0) or fn not in (0, 10000000):
        raise ValueError(f"EPSG:{code}: origin {lat0} {lon0} {fn} is not ZELK's")
    utm = datum == "wgs84"
    if k != (0.9996 if utm else 1.0):
        raise ValueError(f"EPSG:{code}: scale {k}")
    system = "wgs84-utm" if utm else f"{datum}-gauss"
    if fe == 500000:
        return (system, "Meridian", int(lon0), int(fn), crs.name)
    zone, rest = divmod(int(fe), 1000000)
    if utm or rest != 500000 or fe != int(fe):
        raise ValueError(f"EPSG:{code}: false easting {fe}")
    if lon0 == 3 * zone:
        return (system, "Zone3", zone, int(fn), crs.name)
    if lon0 == 6 * zone - 3:
        return (system, "Zone6", zone, int(fn), crs.name)
    raise ValueError(f"EPSG:{code}: zone {zone} is not on {lon0}")


def row(code, d):
    return '{%d, "%s", Zoning::%s, %d, %d, "%s"},' % ((code,) + d)


def table():
    print(f"// The EPSG codes ZELK converts, made by tests/data/make_epsg.py table from the")
    print(f"// EPSG database of PROJ {pyproj.proj_version_str}; the test epsg_table checks every row.")
    print("// code, ZELK system, zoning, central meridian (degrees) or zone, false")
    print("// northing (m), name as EPSG spells it")
    for code in codes():
        print(row(code, describe(code)))


def check(path):
    rows = {}
    faults = 0
    with open(path, encoding="utf-8") as f:
        for number, text in enumerate(f, 1):
            text = text.rstrip("\n")
            if not text or text.startswith("//"):
                continue
            m = ROW.match(text)
            if not m:
                print(f"{path}:{number}: not a row: {text}")
                faults += 1
                continue
            code = int(m.group(1))
            got = (m.group(2), m.group(3), int(m.group(4)), int(m.group(5)), m.group(6))
            try:
                want = describe(code)
            except (ValueError, KeyError, pyproj.exceptions.CRSError) as e:
                print(f"{path}:{number}: {e}")
                faults += 1
                continue
            if got != want:
                print(f"{path}:{number}: EPSG:{code} is {want} in PROJ {pyproj.proj_version_str}, the row says {got}")
                faults += 1
            if code in rows:
                print(f"{path}:{number}: EPSG:{code} a second time")
                faults += 1
            rows[code] = number
    for code in codes():
        if code not in rows:
            print(f"{path}: EPSG:{code} is missing")
            faults += 1
    print(f"{len(rows)} rows checked against PROJ {pyproj.proj_version_str}: {faults} faults")
    return 1 if faults else 0


def packed(degrees):
    """Decimal degrees -> packed D.MMSSssss text, seconds to 0.0001 (never a
    whole minute), and the exact degrees that text means."""
    sign = "-" if degrees < 0 else ""
    tenths = round(abs(degrees) * 36000000)  # in 0.0001 seconds
    d, rest = divmod(tenths, 36000000)
    m, s = divmod(rest, 600000)
    if s % 10000 == 0:
        s += 1234
    text = f"{sign}{d}.{m:02d}{s:06d}"
    exact = Decimal(d) + Decimal(m) / 60 + Decimal(s) / Decimal(36000000)
    return text, float(-exact if sign else exact)


def reference():
    print("# Points converted by PROJ into every EPSG code of workflow/epsg_systems.inc:")
    print("#   code  B L H (packed DMS, m, on the code's datum)  a b c  tolerance-in-metres  source")
    print("# a b c: x y H for a projected code, X Y Z for a geodetic or geocentric one.")
    print(f"# Made by make_epsg.py reference with PROJ {pyproj.proj_version_str}.")
    for code in codes():
        crs = pyproj.CRS.from_epsg(code)
        system, zoning, value, fn, name = describe(code)
        ellipsoid = crs.ellipsoid
        if crs.is_projected:
            lon0 = crs.coordinate_operation.params[1].value
            reach = 1.45 if zoning == "Zone3" or "3-degree" in name else 2.95
            south = fn == 10000000
            places = [(-reach, 22.3), (0.37, 36.7), (reach, 50.2)]
            if system == "wgs84-utm":
                places = [(-reach, -8.1), (0.37, -41.9), (reach, -79.6)] if south else \
                         [(-reach, 4.2), (0.37, 45.6), (reach, 83.4)]
            to = pyproj.Transformer.from_crs(crs.geodetic_crs, crs, always_xy=True)
            for dl, b in places:
                B, bd = packed(b)
                L, ld = packed(lon0 + dl)
                e, n = to.transform(ld, bd)
                print(f"{code} {B} {L} 35.5 {n:.4f} {e:.4f} 35.5 0.001 PROJ-EPSG:{code}")
        else:
            cart = pyproj.Transformer.from_pipeline(
                f"+proj=cart +a={ellipsoid.semi_major_metre} +rf={ellipsoid.inverse_flattening}")
            for b, l, h in [(39.9, 116.4, 52.0), (23.1, 113.3, 8.5), (-33.9, 18.4, 1500.0)]:
                B, bd = packed(b)
                L, ld = packed(l)
                X, Y, Z = cart.transform(ld, bd, h)
                print(f"{code} {B} {L} {h} {X:.4f} {Y:.4f} {Z:.4f} 0.001 PROJ-cart-EPSG:{code}")


if __name__ == "__main__":
    mode = sys.argv[1] if len(sys.argv) > 1 else ""
    if mode == "table":
        table()
    elif mode == "check" and len(sys.argv) == 3:
        sys.exit(check(sys.argv[2]))
    elif mode == "reference":
        reference()
    else:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
