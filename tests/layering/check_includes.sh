#!/bin/sh
# Fails when a source file of a layer includes a header of a layer above it
# (or, for the programs, the adapters of the original entry points), when
# the core includes Qt, when a folder other than gis/ includes GDAL, or when
# a test or benchmark other than the adapters' own table check
# (tests/adapters) includes the adapters.
# Usage: check_includes.sh SOURCE_ROOT
root=${1:?source root}
status=0
# layer: the folders it may include from
# check LAYER ALLOWED [qt]: qt when the layer may include Qt.
check() {
    layer=$1
    allowed=$2
    qt=${3:-}
    # Subfolders too (platform/posix, platform/windows).
    find "$root/$layer" \( -name '*.h' -o -name '*.cpp' \) | sort | while IFS= read -r file; do
        grep -n '^[[:space:]]*#[[:space:]]*include' "$file" | while IFS= read -r line; do
            target=$(printf '%s\n' "$line" | sed -n 's/.*#[[:space:]]*include[[:space:]]*["<]\([^">]*\)[">].*/\1/p')
            case $target in
                Q*|qt*/*|Qt*/*)
                    if [ -z "$qt" ]; then
                        echo "${file#$root/}:${line%%:*}: the core includes Qt: $target"
                        echo bad
                    fi ;;
                */*)
                    folder=${target%%/*}
                    case " platform grids engine bursa workflow adapters gis cli ui tests bench " in
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
# The system's own interfaces are reached through platform/ alone, from its
# posix/ and windows/ implementations; everything else includes standard C++.
check_system() {
    folder=$1
    find "$root/$folder" \( -name '*.h' -o -name '*.cpp' \) | sort | while IFS= read -r file; do
        case ${file#$root/} in platform/posix/*|platform/windows/*) continue ;; esac
        grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*<\(unistd\|fcntl\|poll\|signal\|pthread\|termios\|dirent\|windows\|io\|direct\|sys/[a-z_]*\)\.h>' "$file" |
            while IFS= read -r line; do
                echo "${file#$root/}:${line%%:*}: only platform/posix and platform/windows talk to the system: ${line#*:}"
                echo bad
            done
        grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*<csignal>' "$file" | while IFS= read -r line; do
            echo "${file#$root/}:${line%%:*}: only platform/posix and platform/windows talk to the system: ${line#*:}"
            echo bad
        done
    done
}
# Tests and benchmarks reach the adapters only through tests/adapters.
check_no_adapters() {
    find "$root/tests" "$root/bench" \( -name '*.h' -o -name '*.cpp' \) | sort | while IFS= read -r file; do
        case ${file#$root/} in tests/adapters/*) continue ;; esac
        grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]adapters/' "$file" | while IFS= read -r line; do
            echo "${file#$root/}:${line%%:*}: only tests/adapters may include the adapters: ${line#*:}"
            echo bad
        done
    done
}
# GDAL's headers: gdal*.h, ogr*.h, cpl_*.h, gnm*.h.
gdal() {
    for folder in platform grids engine bursa workflow adapters cli ui bench; do
        find "$root/$folder" \( -name '*.h' -o -name '*.cpp' \) | sort | while IFS= read -r file; do
            grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]\(gdal\|ogr\|cpl_\|gnm\)[^/">]*[">]' "$file" |
                while IFS= read -r line; do
                    echo "${file#$root/}:${line%%:*}: only gis/ includes GDAL"
                    echo bad
                done
        done
    done
}
out=$( {
    for folder in platform grids engine bursa workflow adapters cli; do check_system $folder; done
    check_no_adapters
    gdal
    check platform "platform"
    check grids "grids platform"
    check engine "engine platform"
    check bursa "bursa engine platform"
    check workflow "workflow grids bursa engine platform"
    check adapters "adapters workflow grids bursa engine platform"
    check gis "gis workflow grids bursa engine platform"
    check cli "cli gis workflow grids bursa engine platform"
    check ui "ui gis workflow grids bursa engine platform" qt
} )
printf '%s\n' "$out" | grep -v '^bad$' | grep . && status=1
printf '%s\n' "$out" | grep -q '^bad$' && status=1
[ $status -eq 0 ] && echo "layering: every include reaches down"
exit $status
