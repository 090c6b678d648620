#!/usr/bin/env bash
# The Parquet readers the tests check the Parquet output with: DuckDB's node
# package (which ships its engine) and hyparquet with its decompressors, at
# the versions tests/npm/package.json names, installed once into a cache
# folder outside the build tree so that a new build or a new clone finds
# them there at once:
#   ${QAVN_NPM_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/qavn/npm}
# Prints that folder and exits 0 when the readers are there (installing them
# when missing or when package.json changed); exits 1 with the reason on
# standard error when they cannot be had (no node or npm, registry out of
# reach), so that the tests skip instead of failing.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${QAVN_NPM_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/qavn/npm}
manifest="$root/tests/npm/package.json"

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    echo "node and npm are not installed (Debian: nodejs npm)" >&2
    exit 1
fi
stamp=$(sha256sum "$manifest" | cut -d' ' -f1)
ready() { [[ -f "$dir/.installed" && "$(cat "$dir/.installed")" == "$stamp" ]]; }
if ready; then
    echo "$dir"
    exit 0
fi

mkdir -p "$dir" || exit 1
# One install at a time, also across work trees sharing the cache.
exec 9>"$dir/.lock"
flock 9
if ! ready; then
    echo "Installing the Parquet readers for the tests into $dir ..." >&2
    rm -f "$dir/.installed"
    cp "$manifest" "$dir/package.json"
    if ! (cd "$dir" && timeout 600 npm install --no-audit --no-fund --no-package-lock \
            --fetch-retries=1 --fetch-timeout=60000 >"$dir/install.log" 2>&1); then
        echo "npm could not install the Parquet readers (see $dir/install.log):" >&2
        tail -n 3 "$dir/install.log" >&2
        exit 1
    fi
    echo "$stamp" >"$dir/.installed"
fi
echo "$dir"
