#!/usr/bin/env bash
# The description windows under a real X server with a window manager
# (Xvfb, openbox), driven with xdotool on the demo project: a click into a
# window (its text, its title bar, its pin) neither unpins nor refreshes it;
# activation by the window manager does; closing one of two windows returns
# to the main window's list without touching the other one. Skips only when
# no X server can be started.
# Usage: window_manager.sh BIN-DIR SOURCE-DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if ! command -v Xvfb >/dev/null; then
  echo "SKIP: Xvfb is not installed, no X server to test under"
  exit 0
fi
for tool in openbox xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done

# A display of its own.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
if [[ ! -s "$work/display" ]]; then
  echo "SKIP: Xvfb could not start: $(tail -1 "$work/xvfb.log")"
  exit 0
fi
export DISPLAY=":$(head -1 "$work/display")"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" QAVN_LOGO_MS=0
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "openbox did not start"

"$bin/qavn-mkproject" "$src/samples/demo/demo.json" --out "$work/demo" >/dev/null
cd "$work/demo"
export QAVN_DRIVE_C="$work/demo/c" QAVN_DRIVE_D="$work/demo/d"
names=()
while IFS=$'\t' read -r _ text; do names+=("$(cut -c1-8 <<<"$text" | sed 's/ *$//')"); done \
  < <("$bin/qavn-extract" P=DEMO --list | head -6)

"$bin/qavn" P=DEMO >"$work/qavn.log" 2>&1 &
pids+=($!)
# The main window's title names the project once the list has loaded.
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^QAVN - ' | head -1) || fail "no main window: $(cat "$work/qavn.log")"
title_of() { xdotool getwindowname "$1"; }
caption() { echo "Description/Frequency - [${names[$1 - 1]}]"; }
# Waits until the window's title is the expected one.
expect_title() {
  local window=$1 want=$2 what=$3
  for _ in $(seq 50); do [[ "$(title_of "$window")" == "$want" ]] && return 0; sleep 0.1; done
  fail "$what: the window shows '$(title_of "$window")', not '$want'"
}
# The title stays what it is for a while (the window would refresh by then).
keep_title() {
  local window=$1 want=$2 what=$3
  sleep 1
  [[ "$(title_of "$window")" == "$want" ]] || fail "$what: the window shows '$(title_of "$window")', not '$want'"
}
to_list() {
  xdotool windowactivate --sync "$main"
  for _ in $(seq 50); do [[ "$(xdotool getactivewindow 2>/dev/null)" == "$main" ]] && break; sleep 0.1; done
  sleep 0.3
}
# Clicks at x,y of a window's client area.
click_in() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

# The first variable's description.
to_list
xdotool key Return
first=$(timeout 10 xdotool search --sync --onlyvisible --name '^Description/Frequency' | head -1) || fail "no description window"
expect_title "$first" "$(caption 1)" "opened on row 1"

# Pin it (the pin is at its top left), go down the list, then click into its
# text: it stays on its variable and pinned.
click_in "$first" 12 11
to_list
xdotool key Down
click_in "$first" 150 150
keep_title "$first" "$(caption 1)" "click into the text of a pinned window"
# Its title bar, too.
to_list
eval "$(xdotool getwindowgeometry --shell "$first")"
xdotool mousemove $((X + 80)) $((Y - 8)) click 1
keep_title "$first" "$(caption 1)" "click on the title bar of a pinned window"

# Unpinned by its pin (the window is active), then pinned again while
# inactive: the pin keeps the window's own variable.
click_in "$first" 12 11
keep_title "$first" "$(caption 1)" "unpinning by the pin"
to_list
xdotool key Down
click_in "$first" 12 11
keep_title "$first" "$(caption 1)" "the pin of an inactive window"

# Activated by the window manager (the pointer elsewhere): it unpins and
# follows the list (row 3).
to_list
xdotool mousemove 5 1000
xdotool windowactivate --sync "$first"
expect_title "$first" "$(caption 3)" "activation by the window manager"

# A second window on row 4; closing it with Escape returns to the list and
# leaves the first window on row 3.
to_list
xdotool key Down Return
second=""
for _ in $(seq 50); do
  for w in $(xdotool search --onlyvisible --name '^Description/Frequency'); do
    [[ "$w" != "$first" ]] && second=$w
  done
  [[ -n "$second" ]] && break
  sleep 0.1
done
[[ -n "$second" ]] || fail "no second description window"
expect_title "$second" "$(caption 4)" "the second window"
for _ in $(seq 50); do [[ "$(xdotool getactivewindow 2>/dev/null)" == "$second" ]] && break; sleep 0.1; done
[[ "$(xdotool getactivewindow 2>/dev/null)" == "$second" ]] || fail "the second window is not active"
xdotool key Escape
keep_title "$first" "$(caption 3)" "closing the other window"
[[ "$(xdotool getactivewindow 2>/dev/null)" == "$main" ]] || fail "closing a description window left '$(title_of "$(xdotool getactivewindow 2>/dev/null)")' active"
# The list has the keyboard: Down moves it to row 5.
xdotool key Down
xdotool key Return
expect_title "$second" "$(caption 5)" "Enter in the list after closing"
echo "window manager checks passed"
