#!/usr/bin/env bash
# A whole session with the real program in a real X server: open a deck from the command line,
# study with the keyboard, quit, check the saved progress, start again and find the deck restored.
# Usage: study_session.sh MEMORANTH_BINARY DECK
set -euo pipefail

# shellcheck source=tests/e2e/e2e_common.sh
source "$(dirname "$0")/e2e_common.sh"

# Runs inside the X server: two processes on the deck at once, each rating while the other is
# open with the ratings it read at its start.
pair() {
  "$binary" "$deck" &
  local first=$!
  local window1 window2=""
  window1=$(deck_window)
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
    session_with "$3" "$binary" "${@:4}"
  fi
  exit
fi
in_x "c space c" "$deck"
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
