#!/usr/bin/env bash
# A whole session with the real program in a real X server: open a deck from the command line,
# study with the keyboard, quit, check the saved progress, start again and find the deck restored.
# Usage: study_session.sh MEMORANTH_BINARY DECK
set -euo pipefail

binary=$1
deck=$(realpath "$2")
if [ "${E2E_INSIDE_X:-}" != 1 ]; then
  home=$(mktemp -d)
  trap 'rm -rf "$home"' EXIT
fi
home=${home:-$HOME}
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
export XDG_RUNTIME_DIR=$home/runtime LANG=C.UTF-8 LC_ALL=C.UTF-8 LANGUAGE=en
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
title=$(basename "$deck"); title=${title%.*}

# Runs inside the X server: starts the program, waits for its window, then types.
session() {
  local keys=$1; shift
  "$binary" "$@" &
  local pid=$!
  local window
  window=$(timeout 30 xdotool search --sync --onlyvisible --name "^${title}( |\$)" | head -n 1)
  [ -n "$window" ] || { echo "no window titled '$title'"; kill "$pid"; return 1; }
  xdotool windowfocus --sync "$window"
  sleep 0.5
  for key in $keys; do
    xdotool key "$key"
    sleep 0.4
  done
  xdotool key ctrl+q
  timeout 30 tail --pid="$pid" -f /dev/null
  wait "$pid"
}
# Gives the window the focus and types the keys.
press() {
  local window=$1; shift
  xdotool windowfocus --sync "$window"
  sleep 0.5
  for key in "$@"; do
    xdotool key "$key"
    sleep 0.4
  done
}
# Runs inside the X server: two processes on the deck at once, each rating while the other is
# open with the ratings it read at its start.
pair() {
  "$binary" "$deck" &
  local first=$!
  local window1 window2=""
  window1=$(timeout 30 xdotool search --sync --onlyvisible --name "^${title}( |\$)" | head -n 1)
  "$binary" "$deck" &
  local second=$!
  for _ in $(seq 60); do
    window2=$(xdotool search --onlyvisible --name "^${title}( |\$)" | grep -vx "$window1" | head -n 1 || true)
    [ -n "$window2" ] && break
    sleep 0.5
  done
  [ -n "$window1" ] && [ -n "$window2" ] || { echo "no two windows"; kill "$first" "$second"; return 1; }
  press "$window1" c
  press "$window2" space c
  press "$window1" c
  press "$window1" ctrl+q
  press "$window2" ctrl+q
  timeout 30 tail --pid="$first" -f /dev/null
  timeout 30 tail --pid="$second" -f /dev/null
  wait "$first"
  wait "$second"
}
if [ "${E2E_INSIDE_X:-}" = 1 ]; then
  if [ "$3" = pair ]; then
    pair
  else
    session "${@:3}"
  fi
  exit
fi
in_x() { E2E_INSIDE_X=1 xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$binary" "$deck" "$@"; }

in_x "c space c" "$deck"

plist="$XDG_DATA_HOME/org.memoranth.Memoranth/$title.plist"
python3 - "$plist" <<'PY'
import plistlib, sys
table = plistlib.load(open(sys.argv[1], "rb"))
rated = sorted((r["text"], r["rating"], r["progress"]) for r in table.values() if r["rating"])
assert len(rated) == 2, rated
assert all(rating == 1 and progress == "learning" for _, rating, progress in rated), rated
print("progress file holds", len(table), "faces, rated:", [text for text, _, _ in rated])
PY

# Without arguments the deck of the last run is open again: its window has the deck's title.
in_x ""
echo "restored '$title' on the second start"

# Two processes on one deck: neither save undoes the other's ratings.
in_x pair
python3 - "$plist" <<'PY'
import plistlib, sys
table = plistlib.load(open(sys.argv[1], "rb"))
ratings = sorted(r["rating"] for r in table.values() if r["rating"])
assert ratings == [2, 3], ratings
print("two processes kept both their ratings:", ratings)
PY
