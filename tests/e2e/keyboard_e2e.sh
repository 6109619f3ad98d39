#!/usr/bin/env bash
# Uses the real program under Xvfb with the keyboard alone: from the first
# focus, on today, Right moves to tomorrow, Return opens
# it, typing and Ctrl+S save its note (checked in the file's bytes), Esc
# closes the panel, Page Down shows the next month and Home today's again.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"

start_calendar "$1"
xdotool windowfocus --sync "$window"
keys() { xdotool key --delay 80 "$@"; sleep 0.3; }
expect_title() {
  local got
  for _ in $(seq 50); do got=$(xdotool getwindowname "$window"); [ "$got" = "$1" ] && return 0; sleep 0.1; done
  fail "title is '$got', expected '$1'"
}

keys Right Return
expect_size 583x216
xdotool type --delay 40 "memo 9:00"
keys ctrl+s
expect_record "$(date -d tomorrow +%Y),$(date -d tomorrow +%-m),$(date -d tomorrow +%-d),memo 9:00"

keys Escape
expect_size 235x216
# Esc left the focus on tomorrow, which may lie in the next month.
keys Home
expect_title "$title"
keys Next
expect_title "$(date -d "$(date +%Y-%m-01) +1 month" +%Y)年$(date -d "$(date +%Y-%m-01) +1 month" +%-m)月"
keys Home
expect_title "$title"
echo "opened tomorrow, saved its note, closed, stepped a month and came back, all by keyboard"
