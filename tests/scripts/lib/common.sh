# The start every script test shares. ctest runs a script as
#   bash <script> <build>/bin <source folder>
# and the script sources this file with those arguments:
#   . "$(dirname "$0")/lib/common.sh" "$@"
# It leaves strict mode on, LC_ALL=C, BIN and SRC absolute, and defines:
#   die MESSAGE         "FAIL: MESSAGE" on standard error, exit 1
#   fail MESSAGE        the same, until count_failures makes it count instead
#   count_failures      fail prints "FAIL: MESSAGE", adds one to $failures and
#                       the script goes on (it reports $failures at its end)
#   need_tools T...     dies unless every program T is built in $BIN
#   need_commands C...  dies unless every command C is installed
#   need_pandas         dies unless Debian's python3 has pandas
#   skip MESSAGE        a check that cannot run here (something outside the
#                       repository is missing): "skipped: MESSAGE", and the
#                       script's name with MESSAGE added to $QAVN_SKIP_LOG,
#                       which ./test lists at its end
#   make_work NAME      WORK, a new temporary folder removed on exit
#   demo_project DIR    the bundled demo project made into DIR (PROJECT), its
#                       drives C: and D: mapped there, the working folder
#                       there, and extract() running qavn-extract on it
set -euo pipefail
export LC_ALL=C

[[ $# -ge 2 ]] || { echo "usage: $0 BIN_DIR SOURCE_DIR" >&2; exit 2; }
BIN=$(cd "$1" && pwd)
SRC=$(cd "$2" && pwd)

die() { echo "FAIL: $*" >&2; exit 1; }
fail() { die "$@"; }
count_failures() {
    failures=0
    fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
}

need_tools() {
    local tool
    for tool in "$@"; do
        [[ -x "$BIN/$tool" ]] || die "$tool is not built in $BIN"
    done
}

need_commands() {
    local command
    for command in "$@"; do
        command -v "$command" >/dev/null || die "$command is not installed"
    done
}

skip() {
    echo "skipped: $*"
    if [[ -n "${QAVN_SKIP_LOG:-}" ]]; then
        echo "$(basename "$0" .sh): $*" >> "$QAVN_SKIP_LOG"
    fi
}

need_pandas() {
    /usr/bin/python3 -c 'import pandas' 2>/dev/null || die "pandas is not installed (python3-pandas)"
}

make_work() {
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/qavn-$1-XXXXXX")
    trap 'rm -rf "$WORK"' EXIT
}

demo_project() {
    local source="$SRC/samples/demo/demo.json"
    [[ -f "$source" ]] || die "no demo project source at $source"
    need_tools qavn-mkproject qavn-extract
    PROJECT=$1
    "$BIN/qavn-mkproject" "$source" --out "$PROJECT" >/dev/null || die "qavn-mkproject could not make the demo project"
    export QAVN_DRIVE_C="$PROJECT/c" QAVN_DRIVE_D="$PROJECT/d"
    cd "$PROJECT"
    extract() { "$BIN/qavn-extract" P=DEMO "$@"; }
}
