#!/bin/bash
# A data export killed mid-run (kill -9) leaves no file under a final name
# that is incomplete: each final file is whole or absent, and the temporary
# files it left are removed by the next run that writes into the folder.
#
# Usage: kill_outputs.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_tools qavn-mkproject qavn-extract
make_work kill
trap 'kill -9 "${pid:-0}" 2>/dev/null || true; rm -rf "$WORK"' EXIT
PROJECT="$WORK/project"
"$BIN/qavn-mkproject" --synthetic --variables 300 --cases 60000 --seed 7 --id SYN --out "$PROJECT" >/dev/null
export QAVN_DRIVE_C="$PROJECT/c" QAVN_DRIVE_D="$PROJECT/d"
cd "$PROJECT"
OUT="$PROJECT/c/QAVN/OUT"

# The whole export once, for comparison.
mkdir "$WORK/whole"
"$BIN/qavn-extract" P=SYN --tag 1-300 --write access "$WORK/whole" >/dev/null
whole=$(ls "$WORK/whole" | wc -l)
[ "$whole" -ge 2 ] || fail "the complete export wrote $whole files"

# Killed as soon as its first temporary file is there.
"$BIN/qavn-extract" P=SYN --tag 1-300 --access >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 400); do
    compgen -G "$OUT/.*qavn-*" >/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
done
kill -9 "$pid" 2>/dev/null || fail "the export ended before it could be killed"
wait "$pid" 2>/dev/null || true
compgen -G "$OUT/.*qavn-*" >/dev/null || fail "the killed export left no temporary file"
for f in "$OUT"/*; do
    [ -e "$f" ] || continue
    cmp -s "$f" "$WORK/whole/$(basename "$f")" || fail "$(basename "$f") is under its final name but incomplete"
done

# The next run into the folder removes what the killed one left and writes
# whole files.
"$BIN/qavn-extract" P=SYN --tag 1-300 --access >/dev/null
! compgen -G "$OUT/.*qavn-*" >/dev/null || fail "stale temporary files remain: $(ls -a "$OUT")"
for f in "$WORK/whole"/*; do
    cmp -s "$f" "$OUT/$(basename "$f")" || fail "$(basename "$f") differs after the second run"
done
echo PASS
