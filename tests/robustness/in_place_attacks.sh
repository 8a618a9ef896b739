#!/bin/bash
# The attacks on in-place writes, as a user makes them with zelk-cli, counted.
# Not part of ctest (they depend on timing); the catalogue's tests hold the
# same faults deterministically. Usage:
#   tests/robustness/in_place_attacks.sh path/to/zelk-cli [tries]
# Prints, for a hard-linked output:
#  - two runs at once, one plain and one csv: how many results are neither;
#  - SIGKILL the moment a run starts to write over the target: what is left
#    (old text, new text, or a mix) and how many zero bytes it holds;
#  - ulimit -f below the output's size: the exit status and leftover files.
set -u
cli=$(readlink -f "$1")
tries=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 1.5 million points, some 57 MB.
awk 'BEGIN { srand(2); for (i = 0; i < 1500000; i++)
       printf "P%d %.3f %.3f 10.000\n", i, 3380000 + rand() * 1000, 500000 + rand() * 1000 }' > huge.txt
head -300000 huge.txt > big.txt
args=(convert --from cgcs2000-gauss --from-meridian 117 --to cgcs2000-gauss --to-meridian 117
      --names)
# Run straight, so that $! is the program itself.
convert() { "$cli" "${args[@]}" "$@"; }
convert big.txt ref.plain 2>/dev/null
convert --to-format csv big.txt ref.csv 2>/dev/null
convert huge.txt ref.huge 2>/dev/null

mixed=0 failed=0
for _ in $(seq "$tries"); do
    rm -f o.txt o2.txt; echo old > o.txt; ln o.txt o2.txt
    "$cli" "${args[@]}" big.txt o.txt 2>/dev/null & p1=$!
    "$cli" "${args[@]}" --to-format csv big.txt o2.txt 2>/dev/null & p2=$!
    wait $p1; s1=$?; wait $p2; s2=$?
    cmp -s o.txt ref.plain || cmp -s o.txt ref.csv || mixed=$((mixed + 1))
    [ $s1 -ne 0 ] || [ $s2 -ne 0 ] && failed=$((failed + 1))
done
echo "two writers at once: $mixed of $tries results mixed, $failed runs with a failure status"

for _ in $(seq "$tries"); do
    rm -f o.txt o2.txt .o.txt.*.tmp; echo old > o.txt; ln o.txt o2.txt
    "$cli" "${args[@]}" huge.txt o.txt 2>/dev/null & p=$!
    # Watched without forking, to be quick to the moment.
    /usr/bin/python3 -c '
import os, sys
alive = "/proc/" + sys.argv[1]
while os.stat("o.txt").st_size <= 4 and os.path.exists(alive):
    pass
if os.path.exists(alive):
    os.kill(int(sys.argv[1]), 9)' $p
    wait $p 2>/dev/null
    zeros=$(tr -cd '\000' < o.txt | wc -c)
    if [ "$(head -c 4 o.txt)" = "old" ] && [ "$(stat -c %s o.txt)" -eq 4 ]; then left=old
    elif cmp -s o.txt ref.huge; then left=new
    elif cmp -s o.txt ref.huge -n "$(stat -c %s o.txt)"; then left="the start of the new text"
    else left=mixed; fi
    echo "SIGKILL in the copy: $left, $(stat -c %s o.txt) bytes, $zeros zero bytes"
done
rm -f .o.txt.*.tmp

rm -f o.txt o2.txt; echo old > o.txt; ln o.txt o2.txt
status=$( (ulimit -f 1000; convert big.txt o.txt 2>&1 >/dev/null; echo "status $?") 2>&1 | tr '\n' ' ')
echo "ulimit -f 1000: $status; old text kept: $(cat o.txt); temporary files left: $(ls -A | grep -c '\.tmp$')"
