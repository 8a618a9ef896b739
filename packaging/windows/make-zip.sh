#!/bin/sh
# Packs zelk-cli for Windows: the program, a README in Chinese for cmd and
# PowerShell (CR LF line ends and a byte-order mark, for Notepad), the user
# guide with its pictures and the worked examples, in one folder of a zip.
# usage: make-zip.sh SOURCE_DIR ZELK_CLI_EXE ZIP
set -eu
src=$(cd "$1" && pwd)
exe=$2
zip_path=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
name=$(basename "$zip_path" .zip)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/$name
mkdir -p "$top"
cp "$exe" "$top/zelk-cli.exe"
{ printf '\357\273\277'; sed 's/$/\r/' "$src/packaging/windows/README.txt"; } >"$top/README.txt"
cp "$src/docs/guide.md" "$top/guide.md"
if [ -d "$src/docs/images" ]; then
    mkdir -p "$top/images"
    cp "$src"/docs/images/*.png "$top/images/"
fi
cp -R "$src/examples" "$top/examples"
rm -f "$zip_path"
(cd "$stage" && zip -q -r -X "$zip_path" "$name")
echo "written: $zip_path ($(wc -c <"$zip_path") bytes)"
