# Start-up shared by the end-to-end scripts, sourced with their arguments in place
# (MEMORANTH_BINARY DECK ...): a home of its own for the program (outside the X server; inside it
# the caller's is kept), a fixed locale, and helpers that drive the program's window.
# shellcheck shell=bash

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
# shellcheck disable=SC2034 # read by the scripts that source this
plist="$XDG_DATA_HOME/org.memoranth.Memoranth/$title.plist"

# Runs this script again inside a virtual X server, with E2E_INSIDE_X=1 and the given arguments
# after the binary and the deck.
in_x() { E2E_INSIDE_X=1 xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$binary" "$deck" "$@"; }

# Prints the id of the first visible window titled after the deck, waiting up to 30 s for one.
deck_window() {
  timeout 30 xdotool search --sync --onlyvisible --name "^${title}( |\$)" | head -n 1
}

# Gives the window the focus and types the keys, one at a time.
press() {
  local window=$1; shift
  xdotool windowfocus --sync "$window"
  sleep 0.5
  for key in "$@"; do
    xdotool key "$key"
    sleep 0.4
  done
}

# Starts the command (the program and its arguments), waits for its window, types the keys
# (one word each) and quits with Ctrl+Q, then waits for the program to end.
session_with() {
  local keys=$1; shift
  "$@" &
  local pid=$!
  local window
  window=$(deck_window)
  [ -n "$window" ] || { echo "no window titled '$title'"; kill "$pid"; return 1; }
  # shellcheck disable=SC2086
  press "$window" $keys ctrl+q
  timeout 30 tail --pid="$pid" -f /dev/null
  wait "$pid"
}
