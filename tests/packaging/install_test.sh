#!/bin/sh
# Installs the build into a temporary prefix, as `cmake --install` does for a
# user, checks that everything a user needs landed where the desktop and man
# expect it, and runs the installed zelk-cli.
# usage: install_test.sh CMAKE BUILD_DIR SCRATCH_DIR WITH_DESKTOP_PROGRAM(0|1)
set -eu
cmake=$1
shift
build=$1
prefix=$2/prefix
with_ui=$3
rm -rf "$prefix"
mkdir -p "$prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$2/install.log"

missing=0
need() {
    if [ ! -e "$prefix/$1" ]; then
        echo "not installed: $1" >&2
        missing=$((missing + 1))
    fi
}
need bin/zelk-cli
[ "$with_ui" = 1 ] && need bin/zelk
need share/applications/zelk.desktop
need share/icons/hicolor/scalable/apps/zelk.svg
need share/icons/hicolor/32x32/apps/zelk.png
need share/icons/hicolor/48x48/apps/zelk.png
need share/doc/zelk/guide.md
need share/doc/zelk/README.md
need share/doc/zelk/examples/common-wgs84-blh.txt
if [ -e "$prefix/share/man/man1/zelk-cli.1.gz" ]; then
    gzip -dc "$prefix/share/man/man1/zelk-cli.1.gz" | grep -q '^\.TH ZELK-CLI 1' ||
        { echo "share/man/man1/zelk-cli.1.gz is not the manual page" >&2; missing=$((missing + 1)); }
else
    need share/man/man1/zelk-cli.1
fi
[ -x "$prefix/bin/zelk-cli" ] || { echo "bin/zelk-cli is not executable" >&2; exit 1; }
[ "$missing" -eq 0 ] || exit 1

# The desktop entry starts the installed program by name with the themed icon.
desktop=$prefix/share/applications/zelk.desktop
grep -qx 'Exec=zelk' "$desktop" && grep -qx 'Icon=zelk' "$desktop" &&
    grep -q '^Name\[zh_CN\]=' "$desktop" ||
    { echo "zelk.desktop lacks Exec=zelk, Icon=zelk or a Chinese name" >&2; exit 1; }

# Every picture the installed guide links is installed beside it.
guide=$prefix/share/doc/zelk/guide.md
for image in $(grep -o '](images/[^)]*)' "$guide" | sed -e 's/^](//' -e 's/)$//' | sort -u); do
    [ -f "$prefix/share/doc/zelk/$image" ] || {
        echo "the installed guide links $image, which is not installed" >&2
        missing=$((missing + 1))
    }
done
[ "$missing" -eq 0 ] || exit 1

version=$("$prefix/bin/zelk-cli" --version)
case $version in
    "zelk-cli "[0-9]*) ;;
    *) echo "installed zelk-cli --version printed '$version'" >&2; exit 1 ;;
esac

# One conversion with the installed program: Beijing 1954 B 40 L 120 H 0
# projected on the central meridian 117.
point=$("$prefix/bin/zelk-cli" point --from beijing54-geodetic --to beijing54-gauss \
    --to-meridian 117 40 120 0)
[ "$point" = "4433921.00373848 756206.416190243 0" ] ||
    { echo "installed zelk-cli point printed '$point'" >&2; exit 1; }

# And one file conversion from the installed examples.
"$prefix/bin/zelk-cli" convert --from beijing54-geodetic --to beijing54-gauss --to-meridian 117 \
    "$prefix/share/doc/zelk/examples/bj54-blh.txt" "$2/bj54-xy117.txt" 2>/dev/null
cmp "$prefix/share/doc/zelk/examples/expected/bj54-xy117.txt" "$2/bj54-xy117.txt"

echo "installed into $prefix: $version, point and file conversion as expected"
