#!/usr/bin/python3
"""Writes helmert_inverse.txt: reference values for the inverse of the
seven-parameter step (ApplyBursaInverse, bursa/helmert.h), from PROJ's
helmert in both rotation conventions. Needs Debian's python3-pyproj; run it
by hand, never from the build:

    /usr/bin/python3 tests/data/make_helmert_inverse.py > tests/data/helmert_inverse.txt

Each data line:
    kind convention tx ty tz rx ry rz s X' Y' Z' X Y Z tolerance source
(m, arc-seconds, ppm; earth-centred metres): the inverse of the step with
these parameters takes X' Y' Z' to X Y Z, within tolerance metres.

kind exact: X Y Z is a point and X' Y' Z' what PROJ's forward
    +proj=helmert ... +convention=C makes of it, so X Y Z is the exact
    inverse of PROJ's step at X' Y' Z' (to the 1 micrometre of the printed
    X' Y' Z'). Tolerance 0.1 mm.
kind proj-inv: X Y Z is what PROJ's +inv +proj=helmert gives for X' Y' Z'.
    For the small-angle rotation matrix R = I + W that both programs use,
    PROJ's inverse applies the transpose, (I - W) = (1 + |w|^2) R^-1 -
    w w^T, not R^-1: it differs from the exact inverse by up to |w|^2 |X|
    (|w| the rotation vector in radians), 0.75 m for the 30-50" rotations
    below, 1 mm for the 2.6" of the project's examples. The tolerance is
    0.1 mm plus that bound (and 1 % for the terms in |w|^3), so these lines say how far PROJ's inverse is
    from the exact one; where the rotations are small (the 0.1-0.3" set)
    it is 0.1 mm and the two agree.
"""
import math

import pyproj

VERSION = pyproj.proj_version_str

# WGS84 geodetic positions across China (lon lat h), made earth-centred.
POINTS = [(116.40, 39.90, 50), (121.47, 31.23, 10), (104.07, 30.67, 500),
          (87.62, 43.79, 800), (126.63, 45.75, 150), (91.11, 29.65, 3650)]
# tx ty tz (m) rx ry rz (") s (ppm): the project's examples, a published
# set, small rotations, and rotations of 30-50" that make the difference
# between the exact and the transposed inverse plain.
SETS = [(-8.37455, 89.82862, 38.42448, -0.81954, 1.24446, -2.11979, 1.90340),
        (24.0, -123.0, -94.0, -0.02, 0.26, 0.13, 2.423),
        (-15.4, 142.7, 83.2, 0.1, -0.3, 0.2, -1.5),
        (100.0, -50.0, 25.0, 30.0, -40.0, 50.0, -5.0)]
ARC_SECOND = math.pi / 648000

cart = pyproj.Transformer.from_pipeline("+proj=cart +ellps=WGS84")
points = [cart.transform(*p) for p in POINTS]


def helmert(params, convention, inverse):
    tx, ty, tz, rx, ry, rz, s = params
    text = (f"+proj=helmert +x={tx} +y={ty} +z={tz} +rx={rx} +ry={ry} +rz={rz} +s={s} "
            f"+convention={convention}")
    return pyproj.Transformer.from_pipeline(text + (" +inv" if inverse else "")), text


print("# Reference values for the inverse of the seven-parameter step, from PROJ;")
print("# see make_helmert_inverse.py for the columns and the tolerances.")
print("# kind convention tx ty tz rx ry rz s X' Y' Z' X Y Z tolerance source")
print(f"# Made by make_helmert_inverse.py with PROJ {VERSION}.")
for params in SETS:
    w = math.sqrt(sum((r * ARC_SECOND) ** 2 for r in params[3:6]))
    p = " ".join(str(v) for v in params)
    for convention in ("coordinate_frame", "position_vector"):
        forward, text = helmert(params, convention, False)
        inverse, _ = helmert(params, convention, True)
        for X, Y, Z in points:
            Xp = tuple(round(v, 6) for v in forward.transform(X, Y, Z))
            print(f"exact {convention} {p} {Xp[0]:.6f} {Xp[1]:.6f} {Xp[2]:.6f} "
                  f"{X:.6f} {Y:.6f} {Z:.6f} 0.0001 PROJ {VERSION} {text} of X Y Z")
            Xi = inverse.transform(*Xp)
            bound = 0.0001 + 1.01 * w * w * math.sqrt(sum(v * v for v in Xp))
            print(f"proj-inv {convention} {p} {Xp[0]:.6f} {Xp[1]:.6f} {Xp[2]:.6f} "
                  f"{Xi[0]:.6f} {Xi[1]:.6f} {Xi[2]:.6f} {bound:.6f} PROJ {VERSION} +inv {text}")
