#!/usr/bin/env bash
# A review made in the real program under a clock set from outside the process (faketime) makes
# the face due on the right later day, as `memoranth --due` reports it at other fixed times.
# Usage: due_after_review.sh MEMORANTH_BINARY DECK
set -euo pipefail

# shellcheck source=tests/e2e/e2e_common.sh
source "$(dirname "$0")/e2e_common.sh"
# Study days start at 04:00 in this zone; the times below are given in it.
export TZ=UTC
# The program's timers keep running on the real monotonic clock.
export FAKETIME_DONT_FAKE_MONOTONIC=1

if [ "${E2E_INSIDE_X:-}" = 1 ]; then
  session_with "$4" faketime -f "@$3" "$binary" "${@:5}"
  exit
fi

# Correct twice on the first face at noon: its first step, then learnt with an interval of two
# days (a first Good gives a stability of 2.3 days; too short an interval for any fuzz).
in_x "2026-06-10 12:00:00" "c c" "$deck"

due_at() { faketime -f "@$1" "$binary" --due "$deck"; }
python3 - "$plist" \
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
