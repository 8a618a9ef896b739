#!/bin/sh
# The Windows build under wine, as `make windows` runs it: the unit tests,
# the worked examples, then the command line end to end against the Linux
# build (the same arguments must give the same bytes on standard output,
# standard error and in every file, and the same exit status), Chinese file
# names, input from a pipe, 300,000 points, the console and Ctrl-C.
# usage: run.sh SOURCE_DIR WINDOWS_BUILD_DIR LINUX_ZELK_CLI
set -eu
src=$(cd "$1" && pwd)
win=$(cd "$2" && pwd)
linux_cli=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
exe=$win/cli/zelk-cli.exe
work=$win/e2e
rm -rf "$work"
mkdir -p "$work"

# A prefix of its own in the build folder; no Mono or Gecko prompts.
export WINEPREFIX="$win/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Started with nothing attached, so that the helpers wine leaves running
# keep no pipe of this script open.
wine wineboot -i </dev/null >/dev/null 2>&1
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1" >&2; }

# zelk-cli.exe as a command, for the scripts that run the Linux one.
wrapper=$work/zelk-cli-wine
printf '#!/bin/sh\nexec wine "%s" "$@"\n' "$exe" >"$wrapper"
chmod +x "$wrapper"

echo "== unit tests under wine"
if (cd "$win" && ctest --output-on-failure -j 2); then pass "unit tests"; else fail "unit tests"; fi

echo "== worked examples under wine"
for example in bj54-geodetic-to-gauss estimate-wgs84-to-bj54 convert-named-with-params \
    estimate-bj54-to-wgs84 convert-back-to-geodetic estimate-blunder-residuals formats \
    site-calibration; do
    if sh "$src/tests/packaging/run_example.sh" "$wrapper" "$src/examples" "$work/examples" \
        "$example" >"$work/example.log" 2>&1; then
        pass "example $example"
    else
        cat "$work/example.log" >&2
        fail "example $example"
    fi
done

# The data of the cases: the examples, a Chinese name, bytes that text mode
# would take for line ends and the end of the file, and 300,000 points.
data=$work/data
cp -R "$src/examples" "$data"
cp "$data/bj54-blh.txt" "$data/北京54 大地坐标.txt"
cp "$data/new-wgs84-blh-named.txt" "$data/新点（WGS84）.txt"
printf 'A\032B 39.54 116.18 50\r\nC\032 40 120 0\n' >"$data/ctrl-z.txt"
awk 'BEGIN {
    for (i = 0; i < 300000; ++i) {
        b = 30 + i % 14; l = 100 + (i * 7) % 24
        printf "P%d %d.%02d%02d%05d %d.%02d%02d%05d %.3f\n", i, b, (i * 13) % 60, (i * 17) % 60,
               (i * 7919) % 100000, l, (i * 19) % 60, (i * 23) % 60, (i * 104729) % 100000,
               (i % 5000) / 3.0
    }
}' >"$data/big-wgs84.txt"

# same NAME [STDIN] -- ARGS...: both builds in a copy of the data each.
same() {
    name=$1
    shift
    input=/dev/null
    if [ "$1" != "--" ]; then input=$1; shift; fi
    shift
    for side in linux windows; do
        dir=$work/$side/$name
        rm -rf "$dir"
        mkdir -p "$work/$side"
        cp -R "$data" "$dir"
        if [ $side = linux ]; then cli=$linux_cli; else cli=$wrapper; fi
        status=0
        (cd "$dir" && "$cli" "$@" <"$input" >"$dir.out" 2>"$dir.err") || status=$?
        echo "$status" >"$dir.status"
    done
    if diff -r "$work/linux/$name" "$work/windows/$name" >"$work/$name.diff" 2>&1 &&
        cmp -s "$work/linux/$name.out" "$work/windows/$name.out" &&
        cmp -s "$work/linux/$name.err" "$work/windows/$name.err" &&
        cmp -s "$work/linux/$name.status" "$work/windows/$name.status"; then
        pass "same bytes: $name (exit $(cat "$work/linux/$name.status"))"
    else
        for part in out err status; do
            cmp "$work/linux/$name.$part" "$work/windows/$name.$part" >&2 || true
        done
        head -c 2000 "$work/$name.diff" >&2
        fail "same bytes: $name"
    fi
}

echo "== the command line, Linux and Windows builds side by side"
same version -- --version
same systems -- systems
same point -- point --from wgs84-geodetic --to beijing54-gauss --to-zone 3 \
    --params @wgs84-to-bj54.params 39.5412345 116.1823456 50.5
same point-dms -- point --from cgcs2000-gauss --from-zone 3 --to cgcs2000-geodetic \
    --to-angles dms 4433921.004 39440136.928 12
same chinese-names -- convert --from beijing54-geodetic --to beijing54-gauss --to-meridian 117 \
    "北京54 大地坐标.txt" "北京54 高斯坐标（117）.txt"
same chinese-names-named -- convert --from wgs84-geodetic --to beijing54-gauss --to-meridian 117 \
    --params @wgs84-to-bj54.params --names "新点（WGS84）.txt" "新点（北京54）.txt"
same chinese-name-missing -- convert --from beijing54-geodetic --to beijing54-gauss \
    --to-meridian 117 "没有这个文件.txt" out.txt
same chinese-params-missing -- point --from wgs84-geodetic --to beijing54-gauss \
    --to-meridian 117 --params @没有.params 40 120 0
same pipe-in-out "$data/bj54-blh.txt" -- convert --from beijing54-geodetic --to beijing54-gauss \
    --to-meridian 117 - -
same pipe-in-file "$data/bj54-blh.txt" -- convert --from beijing54-geodetic --to beijing54-gauss \
    --to-meridian 117 - "结果.txt"
same ctrl-z-file -- convert --from wgs84-geodetic --to cgcs2000-geodetic --names ctrl-z.txt z.txt
same ctrl-z-pipe "$data/ctrl-z.txt" -- convert --from wgs84-geodetic --to cgcs2000-geodetic \
    --names - -
same unreadable -- convert --from beijing54-gauss --from-meridian 117 --to wgs84-geodetic \
    README.md out.txt
same refused -- point --from beijing54-geodetic --to beijing54-gauss --to-meridian 100 40 120 0
same usage -- convert --from wgs84-geodetic --to nowhere a b
same estimate-residuals -- estimate --before wgs84-geodetic --after beijing54-gauss \
    --after-meridian 117 --residuals --export-line - common-wgs84-blh.txt \
    common-bj54-xy117-blunder.txt
same estimate-save -- estimate --before wgs84-geodetic --after beijing54-gauss \
    --after-meridian 117 --save "七参数.params" common-wgs84-blh.txt common-bj54-xy117.txt
same big-jobs1 -- convert --from wgs84-geodetic --to beijing54-gauss --to-zone 3 \
    --params @wgs84-to-bj54.params --names --jobs 1 big-wgs84.txt big-bj54.txt
same big-jobs4 -- convert --from wgs84-geodetic --to beijing54-gauss --to-zone 3 \
    --params @wgs84-to-bj54.params --names --jobs 4 big-wgs84.txt big-bj54.txt
same big-back -- convert --from wgs84-geodetic --to cgcs2000-xyz --names --jobs 2 \
    --to-format csv big-wgs84.txt big.csv
if cmp -s "$work/linux/big-jobs1/big-bj54.txt" "$work/windows/big-jobs4/big-bj54.txt" &&
    [ "$(wc -l <"$work/windows/big-jobs4/big-bj54.txt")" -eq 300000 ]; then
    pass "300,000 points: the same bytes from both builds, 1 and 4 threads"
else
    fail "300,000 points"
fi
# A reader that stops early: the same quiet end and exit status.
for side in linux windows; do
    if [ $side = linux ]; then cli=$linux_cli; else cli=$wrapper; fi
    {
        status=0
        (cd "$data" && "$cli" convert --from wgs84-geodetic --to beijing54-gauss --to-zone 3 \
            --names big-wgs84.txt - 2>"$work/$side-head.err") || status=$?
        echo $status >"$work/$side-head.status"
    } | head -n 2 >"$work/$side-head.out"
done
if cmp -s "$work/linux-head.out" "$work/windows-head.out" &&
    cmp -s "$work/linux-head.err" "$work/windows-head.err" &&
    cmp -s "$work/linux-head.status" "$work/windows-head.status"; then
    pass "reader gone (| head): exit $(cat "$work/windows-head.status") on both"
else
    fail "reader gone (| head): linux $(cat "$work/linux-head.status"), windows $(cat "$work/windows-head.status")"
fi

echo "== the C runtimes' mathematics, bit for bit"
# Not a test: how often the Windows runtime's sin, cos, atan2 ... differ from
# glibc's in the last bits, which the printed precision has to absorb.
if c++ -std=c++20 -O2 -ffp-contract=off -o "$work/math_bits" "$src/tests/windows/math_bits.cpp" &&
    "$work/math_bits" "$work/math-linux.bin" &&
    wine "$win/tests/windows/math_bits.exe" "$work/math-windows.bin"; then
    python3 - "$work/math-linux.bin" "$work/math-windows.bin" <<'PY'
import struct, sys
names = ["sin(B)", "cos(B)", "sin(L)", "cos(l)", "tan", "atan", "atan2", "hypot", "exp", "log", "pow"]
a = open(sys.argv[1], "rb").read(); b = open(sys.argv[2], "rb").read()
n = len(a) // 8
ia = struct.unpack("<%dq" % n, a); ib = struct.unpack("<%dq" % n, b)
for k, name in enumerate(names):
    pairs = list(zip(ia[k::len(names)], ib[k::len(names)]))
    diff = [abs(x - y) for x, y in pairs if x != y]
    print("  %-7s %6.2f%% of %d differ, at most %d ulp" % (name, 100.0 * len(diff) / len(pairs), len(pairs), max(diff) if diff else 0))
PY
else
    echo "  (not measured)"
fi

echo "== what only Windows does"
# The help ends with what differs there, after the Linux text.
"$linux_cli" convert --help >"$work/help-linux.txt"
wine "$exe" convert --help >"$work/help-windows.txt"
if head -c "$(wc -c <"$work/help-linux.txt")" "$work/help-windows.txt" | cmp -s - "$work/help-linux.txt" &&
    grep -q "^On Windows:" "$work/help-windows.txt"; then
    pass "help: the Linux text, then what differs on Windows"
else
    fail "help"
fi
status=0
wine "$exe" convert --from wgs84-geodetic --to cgcs2000-geodetic "$data/bj54-blh.txt" /dev/stdout \
    >/dev/null 2>"$work/devstdout.err" || status=$?
if [ $status -eq 2 ] && grep -q "use '-' for standard input or output" "$work/devstdout.err"; then
    pass "/dev/stdout refused with a word about '-'"
else
    cat "$work/devstdout.err" >&2
    fail "/dev/stdout refused (exit $status)"
fi
# An output that another program holds open (a spreadsheet showing it):
# refused after the retries with a message naming it, the old file kept.
dir=$work/held
rm -rf "$dir"
cp -R "$data" "$dir"
echo "old output" >"$dir/成果.txt"
(cd "$dir" && wine "$win/tests/windows/hold_file.exe" "成果.txt" 8 >hold.log 2>&1) &
holder=$!
for _ in $(seq 1 100); do grep -q holding "$dir/hold.log" 2>/dev/null && break; sleep 0.1; done
status=0
(cd "$dir" && wine "$exe" convert --from beijing54-geodetic --to beijing54-gauss --to-meridian 117 \
    bj54-blh.txt "成果.txt" >held.out 2>held.err) || status=$?
wait $holder || true
if [ $status -eq 1 ] && grep -q "成果.txt”正被其他程序打开" "$dir/held.err" &&
    [ "$(cat "$dir/成果.txt")" = "old output" ] && [ -z "$(find "$dir" -name '*.tmp')" ]; then
    pass "output held by another program: refused, named, old file kept"
else
    cat "$dir/held.err" "$dir/hold.log" >&2 || true
    fail "output held by another program (exit $status)"
fi
# On a console (a pseudo-terminal, which wine makes a console of) the text
# goes through WriteConsoleW and shows as characters.
if command -v script >/dev/null 2>&1; then
    (cd "$data" && script -qec "wine '$exe' systems" /dev/null </dev/null >"$work/console.txt" 2>&1) || true
    if grep -q "北京54" "$work/console.txt" && grep -q "beijing54-gauss" "$work/console.txt"; then
        pass "console: Chinese labels shown as characters"
    else
        fail "console output"
    fi
    # Ctrl-C as a console control event, in the middle of a conversion
    # whose input never ends: the old output stays, no temporary file.
    dir=$work/ctrl-c
    rm -rf "$dir"
    mkdir -p "$dir"
    echo "old output" >"$dir/out.txt"
    cp "$exe" "$dir/"
    status=0
    (cd "$dir" && timeout 120 script -qec "wine '$win/tests/windows/send_ctrl_c.exe' '.out.txt.*.tmp' \
        'zelk-cli.exe convert --from beijing54-geodetic --to beijing54-gauss --to-meridian 117 - out.txt' \
        2>ctrl-c.log" /dev/null </dev/null >/dev/null 2>&1) || status=$?
    if [ "$(cat "$dir/out.txt")" = "old output" ] &&
        [ -z "$(find "$dir" -name '.out.txt.*.tmp')" ] &&
        grep -q "exit status 0xC000013A" "$dir/ctrl-c.log"; then
        pass "Ctrl-C: exit 0xC000013A, old output kept, no temporary file"
    else
        cat "$dir/ctrl-c.log" >&2 || true
        fail "Ctrl-C (exit $status)"
    fi
else
    echo "skipped: console and Ctrl-C (no script command)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
