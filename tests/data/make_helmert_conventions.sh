#!/bin/sh
# Writes helmert_conventions.txt: reference results of the seven-parameter
# transformation in both rotation conventions, computed by PROJ's cct
# (Debian package proj-bin; made with cct 9.1.1). PROJ serves only to make
# this file: nothing in the build or at run time uses it.
#
# Each data line: convention tx ty tz rx ry rz s X Y Z X' Y' Z'
# (m, arc-seconds, ppm; earth-centred metres), where X' Y' Z' is what
#   cct +proj=helmert +x=tx ... +s=s +convention=CONVENTION
# gives for X Y Z. The points are WGS84 geodetic positions across China made
# earth-centred by cct +proj=cart.
# usage: sh make_helmert_conventions.sh > helmert_conventions.txt
set -eu

points="116.40 39.90 50
121.47 31.23 10
104.07 30.67 500
87.62 43.79 800
126.63 45.75 150
113.26 23.13 20
91.11 29.65 3650
117.20 36.10 300"

# Parameter sets of the size datum changes in China have: the project's
# examples, one published in the position-vector convention, and large
# rotations that make the sign of each one plain.
sets="-8.37455 89.82862 38.42448 -0.81954 1.24446 -2.11979 1.90340
24.0 -123.0 -94.0 -0.02 0.26 0.13 2.423
-15.4 142.7 83.2 1.2 -0.8 3.1 2.5
100.0 -50.0 25.0 10.0 -20.0 30.0 -5.0"

echo "# Reference values from PROJ cct $(cct --version 2>&1 | sed -n 's/.*Rel\. \([0-9.]*\).*/\1/p'),"
echo "# written by tests/data/make_helmert_conventions.sh; see there."
echo "# convention tx ty tz rx ry rz s X Y Z X' Y' Z'"
echo "$points" | cct -d 6 +proj=cart +ellps=WGS84 | awk '{print $1, $2, $3}' >/tmp/helmert_points.$$
echo "$sets" | while read -r tx ty tz rx ry rz s; do
    for convention in coordinate_frame position_vector; do
        cct -d 6 +proj=helmert +x="$tx" +y="$ty" +z="$tz" +rx="$rx" +ry="$ry" +rz="$rz" +s="$s" \
            +convention="$convention" </tmp/helmert_points.$$ |
            paste -d ' ' /tmp/helmert_points.$$ - |
            awk -v c="$convention" -v p="$tx $ty $tz $rx $ry $rz $s" \
                '{print c, p, $1, $2, $3, $4, $5, $6}'
    done
done
rm -f /tmp/helmert_points.$$
