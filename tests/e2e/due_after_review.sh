#!/usr/bin/env bash
# A review made in the real program under a clock set from outside the process (faketime) makes
# the face due on the right later day, as `memoranth --due` reports it at other fixed times.
# Usage: due_after_review.sh MEMORANTH_BINARY DECK
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
# Study days start at 04:00 in this zone; the times below are given in it.
export TZ=UTC
# The program's timers keep running on the real monotonic clock.
export FAKETIME_DONT_FAKE_MONOTONIC=1
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
title=$(basename "$deck"); title=${title%.*}

# Runs inside the X server: starts the program at the given time, waits for its window, types.
session() {
  local when=$1 keys=$2; shift 2
  faketime -f "@$when" "$binary" "$@" &
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
if [ "${E2E_INSIDE_X:-}" = 1 ]; then
  session "${@:3}"
  exit
fi

# Correct twice on the first face at noon: its first step, then learnt with an interval of two
# days (a first Good gives a stability of 2.3 days; too short an interval for any fuzz).
E2E_INSIDE_X=1 xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$binary" "$deck" \
  "2026-06-10 12:00:00" "c c" "$deck"

due_at() { faketime -f "@$1" "$binary" --due "$deck"; }
python3 - "$XDG_DATA_HOME/org.memoranth.Memoranth/$title.plist" \
  "$(due_at "2026-06-11 12:00:00")" "$(due_at "2026-06-12 03:59:00")" \
  "$(due_at "2026-06-12 04:00:30")" "$(due_at "2026-06-20 12:00:00")" <<'PY'
import json, plistlib, sys
table = plistlib.load(open(sys.argv[1], "rb"))
reviewed = [(key, r) for key, r in table.items() if "stability" in r]
assert len(reviewed) == 1, reviewed
key, record = reviewed[0]
assert record["reviews"] == 2 and record["lapses"] == 0 and "learningStep" not in record, record
days = (record["nextReview"] - record["lastReview"]).total_seconds() / 86400
assert days == 2, days
assert record["lastReview"].strftime("%Y-%m-%d %H") == "2026-06-10 12", record["lastReview"]
reports = [json.loads(text) for text in sys.argv[2:]]
due = [[face["key"] for face in report["due"]] for report in reports]
assert due == [[], [], [key], [key]], due
# The reviewed face is no longer new; the other faces are.
assert all(key not in [face["key"] for face in report["new"]] for report in reports)
assert reports[2]["now"].startswith("2026-06-12T04:00:"), reports[2]["now"]
print("reviewed on 2026-06-10 at noon: due from 04:00 on 2026-06-12, not before")
PY
