#!/usr/bin/python3
"""Writes the small geoid grids of tests/data/geoid/ and their reference
undulations, geoid_reference.txt, for the grid tests.

The grids hold made-up undulations (a smooth surface plus a ripple, rounded
to 0.1 mm) in every format the program reads:

  regional.gtx          17 x 21 nodes, 30..32 N, 119..121.5 E, step 0.125
                        degrees, with a hole of 2 x 2 no-data nodes
  regional_v2.isg       the same nodes, ISG 2.0, bounds on the nodes, degrees
  regional_dms.isg      the same, ISG 2.0, bounds on the cell borders in
                        DMS, rows south to north and east to west, each row
                        over several lines
  regional_v1.isg       the same, ISG 1.0 (bounds on the cell borders)
  regional_tiled.tif    the same, GeoTIFF, pixel-is-point, 16 x 16 tiles,
                        deflate with the floating-point predictor, no-data
                        -32768 in GDAL_NODATA
  regional_strips.tif   the same, GeoTIFF, pixel-is-area, strips of 4 rows,
                        uncompressed
  regional_bottomup.tif the same, GeoTIFF stored south row first (a
                        transformation matrix instead of tie point and scale)
  global_0360.gtx       a whole-earth grid, 10 degrees, longitudes 0..350
  global.tif            a whole-earth GeoTIFF, 10-degree cells centred on
                        -175..175 and -85..85 (pixel-is-area)

The reference undulations come from PROJ's vgridshift (through pyproj) on
the GTX and GeoTIFF files; the ISG files hold the very same float32 values
at the same nodes, so their references are those of regional.gtx. As a check
on the ISG header conventions, GDAL reads regional_v1.isg (it takes ISG
bounds as cell borders) and the script asserts that it finds the same nodes
and values.

Where a node that carries weight in the interpolation holds no data, PROJ
interpolates the others; this program refuses the point, so the line says
'nodata' (PROJ's value follows in the source column). Points PROJ finds
outside the grid say 'outside'.

Needs Debian's python3-pyproj and python3-gdal (PROJ and GDAL serve only to
make these files; nothing in the build or at run time uses them). Run it by
hand when grids or points change, never from the build:

    /usr/bin/python3 tests/data/make_geoid_grids.py
"""
import math
import os
import random
import struct
import subprocess
import sys
import tempfile

import numpy as np
import pyproj
from osgeo import gdal, osr

HERE = os.path.dirname(os.path.abspath(__file__))
GRIDS = os.path.join(HERE, "geoid")
REFERENCE = os.path.join(HERE, "geoid_reference.txt")

gdal.UseExceptions()

# ---- the regional grid ----
SOUTH, WEST, STEP = 30.0, 119.0, 0.125
ROWS, COLS = 17, 21
HOLE = {(10, 14), (10, 15), (11, 14), (11, 15)}  # (row from south, column)


def regional_values():
    """Rows south to north, each west to east; None where there is no data."""
    rows = []
    for i in range(ROWS):
        lat = SOUTH + i * STEP
        row = []
        for j in range(COLS):
            lon = WEST + j * STEP
            if (i, j) in HOLE:
                row.append(None)
                continue
            v = (8.0 + 3.0 * math.sin(math.radians(lat) * 7.0) * math.cos(math.radians(lon) * 5.0)
                 + 0.37 * math.sin(i * 1.7 + j * 0.9) + 0.05 * (i - j))
            row.append(float(np.float32(round(v, 4))))
        rows.append(row)
    return rows


def f32(v):
    return float(np.float32(v))


def write_gtx(path, south, west, dlat, dlon, rows, nodata):
    with open(path, "wb") as out:
        out.write(struct.pack(">4d2i", south, west, dlat, dlon, len(rows), len(rows[0])))
        for row in rows:
            out.write(b"".join(struct.pack(">f", nodata if v is None else v) for v in row))


def isg_text(v, nodata="-9999.0000"):
    return nodata if v is None else f"{v:.4f}"


def dms(value):
    sign = "-" if value < 0 else ""
    seconds = round(abs(value) * 3600)
    return f"{sign}{seconds // 3600}\u00b0{seconds // 60 % 60:02d}'{seconds % 60:02d}\""


def isg_header(version, fields, comment):
    lines = [comment, "", "begin_of_head ================================================"]
    for key, sep, value in fields:
        lines.append(f"{key:<15}{sep} {value}")
    if version:
        lines.append(f"{'ISG format':<15}=         {version}")
    lines.append("end_of_head ==================================================")
    return "\n".join(lines) + "\n"


def write_isg_v2(path, rows):
    fields = [
        ("model name", ":", "ZELK-TEST"), ("model year", ":", "2024"),
        ("model type", ":", "synthetic"), ("data type", ":", "geoid"),
        ("data units", ":", "meters"), ("data format", ":", "grid"),
        ("data ordering", ":", "N-to-S, W-to-E"), ("ref ellipsoid", ":", "GRS80"),
        ("ref frame", ":", "ITRF2014"), ("height datum", ":", "---"),
        ("tide system", ":", "mean-tide"), ("coord type", ":", "geodetic"),
        ("coord units", ":", "deg"), ("map projection", ":", "---"), ("EPSG code", ":", "7912"),
        ("lat min", "=", f"{SOUTH:.6f}"), ("lat max", "=", f"{SOUTH + (ROWS - 1) * STEP:.6f}"),
        ("lon min", "=", f"{WEST:.6f}"), ("lon max", "=", f"{WEST + (COLS - 1) * STEP:.6f}"),
        ("delta lat", "=", f"{STEP:.6f}"), ("delta lon", "=", f"{STEP:.6f}"),
        ("nrows", "=", f"{ROWS:11d}"), ("ncols", "=", f"{COLS:11d}"),
        ("nodata", "=", "-9999.0000"), ("creation date", "=", "01/01/2024"),
    ]
    text = isg_header("2.0", fields, "A made-up geoid for the tests of ZELK: bounds on the nodes.")
    for row in reversed(rows):
        text += " ".join(f"{isg_text(v):>10}" for v in row) + "\n"
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)


def write_isg_dms(path, rows):
    half = STEP / 2
    fields = [
        ("model name", ":", "ZELK-TEST-DMS"), ("data type", ":", "geoid"),
        ("data units", ":", "meters"), ("data format", ":", "grid"),
        ("data ordering", ":", "S-to-N, E-to-W"), ("ref ellipsoid", ":", "GRS80"),
        ("coord type", ":", "geodetic"), ("coord units", ":", "dms"),
        ("lat min", "=", dms(SOUTH - half)), ("lat max", "=", dms(SOUTH + (ROWS - 1) * STEP + half)),
        ("lon min", "=", dms(WEST - half)), ("lon max", "=", dms(WEST + (COLS - 1) * STEP + half)),
        ("delta lat", "=", dms(STEP)), ("delta lon", "=", dms(STEP)),
        ("nrows", "=", f"{ROWS:11d}"), ("ncols", "=", f"{COLS:11d}"),
        ("nodata", "=", "-9999.0000"),
    ]
    text = isg_header("2.0", fields,
                      "A made-up geoid: bounds on the cell borders, rows from the south, east first.")
    for row in rows:
        values = [f"{isg_text(v):>10}" for v in reversed(row)]
        for start in range(0, len(values), 8):
            text += " ".join(values[start:start + 8]) + "\n"
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)


def write_isg_v1(path, rows):
    half = STEP / 2
    fields = [
        ("model name", ":", "ZELK-TEST-V1"), ("model type", ":", "synthetic"),
        ("units", ":", "meters"), ("reference", ":", "GRS80"),
        ("lat min", "=", f"{SOUTH - half:.6f}"), ("lat max", "=", f"{SOUTH + (ROWS - 1) * STEP + half:.6f}"),
        ("lon min", "=", f"{WEST - half:.6f}"), ("lon max", "=", f"{WEST + (COLS - 1) * STEP + half:.6f}"),
        ("delta lat", "=", f"{STEP:.6f}"), ("delta lon", "=", f"{STEP:.6f}"),
        ("nrows", "=", f"{ROWS:11d}"), ("ncols", "=", f"{COLS:11d}"),
        ("nodata", "=", "-9999.0000"),
    ]
    text = isg_header("1.0", fields, "A made-up geoid in the first ISG format.")
    for row in reversed(rows):
        text += " ".join(f"{isg_text(v):>10}" for v in row) + "\n"
    with open(path, "w", encoding="ascii") as out:
        out.write(text)


def write_tiff(path, rows, west, north_node, dlon, dlat, point, options, nodata=-32768.0,
               bottom_up=False):
    """rows: south to north. north_node: latitude of the northern node row."""
    height, width = len(rows), len(rows[0])
    data = np.array([[nodata if v is None else v for v in row] for row in rows], dtype=np.float32)
    if bottom_up:
        # South row first, positive latitude step: GDAL writes a
        # transformation matrix.
        south_node = north_node - (height - 1) * dlat
        gt = [west - dlon / 2, dlon, 0, south_node - dlat / 2, 0, dlat]
    else:
        data = data[::-1]
        gt = [west - dlon / 2, dlon, 0, north_node + dlat / 2, 0, -dlat]
    mem = gdal.GetDriverByName("MEM").Create("", width, height, 1, gdal.GDT_Float32)
    mem.SetGeoTransform(gt)
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(4326)
    mem.SetProjection(srs.ExportToWkt())
    mem.SetMetadataItem("AREA_OR_POINT", "Point" if point else "Area")
    band = mem.GetRasterBand(1)
    band.WriteArray(data)
    if nodata is not None:
        band.SetNoDataValue(nodata)
    gdal.GetDriverByName("GTiff").CreateCopy(path, mem, options=options)


# ---- the whole-earth grids ----
def global_value(lat, lon):
    return float(np.float32(round(10.0 * math.cos(math.radians(lat)) * math.sin(math.radians(lon) * 2.0)
                                  + 0.02 * lat + 5.0, 4)))


def global_0360_rows():
    return [[global_value(-90 + 10 * i, 10 * j) for j in range(36)] for i in range(19)]


def global_tif_rows():
    return [[global_value(-85 + 10 * i, -175 + 10 * j) for j in range(36)] for i in range(18)]


# ---- reference points ----
def vgridshift(grid_path):
    return pyproj.Transformer.from_pipeline(
        f"+proj=vgridshift +grids={grid_path} +multiplier=1")


def proj_value(transformer, lat, lon):
    _, _, z = transformer.transform(lon, lat, 0.0, errcheck=False)
    return None if (z is None or math.isinf(z) or math.isnan(z)) else z


def node_weights(lat, lon, south, west, dlat, dlon, rows, cols, wraps):
    """The nodes (row, column) that carry weight for a point, as this program
    takes them; None when the point is outside."""
    gy = (lat - south) / dlat
    if not (0 <= gy <= rows - 1):
        return None
    x = lon - west
    if wraps:
        x = math.fmod(x, 360.0)
        if x < 0:
            x += 360.0
    else:
        if x < 0:
            x += 360.0
        elif x > (cols - 1) * dlon:
            x -= 360.0
    gx = x / dlon
    if not wraps and not (0 <= gx <= cols - 1):
        return None
    ix, iy = math.floor(gx), math.floor(gy)
    tx, ty = gx - ix, gy - iy
    ix2 = ix + 1
    if ix2 >= cols:
        ix2 = 0 if wraps else cols - 1
    iy2 = min(iy + 1, rows - 1)
    nodes = []
    for (r, c, w) in ((iy, ix, (1 - tx) * (1 - ty)), (iy, ix2, tx * (1 - ty)),
                      (iy2, ix, (1 - tx) * ty), (iy2, ix2, tx * ty)):
        if w != 0:
            nodes.append((r, c))
    return nodes


def regional_points():
    rnd = random.Random(20240523)
    pts = []
    for _ in range(40):  # inside, anywhere
        pts.append((rnd.uniform(SOUTH, SOUTH + 2), rnd.uniform(WEST, WEST + 2.5)))
    pts += [
        (30.0, 119.0), (32.0, 121.5), (30.0, 121.5), (32.0, 119.0),  # corners
        (30.0, 120.3), (32.0, 120.3), (31.1, 119.0), (31.1, 121.5),  # edges
        (31.0, 120.0), (31.125, 120.25), (30.5, 120.1875),  # a node, cell borders
        (29.99, 120.0), (32.01, 120.0), (31.0, 118.99), (31.0, 121.51),  # just outside
        (-31.0, 120.0), (31.0, -120.0), (31.0, 300.0),  # far outside
        (31.0, 479.5), (31.0, -239.5),  # a turn either way: inside
        # about the hole of rows 10..11, columns 14..15 (31.25..31.375 N, 120.75..120.875 E)
        (31.3, 120.8), (31.2, 120.7), (31.2, 120.8), (31.3, 120.95), (31.45, 120.8),
        (31.1, 120.6), (31.45, 120.95), (31.5, 120.8), (31.25, 120.7),
        (31.125, 120.75), (31.3, 120.625), (31.3, 121.0),
    ]
    return pts


def global_points():
    pts = []
    for lat in (-90.0, -85.0, -60.5, -3.25, 0.0, 12.5, 44.9, 85.0, 89.0, 90.0):
        for lon in (-180.0, -179.99, -175.0, -172.5, -5.0, -0.01, 0.0, 0.01, 5.0, 172.5,
                    175.0, 179.99, 180.0, 355.0, 359.99, 360.0, 545.0, -365.0):
            pts.append((lat, lon))
    return pts


def egm96_points():
    rnd = random.Random(96)
    pts = [(rnd.uniform(18.0, 54.0), rnd.uniform(73.0, 135.0)) for _ in range(30)]
    pts += [(39.9, 116.4), (31.23, 121.47), (29.65, 91.11), (30.0, 120.0),
            (0.0, 179.9), (0.0, -179.9), (0.0, 180.0), (-45.0, 179.875), (10.0, -0.1),
            (90.0, 0.0), (-90.0, 45.0), (89.9, 100.0), (-89.95, -170.0)]
    return pts


def fmt(v):
    return f"{v:.10f}".rstrip("0").rstrip(".") if v is not None else "-"


def main():
    os.makedirs(GRIDS, exist_ok=True)
    rows = regional_values()
    GTX_NODATA = -88.8888
    north_node = SOUTH + (ROWS - 1) * STEP
    write_gtx(os.path.join(GRIDS, "regional.gtx"), SOUTH, WEST, STEP, STEP, rows, GTX_NODATA)
    write_isg_v2(os.path.join(GRIDS, "regional_v2.isg"), rows)
    write_isg_dms(os.path.join(GRIDS, "regional_dms.isg"), rows)
    write_isg_v1(os.path.join(GRIDS, "regional_v1.isg"), rows)
    write_tiff(os.path.join(GRIDS, "regional_tiled.tif"), rows, WEST, north_node, STEP, STEP, True,
               ["TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", "COMPRESS=DEFLATE", "PREDICTOR=3"])
    write_tiff(os.path.join(GRIDS, "regional_strips.tif"), rows, WEST, north_node, STEP, STEP, False,
               ["BLOCKYSIZE=4", "COMPRESS=NONE"])
    write_tiff(os.path.join(GRIDS, "regional_bottomup.tif"), rows, WEST, north_node, STEP, STEP,
               False, ["COMPRESS=LZW"], bottom_up=True)
    grows = global_0360_rows()
    write_gtx(os.path.join(GRIDS, "global_0360.gtx"), -90.0, 0.0, 10.0, 10.0, grows, GTX_NODATA)
    trows = global_tif_rows()
    write_tiff(os.path.join(GRIDS, "global.tif"), trows, -175.0, 85.0, 10.0, 10.0, False,
               ["TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", "COMPRESS=DEFLATE"], nodata=None)

    # GDAL's reading of the ISG 1.0 file (bounds on the cell borders) must
    # find our nodes. (GDAL 3.6 reads neither DMS nor bounds on the nodes.)
    for name in ("regional_v1.isg",):
        ds = gdal.Open(os.path.join(GRIDS, name))
        gt = ds.GetGeoTransform()
        arr = ds.GetRasterBand(1).ReadAsArray()
        assert abs(gt[0] + gt[1] / 2 - WEST) < 1e-9 and abs(gt[3] + gt[5] / 2 - north_node) < 1e-9, (name, gt)
        for i in range(ROWS):
            for j in range(COLS):
                v = rows[i][j]
                got = float(arr[ROWS - 1 - i][j])
                assert (v is None and got == -9999.0) or got == v, (name, i, j, v, got)

    lines = []
    lines.append("# Reference geoid undulations: grid latitude longitude N tolerance source")
    lines.append("# grid: a file of tests/data/geoid/, or egm96 (the model by name, from")
    lines.append("# proj-data). latitude, longitude in degrees; N in metres, or 'outside'")
    lines.append("# (the point is refused as outside the grid) or 'nodata' (refused: a node")
    lines.append("# carrying weight holds no data). tolerance in metres.")
    lines.append(f"# Made by make_geoid_grids.py with PROJ {pyproj.proj_version_str} vgridshift"
                 f" (pyproj {pyproj.__version__}).")
    TOL = "0.000001"

    def emit(grid_name, grid_path, pts, geometry, holes, source_note=""):
        t = vgridshift(grid_path)
        for lat, lon in pts:
            lat, lon = float(fmt(lat)), float(fmt(lon))  # the point as written
            value = proj_value(t, lat, lon)
            nodes = node_weights(lat, lon, *geometry)
            if nodes is None:
                expected, source = "outside", "PROJ vgridshift: " + ("outside" if value is None else fmt(value))
                if value is not None:
                    sys.exit(f"{grid_name} {lat} {lon}: PROJ gives {value} where this program refuses")
            elif any(n in holes for n in nodes):
                expected, source = "nodata", "PROJ vgridshift interpolates the other nodes: " + fmt(value)
            else:
                if value is None:
                    sys.exit(f"{grid_name} {lat} {lon}: PROJ refuses a point inside")
                expected, source = fmt(value), "PROJ vgridshift"
            lines.append(f"{grid_name} {fmt(lat)} {fmt(lon)} {expected} {TOL} {source}{source_note}")

    regional_geometry = (SOUTH, WEST, STEP, STEP, ROWS, COLS, False)
    reg = regional_points()
    emit("regional.gtx", os.path.join(GRIDS, "regional.gtx"), reg, regional_geometry, HOLE)
    for name in ("regional_v2.isg", "regional_dms.isg", "regional_v1.isg"):
        emit(name, os.path.join(GRIDS, "regional.gtx"), reg, regional_geometry, HOLE,
             " on regional.gtx (the same float32 nodes)")
    for name in ("regional_tiled.tif", "regional_strips.tif", "regional_bottomup.tif"):
        emit(name, os.path.join(GRIDS, name), reg, regional_geometry, HOLE)
    emit("global_0360.gtx", os.path.join(GRIDS, "global_0360.gtx"), global_points(),
         (-90.0, 0.0, 10.0, 10.0, 19, 36, True), set())
    emit("global.tif", os.path.join(GRIDS, "global.tif"), global_points(),
         (-85.0, -175.0, 10.0, 10.0, 18, 36, True), set())
    emit("egm96", "egm96_15.gtx", egm96_points(), (-90.0, -180.0, 0.25, 0.25, 721, 1440, True), set())

    with open(REFERENCE, "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
