#!/bin/sh
# Counts the packed angles that the tests of a revision hand to DmsToRadian
# and that the whole-minute reading (engine/angle.h) reads differently from
# the plain truncation it replaced, and lists each with both readings.
#
#   tests/data/count_dms_changes.sh [REV [PRODUCT]]
#
# REV (default fd741e3, the tests before the whole-minute reading) gives
# the tests (tests/engine and tests/workflow), PRODUCT (a revision; default
# the working tree) everything else. They are built in a temporary folder
# with every call of DmsToRadian wrapped (ld --wrap) by a function that
# computes the old truncating reading beside the real one and logs each
# input whose result differs. Prints "input old-degrees new-degrees" lines,
# then the count of distinct inputs and how many of them moved by 40″.
# GTEST_FILTER, as GoogleTest reads it, narrows the tests that run.
# The tests of fd741e3 build only against products of their time (later
# trees moved the engine into its namespace and the old classes into
# adapters/): give PRODUCT 57b1820, the commit of the whole-minute reading,
#   tests/data/count_dms_changes.sh fd741e3 57b1820
# (3 distinct inputs, each 40" to the angle its text says).
set -eu

cd "$(dirname "$0")/../.."
rev=${1:-fd741e3}
product=${2:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/zelk-dms-count.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

if [ -n "$product" ]; then
    git archive "$product" | tar -xf - -C "$work"
    rm -rf "$work/tests"
else
    git ls-files -z | grep -zv '^tests/' | xargs -0 tar -cf - | tar -xf - -C "$work"
fi
git archive "$rev" tests | tar -xf - -C "$work"

cat >"$work/wrap.cpp" <<'CPP'
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
extern "C" double __real__Z11DmsToRadiand(double);
extern "C" double __wrap__Z11DmsToRadiand(double x) {
    const double now = __real__Z11DmsToRadiand(x);
    // The reading before: truncations only.
    const auto trunc32 = [](double v) {
        return (v > -2147483649.0 && v < 2147483648.0)
                   ? static_cast<double>(static_cast<std::int32_t>(v)) : std::trunc(v);
    };
    const double s = x < 0 ? -1.0 : 1.0, a = std::fabs(x), D = trunc32(a);
    const double M = trunc32(a * 100 - D * 100), S = a * 10000 - D * 10000 - M * 100;
    const double before =
        ((S * 0.0002777777777777778 + M * 0.016666666666666666) + D) * s * 3.14159265358979 *
        0.005555555555555556;
    if (!(before == now || (std::isnan(before) && std::isnan(now)))) {
        if (const char* log = std::getenv("ZELK_DMS_LOG")) {
            if (std::FILE* f = std::fopen(log, "a")) {
                std::fprintf(f, "%.17g %.12f %.12f\n", x, before * 180 / 3.14159265358979,
                             now * 180 / 3.14159265358979);
                std::fclose(f);
            }
        }
    }
    return now;
}
CPP
# Every test program gets the wrapper and the wrapping.
sed -i "s|^  target_link_libraries(\${name} PRIVATE zelk_core GTest::gtest)|&\\
  target_sources(\${name} PRIVATE $work/wrap.cpp)\\
  target_link_options(\${name} PRIVATE -Wl,--wrap=_Z11DmsToRadiand)|" "$work/tests/CMakeLists.txt"
grep -q -- --wrap "$work/tests/CMakeLists.txt" || { echo "tests/CMakeLists.txt not as expected" >&2; exit 1; }
launcher=
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$work"
    launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
cmake -S "$work" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELK_BUILD_UI=OFF \
    -DZELK_BUILD_BENCH=OFF $launcher >"$work/log" 2>&1 ||
    { cat "$work/log" >&2; exit 1; }
cmake --build "$work/build" --target engine_tests workflow_tests kml_writer_tests >"$work/log" 2>&1 ||
    { cat "$work/log" >&2; exit 1; }
: >"$work/changed"
for t in engine/engine_tests workflow/workflow_tests workflow/kml_writer_tests; do
    (cd "$work/build/tests/$(dirname "$t")" &&
        ZELK_DMS_LOG="$work/changed" "./$(basename "$t")" >/dev/null 2>&1) || true
done
sort -u -g "$work/changed"
sort -u "$work/changed" | awk '
    { d = ($3 - $2) * 3600; if (d < 0) d = -d; if (d > 39.999 && d < 40.001) forty++ }
    END { printf "distinct inputs read differently: %d, of them by 40 arc-seconds: %d\n", NR, forty }'

