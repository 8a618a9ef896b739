#!/bin/sh
# Runs one worked example of examples/ through zelk-cli and compares what it
# writes with the expected files, byte for byte. The commands are the ones
# examples/README.md shows, run as a user would type them: inside a copy of
# examples/ with relative file names (a saved parameters file records the
# names it was given).
# usage: run_example.sh ZELK_CLI EXAMPLES_DIR SCRATCH_DIR CASE
set -eu
cli=$1
examples=$2
work=$3/$4
rm -rf "$work"
mkdir -p "$work"
cp -R "$examples"/. "$work"
cd "$work"

same() {  # same EXPECTED ACTUAL
    if ! cmp "$1" "$2"; then
        echo "--- expected $1" >&2
        cat "$1" >&2
        echo "--- got" >&2
        cat "$2" >&2
        exit 1
    fi
}

case $4 in
bj54-geodetic-to-gauss)
    "$cli" convert --from beijing54-geodetic --to beijing54-gauss --to-meridian 117 \
        bj54-blh.txt bj54-xy117.txt
    same "$examples/expected/bj54-xy117.txt" bj54-xy117.txt
    ;;
estimate-wgs84-to-bj54)
    "$cli" estimate --before wgs84-geodetic --after beijing54-gauss --after-meridian 117 \
        --save wgs84-to-bj54.params \
        common-wgs84-blh.txt common-bj54-xy117.txt >estimate.txt
    same "$examples/expected/estimate-wgs84-to-bj54.txt" estimate.txt
    same "$examples/wgs84-to-bj54.params" wgs84-to-bj54.params
    ;;
convert-named-with-params)
    "$cli" convert --from wgs84-geodetic --to beijing54-gauss --to-meridian 117 \
        --params @wgs84-to-bj54.params --names \
        new-wgs84-blh-named.txt new-bj54-xy117-named.txt
    same "$examples/expected/new-bj54-xy117-named.txt" new-bj54-xy117-named.txt
    ;;
estimate-bj54-to-wgs84)
    "$cli" estimate --before beijing54-gauss --before-meridian 117 --after wgs84-geodetic \
        --save bj54-to-wgs84.params \
        common-bj54-xy117.txt common-wgs84-blh.txt >estimate.txt
    same "$examples/expected/estimate-bj54-to-wgs84.txt" estimate.txt
    same "$examples/bj54-to-wgs84.params" bj54-to-wgs84.params
    ;;
convert-back-to-geodetic)
    "$cli" convert --from beijing54-gauss --from-meridian 117 --to wgs84-geodetic \
        --params @bj54-to-wgs84.params --names \
        expected/new-bj54-xy117-named.txt new-wgs84-blh-named.back.txt
    same "$examples/expected/new-wgs84-blh-named.back.txt" new-wgs84-blh-named.back.txt
    # The parameters of the other direction, turned round by themselves.
    "$cli" convert --from beijing54-gauss --from-meridian 117 --to wgs84-geodetic \
        --params @wgs84-to-bj54.params --names \
        expected/new-bj54-xy117-named.txt new-wgs84-blh-named.inverse.txt
    same "$examples/expected/new-wgs84-blh-named.inverse.txt" new-wgs84-blh-named.inverse.txt
    ;;
estimate-blunder-residuals)
    "$cli" estimate --before wgs84-geodetic --after beijing54-gauss --after-meridian 117 \
        --residuals common-wgs84-blh.txt common-bj54-xy117-blunder.txt >estimate.txt
    same "$examples/expected/estimate-blunder-residuals.txt" estimate.txt
    ;;
formats)
    "$cli" convert --from cgcs2000-gauss --from-meridian 105 --from-format dat \
        --to cgcs2000-gauss --to-zone 3 --to-format dat survey.dat survey-zone3.dat
    same "$examples/expected/survey-zone3.dat" survey-zone3.dat
    "$cli" convert --from cgcs2000-gauss --from-meridian 105 --from-format dat \
        --to cgcs2000-geodetic --to-format csv survey.dat survey.csv
    same "$examples/expected/survey.csv" survey.csv
    "$cli" convert --from cgcs2000-gauss --from-meridian 105 --from-format dat \
        --to cgcs2000-geodetic --to-format kml survey.dat survey.kml
    same "$examples/expected/survey.kml" survey.kml
    "$cli" convert --from beijing54-gauss --from-meridian 117 --to beijing54-geodetic \
        --names --to-angles dms expected/new-bj54-xy117-named.txt new-bj54-dms.txt
    same "$examples/expected/new-bj54-dms.txt" new-bj54-dms.txt
    ;;
site-calibration)
    "$cli" estimate --model four --height quadratic --before cgcs2000-gauss --before-meridian 117.2 \
        --after local --residuals --save site.params site-cgcs2000.txt site-local.txt >estimate.txt
    same "$examples/expected/estimate-site.txt" estimate.txt
    same "$examples/site.params" site.params
    "$cli" convert --from cgcs2000-gauss --from-meridian 117.2 --to local --params @site.params \
        --names site-new.txt site-new-local.txt
    same "$examples/expected/site-new-local.txt" site-new-local.txt
    ;;
two-stage)
    "$cli" estimate --before wgs84-geodetic --after beijing54-xyz --format csv --residuals \
        --save stage1.params stage1-wgs84.csv stage1-bj54-xyz.csv >estimate.txt
    same "$examples/expected/estimate-stage1.txt" estimate.txt
    same "$examples/stage1.params" stage1.params
    "$cli" estimate --model four --height fixed --before beijing54-gauss --before-meridian 117 \
        --after local --residuals --save stage2.params --pairs stage2-pairs.txt >estimate.txt
    same "$examples/expected/estimate-stage2.txt" estimate.txt
    same "$examples/stage2.params" stage2.params
    "$cli" convert --from wgs84-geodetic --to local --params @stage1.params --params @stage2.params \
        --names --save-chain rtk-to-local.params rtk-new.txt rtk-new-local.txt
    same "$examples/expected/rtk-new-local.txt" rtk-new-local.txt
    same "$examples/rtk-to-local.params" rtk-to-local.params
    "$cli" convert --from wgs84-geodetic --to local --params @rtk-to-local.params --names \
        rtk-new.txt rtk-new-local.again.txt
    same "$examples/expected/rtk-new-local.txt" rtk-new-local.again.txt
    ;;
three-parameters)
    "$cli" estimate --model three --before wgs84-geodetic --after beijing54-gauss --after-meridian 120 \
        --save three.params --pairs three-pair.txt >estimate.txt
    same "$examples/expected/estimate-three.txt" estimate.txt
    same "$examples/three.params" three.params
    "$cli" convert --from wgs84-geodetic --to beijing54-gauss --to-meridian 120 --params @three.params \
        --names three-new.txt three-new-bj54.txt
    same "$examples/expected/three-new-bj54.txt" three-new-bj54.txt
    ;;
geoid-corridor)
    # EGM96 comes with proj-data (scripts/install-deps); without it the
    # example cannot run.
    if ! "$cli" point --from wgs84-geodetic --to wgs84-geodetic --to-geoid egm96 0 0 0 >/dev/null 2>&1; then
        echo "example $4: skipped, EGM96 is not installed (proj-data)"
        exit 77
    fi
    "$cli" convert --from cgcs2000-gauss --from-meridian 102 --to cgcs2000-gauss --to-meridian 102 \
        --to-geoid egm96 --names corridor-new.txt corridor-new-egm96.txt
    same "$examples/expected/corridor-new-egm96.txt" corridor-new-egm96.txt
    "$cli" estimate --model four --height plane --before cgcs2000-gauss --before-meridian 102 \
        --after local --save corridor-plane.params corridor-cgcs2000.txt corridor-local.txt \
        >estimate-plane.txt
    same "$examples/expected/estimate-corridor-plane.txt" estimate-plane.txt
    "$cli" convert --from cgcs2000-gauss --from-meridian 102 --to local --params @corridor-plane.params \
        --names corridor-new.txt corridor-new-local-plane.txt
    same "$examples/expected/corridor-new-local-plane.txt" corridor-new-local-plane.txt
    "$cli" estimate --model four --height fixed --geoid egm96 --before cgcs2000-gauss \
        --before-meridian 102 --after local --residuals --save corridor.params \
        corridor-cgcs2000.txt corridor-local.txt >estimate.txt
    same "$examples/expected/estimate-corridor.txt" estimate.txt
    same "$examples/corridor.params" corridor.params
    "$cli" convert --from cgcs2000-gauss --from-meridian 102 --to local --params @corridor.params \
        --names corridor-new.txt corridor-new-local.txt
    same "$examples/expected/corridor-new-local.txt" corridor-new-local.txt
    ;;
gis)
    # 50 CGCS2000 RTK points into CAD, GIS and spreadsheet files and back.
    rtk="--from cgcs2000-geodetic --from-format csv --from-angles degrees --to cgcs2000-gauss --to-meridian 117"
    gk117="--from cgcs2000-gauss --from-meridian 117 --to cgcs2000-gauss --to-meridian 117 --to-format csv"
    # shellcheck disable=SC2086
    "$cli" convert $rtk --to-format csv rtk-cgcs2000.csv rtk-gk117.csv
    same "$examples/expected/rtk-gk117.csv" rtk-gk117.csv
    # shellcheck disable=SC2086
    "$cli" convert $rtk --to-format dxf rtk-cgcs2000.csv rtk-gk117.dxf
    same "$examples/expected/rtk-gk117.dxf" rtk-gk117.dxf
    # The .dbf holds the day it was written; it is read back instead.
    # shellcheck disable=SC2086
    "$cli" convert $rtk --to-format shp rtk-cgcs2000.csv rtk-gk117.shp
    for part in shp shx prj cpg; do same "$examples/expected/rtk-gk117.$part" "rtk-gk117.$part"; done
    for format in shp gpkg xlsx; do
        # shellcheck disable=SC2086
        [ "$format" = shp ] || "$cli" convert $rtk --to-format $format rtk-cgcs2000.csv rtk-gk117.$format
        # shellcheck disable=SC2086
        "$cli" convert $gk117 --from-format $format rtk-gk117.$format back-$format.csv
        same "$examples/expected/rtk-gk117.csv" back-$format.csv
    done
    "$cli" convert --from cgcs2000-geodetic --from-format csv --from-angles degrees \
        --to cgcs2000-geodetic --to-format geojson rtk-cgcs2000.csv rtk-cgcs2000.geojson
    same "$examples/expected/rtk-cgcs2000.geojson" rtk-cgcs2000.geojson
    # The same points in an Excel sheet convert as the csv does.
    "$cli" convert --from cgcs2000-geodetic --from-format xlsx --from-angles degrees \
        --to cgcs2000-gauss --to-meridian 117 --to-format csv rtk-cgcs2000.xlsx rtk-gk117-xlsx.csv
    same "$examples/expected/rtk-gk117.csv" rtk-gk117-xlsx.csv
    ;;
independent-system)
    "$cli" convert --from cgcs2000-geodetic --to @city.crs --names city-gps.txt city-xy.txt
    same "$examples/expected/city-xy.txt" city-xy.txt
    "$cli" convert --from @city.crs --to EPSG:4547 --names expected/city-xy.txt city-4547.txt
    same "$examples/expected/city-4547.txt" city-4547.txt
    ;;
*)
    echo "run_example.sh: unknown example $4" >&2
    exit 2
    ;;
esac
echo "example $4: output identical to the expected file"
