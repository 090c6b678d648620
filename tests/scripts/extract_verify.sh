#!/usr/bin/env bash
# qavn-extract --verify on the demo project: exit status 0 while the codebook
# agrees with its raw data, 1 with a line per difference once a value in the
# data changes, 1 with a message naming the file when a data file is missing.
set -euo pipefail
bin=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

"$bin/qavn-mkproject" "$src/samples/demo/demo.json" --out "$work/demo" >/dev/null
cd "$work/demo"
unset QAVN_DRIVE_C QAVN_DRIVE_D

status=0
"$bin/qavn-extract" P=DEMO --verify >"$work/agree.txt" 2>"$work/agree.err" || status=$?
[[ $status -eq 0 ]] || { echo "agreeing demo: exit $status"; cat "$work/agree.err"; exit 1; }
grep -q '^Every category line agrees with the data.$' "$work/agree.txt" || { echo "no agreement line"; exit 1; }

# Variable 5 (KEY_RACE, a one-column code 1-4 on line 1 of the youth file) is
# changed in the first case: its old code loses a case, the new one gains it.
location=$("$bin/qavn-extract" P=DEMO --show 5 | sed -n 's/^location: //p')
data=d/DATA/YOUTH97.DAT
first=${location%%-*}
old=$(head -c "$first" "$data" | tail -c 1)
new=1; [[ $old == 1 ]] && new=2
printf '%s' "$new" | dd of="$data" bs=1 seek=$((first - 1)) conv=notrunc status=none
status=0
"$bin/qavn-extract" P=DEMO --verify --tag 5 >"$work/differ.txt" 2>"$work/differ.err" || status=$?
[[ $status -eq 1 ]] || { echo "changed data: exit $status"; cat "$work/differ.txt" "$work/differ.err"; exit 1; }
lines=$(grep -c ' code ' "$work/differ.txt" || true)
[[ $lines -ge 1 && $lines -le 2 ]] || { echo "expected one or two differences:"; cat "$work/differ.txt"; exit 1; }

rm d/DATA/SCHOOL97.DAT
status=0
"$bin/qavn-extract" P=DEMO --verify >"$work/missing.txt" 2>"$work/missing.err" || status=$?
[[ $status -eq 1 ]] || { echo "missing data file: exit $status"; exit 1; }
grep -q 'SCHOOL97.DAT' "$work/missing.err" || { echo "error does not name the file:"; cat "$work/missing.err"; exit 1; }
echo ok
