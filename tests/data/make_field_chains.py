#!/usr/bin/python3
"""Writes the data of the field workflows: the two-stage worked example of
examples/ (RTK points on WGS84 through seven parameters to Beijing 1954, then
a four-parameter calibration to a city's local grid) and field_chains.txt, the
ground truth the tests hold the programs to. Coordinates come from PROJ
(geocentric cartesian, the Helmert step, the exact transverse Mercator); the
site calibrations are plain arithmetic. Needs Debian's python3-pyproj; run it
by hand, never from the build:

    /usr/bin/python3 tests/data/make_field_chains.py examples tests/data/field_chains.txt

Files written in the examples folder: stage1-wgs84.csv, stage1-bj54-xyz.csv,
stage2-pairs.txt, rtk-new.txt, three-pair.txt, three-new.txt.
"""
import math
import random
import sys
from decimal import Decimal

import pyproj
from packed_dms import degrees as unpacked

WGS84 = "+ellps=WGS84"
KRASS = "+ellps=krass"

# Seven parameters WGS84 -> Beijing 1954, coordinate frame (m, ppm, arc-seconds).
# Rotations of about an arc-second: the estimate's linearisation at the target
# point (bursa/estimate.h) shifts every point it converts by about (K + the
# rotations) times the datum shift, here under a millimetre.
SEVEN = dict(x=-12.637, y=101.714, z=58.423, s=1.218, rx=-0.352, ry=-0.476, rz=0.818)
# The city grid: four parameters from Beijing 1954 Gauss 117 and a fixed
# height difference zeta = H(Beijing 1954) - H(local).
ALPHA = math.radians(25 / 60 + 17.3 / 3600)
SCALE = 1.0000183
ZETA = 6.834
ORIGIN = (4372000.0, 487000.0)   # Beijing 1954 x y of the local (30000, 50000)
LOCAL0 = (30000.0, 50000.0)

# Three parameters: a pure shift WGS84 -> Beijing 1954 X Y Z.
SHIFT = (-18.217, 110.486, 47.903)


def packed(degrees, decimals=10):
    """Decimal degrees -> packed DMS text ddd.mmss with `decimals` decimals."""
    sign = "-" if degrees < 0 else ""
    d = Decimal(repr(abs(degrees)))
    whole = int(d)
    minutes_all = (d - whole) * 60
    minutes = int(minutes_all)
    seconds = (minutes_all - minutes) * 60
    value = Decimal(whole) + Decimal(minutes) / 100 + seconds / 10000
    return sign + format(value.quantize(Decimal(1).scaleb(-decimals)), "f")


def pipe(text):
    return pyproj.Transformer.from_pipeline(text)


CART84 = pipe(f"+proj=cart {WGS84}")
HELMERT = pipe("+proj=helmert +convention=coordinate_frame " +
               " ".join(f"+{k}={v}" for k, v in SEVEN.items()))
CART54 = pipe(f"+proj=cart {KRASS}")
GAUSS117 = pipe(f"+proj=tmerc +lat_0=0 +lon_0=117 +k=1 +x_0=500000 +y_0=0 {KRASS}")
GAUSS120 = pipe(f"+proj=tmerc +lat_0=0 +lon_0=120 +k=1 +x_0=500000 +y_0=0 {KRASS}")


def bj54_xyz(B, L, H):
    X, Y, Z = CART84.transform(L, B, H)
    return HELMERT.transform(X, Y, Z)


def bj54_gauss(X, Y, Z):
    L, B, H = CART54.transform(X, Y, Z, direction="INVERSE")
    e, n = GAUSS117.transform(L, B)
    return n, e, H


def local(x, y, H):
    dx, dy = x - ORIGIN[0], y - ORIGIN[1]
    a, b = SCALE * math.cos(ALPHA), SCALE * math.sin(ALPHA)
    return LOCAL0[0] + a * dx - b * dy, LOCAL0[1] + b * dx + a * dy, H - ZETA


def m3(v):
    return f"{v:.3f}"


def m4(v):
    return f"{v:.4f}"


def main():
    examples, truth_path = sys.argv[1], sys.argv[2]
    rnd = random.Random(24)
    # The county's control network, some 25 km across, around 39.5 N 116.9 E.
    control = {}
    for k in range(1, 9):
        angle = 2 * math.pi * k / 8 + rnd.uniform(-0.2, 0.2)
        B = 39.5 + 0.10 * math.sin(angle) + rnd.uniform(-0.01, 0.01)
        L = 116.9 + 0.13 * math.cos(angle) + rnd.uniform(-0.01, 0.01)
        control[f"C{k:02d}"] = (packed(B), packed(L), f"{rnd.uniform(20, 60):.4f}")
    # Stage 1: the WGS84 file lacks C07, the Beijing 1954 file lacks C08 and
    # lists the others backwards: they pair by name.
    with open(f"{examples}/stage1-wgs84.csv", "w") as f:
        f.write("点名,B,L,H\n")
        for name, (B, L, H) in control.items():
            if name != "C07":
                f.write(f"{name},{B},{L},{H}\n")
    with open(f"{examples}/stage1-bj54-xyz.csv", "w") as f:
        f.write("点名,X,Y,Z\n")
        for name in reversed(list(control)):
            if name == "C08":
                continue
            B, L, H = control[name]
            X, Y, Z = bj54_xyz(unpacked(B), unpacked(L), float(H))
            f.write(f"{name},{m3(X)},{m3(Y)},{m3(Z)}\n")

    # Stage 2: the site control of the city grid, about 4 km across near
    # 39.48 N 116.85 E; S2 and S4 have no local height (plan-only).
    pairs = []
    for k in range(1, 6):
        angle = 2 * math.pi * k / 5 + 0.3
        B = 39.48 + 0.018 * math.sin(angle)
        L = 116.85 + 0.023 * math.cos(angle)
        x, y, H = bj54_gauss(*bj54_xyz(B, L, 30.0 + 4 * k))
        lx, ly, lH = local(x, y, H)
        heightKnown = k not in (2, 4)
        pairs.append((f"S{k}", m3(x), m3(y), m3(H), m3(lx), m3(ly), m3(lH) if heightKnown else "*"))
    with open(f"{examples}/stage2-pairs.txt", "w") as f:
        f.write("# 城市坐标系控制点：点号  北京54高斯(117°) x y H  地方坐标 x y H（S2、S4 没有地方高程）\n")
        for p in pairs:
            f.write(" ".join(p) + "\n")

    # New RTK points inside the site, WGS84, and where they truly are.
    rtk = []
    for k in range(1, 6):
        B = 39.48 + rnd.uniform(-0.012, 0.012)
        L = 116.85 + rnd.uniform(-0.015, 0.015)
        rtk.append((f"R{k:02d}", packed(B), packed(L), f"{rnd.uniform(25, 50):.4f}"))
    with open(f"{examples}/rtk-new.txt", "w") as f:
        for name, B, L, H in rtk:
            f.write(f"{name} {B} {L} {H}\n")

    out = open(truth_path, "w")
    out.write("# Ground truth of the field workflows, written by tests/data/make_field_chains.py\n"
              "# with PROJ " + pyproj.proj_version_str + ". Sections:\n"
              "#   [two-stage] the RTK points of examples/rtk-new.txt on the local grid: name x y H\n"
              "#   [three] a pure shift of X Y Z (WGS84 -> Beijing 1954): the common point, then five\n"
              "#     nearby points, each WGS84 B L H (packed) and Beijing 1954 Gauss 120 x y H\n"
              "#   [plane-height] a site: four parameters and a plane of zeta; pairs of a pair file\n"
              "#     (two plan-only), then check points, each before x y H and after x y H\n")
    out.write("[two-stage]\n")
    for name, B, L, H in rtk:
        x, y, h = bj54_gauss(*bj54_xyz(unpacked(B), unpacked(L), float(H)))
        lx, ly, lH = local(x, y, h)
        out.write(f"{name} {m4(lx)} {m4(ly)} {m4(lH)}\n")

    out.write(f"[three] shift {SHIFT[0]} {SHIFT[1]} {SHIFT[2]}\n")
    three_pair = open(f"{examples}/three-pair.txt", "w")
    three_pair.write("# 一个已知点：点号  WGS84 B L H（度.分秒）  北京54高斯(120°) x y H\n")
    three_new = open(f"{examples}/three-new.txt", "w")
    for k in range(6):
        B = 30.26 + (0 if k == 0 else rnd.uniform(-0.02, 0.02))
        L = 120.17 + (0 if k == 0 else rnd.uniform(-0.02, 0.02))
        H = rnd.uniform(5, 40)
        Bp, Lp = packed(B), packed(L)
        X, Y, Z = CART84.transform(unpacked(Lp), unpacked(Bp), H)
        L54, B54, H54 = CART54.transform(X + SHIFT[0], Y + SHIFT[1], Z + SHIFT[2], direction="INVERSE")
        e, n = GAUSS120.transform(L54, B54)
        # The common point as a surveyor has it: to the millimetre.
        digits = m3 if k == 0 else m4
        out.write(f"{Bp} {Lp} {H:.4f} {digits(n)} {digits(e)} {digits(H54)}\n")
        if k == 0:
            three_pair.write(f"G01 {Bp} {Lp} {H:.4f} {m3(n)} {m3(e)} {m3(H54)}\n")
        else:
            three_new.write(f"N{k} {Bp} {Lp} {H:.4f}\n")
    three_pair.close()
    three_new.close()

    out.write("[plane-height]\n")
    a, b = 1.0000214 * math.cos(-0.0123), 1.0000214 * math.sin(-0.0123)
    def site(x, y, H):
        dx, dy = x - 3542000.0, y - 483000.0
        zeta = 10.35 + 0.042 * dx / 1000 - 0.027 * dy / 1000
        return 21000.0 + a * dx - b * dy, 3500.0 + b * dx + a * dy, H - zeta
    for k in range(8):
        angle = 2 * math.pi * k / 8
        x = 3542000.0 + 1800 * math.sin(angle) + rnd.uniform(-150, 150)
        y = 483000.0 + 1800 * math.cos(angle) + rnd.uniform(-150, 150)
        H = rnd.uniform(40, 80)
        lx, ly, lH = site(x, y, H)
        planOnly = k in (2, 5)
        out.write(f"P{k + 1} {m3(x)} {m3(y)} {'*' if planOnly else m3(H)} {m3(lx)} {m3(ly)} "
                  f"{'*' if planOnly else m3(lH)}\n")
    out.write("[plane-height-check]\n")
    for k in range(6):
        x = 3542000.0 + rnd.uniform(-1200, 1200)
        y = 483000.0 + rnd.uniform(-1200, 1200)
        H = rnd.uniform(40, 80)
        lx, ly, lH = site(x, y, H)
        out.write(f"{m4(x)} {m4(y)} {m4(H)} {m4(lx)} {m4(ly)} {m4(lH)}\n")
    out.close()


main()
