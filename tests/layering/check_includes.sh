#!/bin/sh
# Fails when a source file of a layer includes a header of a layer above it,
# when the core includes Qt, or when a folder other than gis/ includes GDAL.
# Usage: check_includes.sh SOURCE_ROOT
root=${1:?source root}
status=0
# layer: the folders it may include from
check() {
    layer=$1
    allowed=$2
    for file in "$root/$layer"/*.h "$root/$layer"/*.cpp; do
        [ -e "$file" ] || continue
        grep -n '^[[:space:]]*#[[:space:]]*include' "$file" | while IFS= read -r line; do
            target=$(printf '%s\n' "$line" | sed -n 's/.*#[[:space:]]*include[[:space:]]*["<]\([^">]*\)[">].*/\1/p')
            case $target in
                Q*|qt*/*|Qt*/*)
                    echo "${file#$root/}:${line%%:*}: the core includes Qt: $target"
                    echo bad ;;
                */*)
                    folder=${target%%/*}
                    case " platform engine bursa workflow gis cli ui tests bench " in
                        *" $folder "*)
                            case " $allowed " in
                                *" $folder "*) ;;
                                *) echo "${file#$root/}:${line%%:*}: $layer may not include $target"
                                   echo bad ;;
                            esac ;;
                    esac ;;
            esac
        done
    done
}
# GDAL's headers: gdal*.h, ogr*.h, cpl_*.h, gnm*.h.
gdal() {
    for folder in platform engine bursa workflow cli ui bench; do
        for file in "$root/$folder"/*.h "$root/$folder"/*.cpp; do
            [ -e "$file" ] || continue
            grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]\(gdal\|ogr\|cpl_\|gnm\)[^/">]*[">]' "$file" |
                while IFS= read -r line; do
                    echo "${file#$root/}:${line%%:*}: only gis/ includes GDAL"
                    echo bad
                done
        done
    done
}
out=$( {
    gdal
    check platform "platform"
    check engine "engine platform"
    check bursa "bursa engine platform"
    check workflow "workflow bursa engine platform"
    check gis "gis workflow bursa engine platform"
    check cli "cli gis workflow bursa engine platform"
} )
printf '%s\n' "$out" | grep -v '^bad$' | grep . && status=1
printf '%s\n' "$out" | grep -q '^bad$' && status=1
[ $status -eq 0 ] && echo "layering: every include reaches down"
exit $status
