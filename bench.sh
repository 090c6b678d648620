#!/usr/bin/env bash
# Builds the benchmark programs (Release, in build/bench), makes the cached
# synthetic projects under build/bench-data once, runs every bench_* program
# and prints one table of their results.
#
#   ./bench.sh            all benchmarks
#   ./bench.sh NAME...    only bench_NAME... (for example ./bench.sh codebook_read)
#   ./bench.sh --quick [NAME...]
#                         the programs that read the codebook on a project of
#                         100,000 variables (QAVN_BENCH_VARIABLES) instead
#                         of 1,000,000: start-up, search and query in a minute
#
# The window benchmarks (bench/gui_*.cpp) need Qt; they are built when Qt 6 is
# found and run offscreen.
#
# bench_import runs qavn-import and pspp-convert of a 1.6 GB .sav in turns,
# three rounds: about four minutes on an idle machine (./bench.sh import).
#
# bench_verify and bench_tabulate read the same 1 GB project
# (build/bench-data/verify1024), made by whichever runs first; the table
# alone: ./bench.sh tabulate
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build="$root/build/bench"
data="$root/build/bench-data"

# Qt is looked for by CMake itself: first with the window benchmarks, and
# without them when it is not found.
if ! cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQAVN_BUILD_BENCH=ON \
        -DQAVN_BUILD_TESTS=OFF -DQAVN_BUILD_GUI=ON -DQAVN_SANITIZE=OFF >/dev/null 2>&1; then
    echo "Qt 6 not found: the window benchmarks are left out" >&2
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQAVN_BUILD_BENCH=ON \
        -DQAVN_BUILD_TESTS=OFF -DQAVN_BUILD_GUI=OFF -DQAVN_SANITIZE=OFF >/dev/null
fi
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
cmake --build "$build" -j2 >/dev/null || cmake --build "$build" -j1
mkdir -p "$data"
export QAVN_MKPROJECT="$build/bin/qavn-mkproject"

if [[ "${1:-}" == --quick ]]; then
    shift
    export QAVN_BENCH_VARIABLES="${QAVN_BENCH_VARIABLES:-100000}"
    [[ $# -gt 0 ]] || set -- startup search query
fi

# The million-variable project most benchmarks read, made once (the programs
# make the smaller one of a quick run themselves).
if [[ -z "${QAVN_BENCH_VARIABLES:-}" && ! -f "$data/syn1m/.complete" ]]; then
    rm -rf "$data/syn1m.tmp" "$data/syn1m"
    echo "making $data/syn1m (1,000,000 variables, once) ..." >&2
    start=$(date +%s.%N)
    "$QAVN_MKPROJECT" --synthetic --variables 1000000 --cases 10 --seed 1 --id SYN \
        --out "$data/syn1m.tmp" >/dev/null
    end=$(date +%s.%N)
    touch "$data/syn1m.tmp/.complete"
    mv "$data/syn1m.tmp" "$data/syn1m"
    printf 'made in %.1f s\n' "$(echo "$end - $start" | bc)" >&2
fi

# DuckDB's node package, the anchor of the Parquet output, when npm can have it.
if npm_dir=$("$root/scripts/npm-readers.sh" 2>/dev/null); then
    export QAVN_NPM_DIR="$npm_dir"
fi

programs=()
if [[ $# -gt 0 ]]; then
    for name in "$@"; do programs+=("$build/bin/bench_$name"); done
else
    for p in "$build"/bin/bench_*; do [[ -x "$p" ]] && programs+=("$p"); done
fi

rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
failed=0
for p in "${programs[@]}"; do
    name=$(basename "$p")
    echo "running $name ..." >&2
    if ! "$p" "$data" | tee -a "$rows" | grep -v '^ROW' >&2; then :; fi
    if [[ ${PIPESTATUS[0]} -ne 0 ]]; then
        echo "$name failed" >&2
        failed=1
    fi
done

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
memory=$(awk '/MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo)
echo
echo "Machine: $(nproc) CPUs, $memory memory, $cpu"
echo
grep '^ROW' "$rows" | awk -F'\t' '
    function rule(w,   s) { s = ""; while (w-- > 0) s = s "-"; return s }
    { n++; op[n] = $2; q[n] = sprintf("%.3f", $3); an[n] = $4; a[n] = sprintf("%.3f", $5)
      r[n] = ($5 > 0) ? sprintf("%.2f", $3 / $5) : "-"
      pk[n] = (NF >= 6 && $6 >= 0) ? sprintf("%.1f", $6) : "-"
      if (length(op[n]) > w1) w1 = length(op[n]); if (length(an[n]) > w3) w3 = length(an[n]) }
    END {
      if (w1 < 9) w1 = 9; if (w3 < 6) w3 = 6
      printf "| %-*s | %10s | %-*s | %10s | %7s | %9s |\n", w1, "operation", "QAVN (s)", w3, "anchor", "anchor (s)",
             "ratio", "peak (MB)"
      printf "|%s|%s|%s|%s|%s|%s|\n", rule(w1 + 2), rule(12), rule(w3 + 2), rule(12), rule(9), rule(11)
      for (i = 1; i <= n; i++)
        printf "| %-*s | %10s | %-*s | %10s | %7s | %9s |\n", w1, op[i], q[i], w3, an[i], a[i], r[i], pk[i]
    }'
exit $failed
