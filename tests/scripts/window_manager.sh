#!/usr/bin/env bash
# The windows under a real X server with a window manager (Xvfb, openbox),
# driven with xdotool on the demo project: a click into a description window
# (its text, its title bar, its pin) neither unpins nor refreshes it;
# activation by the window manager does; closing one of two windows returns
# to the main window's list without touching the other one; Search Next, Tag
# All Match and Close leave the description windows where they are, and Close
# makes the main window active; a five-digit frequency stands apart from its
# code in the frequency view (its drawn ink measured); at QT_SCALE_FACTOR=2 on
# a 1024x700 screen the first window fits the screen. Without a display the
# programs say so in one line. Skips the X part only when no X server can be
# started.
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
# The first visible window whose name matches, waited for up to SECONDS. A
# search that meets a window closing as it looks (the logo, a dialog) fails
# with an X error and is simply made again.
find_window() {
  local pattern=$1 seconds=$2 found
  local end=$((SECONDS + seconds))
  while ((SECONDS < end)); do
    found=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1) || true
    [[ -n "$found" ]] && { echo "$found"; return 0; }
    sleep 0.2
  done
  return 1
}

# Without a display: one line and status 1, never the platform's abort;
# --help needs no display.
for program in qavn qavn-import-window; do
  set +e
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$bin/$program" P=DEMO 2>&1)
  status=$?
  set -e
  [[ $status -eq 1 ]] || fail "$program without a display: exit status $status, not 1: $out"
  [[ $(wc -l <<<"$out") -eq 1 && "$out" == *"no display"* ]] || fail "$program without a display said: $out"
  env -u DISPLAY -u WAYLAND_DISPLAY "$bin/$program" --help | grep -q '^Usage: ' || fail "$program --help"
done

if ! command -v Xvfb >/dev/null; then
  echo "SKIP: Xvfb is not installed, no X server to test under"
  exit 0
fi
for tool in openbox xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done

# A display of its own.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
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
main=$(find_window '^QAVN - ' 60) || fail "no main window: $(cat "$work/qavn.log")"
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
first=$(find_window '^Description/Frequency' 10) || fail "no description window"
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

# The Search dialog beside two description windows (rows 3 and 5), the first
# used last: Search Next and Tag All Match move and tag in the list without
# activating either window, and Close makes the main window active, although
# the window manager hands the focus back to the window used before; neither
# window follows the list (which a window activated so would).
active_name() { title_of "$(xdotool getactivewindow 2>/dev/null)" 2>/dev/null || true; }
to_list
xdotool key Up Up Up Up
xdotool key alt+s
search=$(find_window '^Search$' 10) || fail "no Search dialog"
sleep 0.5
xdotool type "KEY_"
click_in "$first" 150 150
sleep 0.5
xdotool windowactivate --sync "$search"
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$search")"
# The buttons stand at the dialog's right edge, one under the other.
button() { xdotool mousemove --window "$search" $((WIDTH - 57)) $((21 + 28 * $1)) click 1; }
button 0
sleep 0.5
button 0
sleep 1
[[ "$(active_name)" == "Search" ]] || fail "Search Next left '$(active_name)' active"
button 1
sleep 1
[[ "$(active_name)" == "Search" ]] || fail "Tag All Match left '$(active_name)' active"
keep_title "$first" "$(caption 3)" "Search Next and Tag All Match (first window)"
keep_title "$second" "$(caption 5)" "Search Next and Tag All Match (second window)"
button 3
for _ in $(seq 50); do [[ "$(xdotool getactivewindow 2>/dev/null)" == "$main" ]] && break; sleep 0.1; done
[[ "$(xdotool getactivewindow 2>/dev/null)" == "$main" ]] || fail "Close left '$(active_name)' active, not the main window"
keep_title "$first" "$(caption 3)" "closing Search (first window)"
keep_title "$second" "$(caption 5)" "closing Search (second window)"
[[ "$(xdotool getactivewindow 2>/dev/null)" == "$main" ]] || fail "after closing Search '$(active_name)' became active"
kill "${pids[-1]}" 2>/dev/null || true

# A five-digit frequency: its code, the frequency, the percent, its bar and
# the label are five separate runs of ink in the frequency view (code 1 and
# frequency 44048 drawn as "144048" would be four).
cat >"$work/big.json" <<'JSON'
{"id": "BIG", "title": "FIVE DIGITS", "cases": 44048,
 "dataFiles": [{"dataPath": "DATA\\BIG.DAT", "linesPerCase": 1}],
 "variables": [{"name": "ONE", "file": 1, "record": 1, "location": "1", "type": " ", "label": "Always one",
                "section": "ALL", "description": ["Every case holds 1."],
                "categories": [{"code": "1", "label": "One", "weight": 100}]}]}
JSON
"$bin/qavn-mkproject" "$work/big.json" --out "$work/big" >/dev/null
cd "$work/big"
QAVN_DRIVE_C="$work/big/c" QAVN_DRIVE_D="$work/big/d" "$bin/qavn" P=BIG >"$work/big.log" 2>&1 &
pids+=($!)
main=$(find_window '^QAVN - \[FIVE' 60) || fail "no main window for BIG: $(cat "$work/big.log")"
to_list
# The row's menu from the keyboard, then Frequency.
xdotool key Menu
sleep 0.5
xdotool key f
frequency=$(find_window '^Description/Frequency - \[ONE\]' 10) || fail "no frequency view"
sleep 1
runs=$("$bin/window_ink" "$frequency" --runs 2>"$work/ink.log") || fail "cannot measure the frequency view: $(cat "$work/ink.log")"
[[ $(wc -w <<<"$runs") -eq 5 ]] || fail "the frequency line 1 / 44048 / 100.0 / bar / One is drawn as the ink runs '$runs'"
kill "${pids[-1]}" 2>/dev/null || true

# At twice the scale on a 1024x700 screen the first start fits the screen.
Xvfb -displayfd 4 -screen 0 1024x700x24 -nolisten tcp 4>"$work/display2" 2>"$work/xvfb2.log" &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display2" ]] && break; sleep 0.1; done
[[ -s "$work/display2" ]] || fail "the second X server did not start"
export DISPLAY=":$(head -1 "$work/display2")"
openbox --sm-disable >"$work/openbox2.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
rm -rf "$XDG_CONFIG_HOME"
cd "$work/demo"
QT_SCALE_FACTOR=2 "$bin/qavn" P=DEMO >"$work/scaled.log" 2>&1 &
pids+=($!)
main=$(find_window '^QAVN - ' 60) || fail "no scaled main window: $(cat "$work/scaled.log")"
sleep 1
eval "$(xwininfo -id "$main" | awk '/Absolute upper-left X/{print "x=" $4} /Absolute upper-left Y/{print "y=" $4} /  Width/{print "w=" $2} /  Height/{print "h=" $2}')"
(( x >= 0 && y >= 0 && x + w <= 1024 && y + h <= 700 )) ||
  fail "at scale 2 the window (${w}x${h} at $x,$y) does not fit the 1024x700 screen"
echo "window manager checks passed"
