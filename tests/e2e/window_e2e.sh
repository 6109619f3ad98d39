#!/usr/bin/env bash
# Starts hiduke under Xvfb on a Tuesday, finds its window by that day's
# title, checks its size, takes a screenshot, and measures on it that today's
# number and the note panel's heading stand out from their fills.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"

start_calendar "$1" 2026-12-08  # a Tuesday, in cell 9

size=$(window_size "$window")
[ "$size" = "235x216" ] || fail "window is $size, expected 235x216"

shot="$PWD/window_e2e_narrow.png"  # kept beside the test for a look
import -window "$window" "$shot"
[ "$(identify -format '%wx%h' "$shot")" = "235x216" ] || fail "screenshot has the wrong size"
legible() {
  local contrast
  contrast=$(drawn_contrast "$1")
  awk -v c="$contrast" 'BEGIN { exit !(c >= 4.5) }' || fail "$2 has contrast $contrast, below 4.5"
  echo "$2: contrast $contrast"
}
convert "$shot" -crop 21x21+74+58 "$e2e_dir/today.png"  # inside today's frame
legible "$e2e_dir/today.png" "today's number"
xdotool mousemove --window "$window" $((72 + 12)) $((56 + 12)) click 1
expect_size 583x216
sleep 0.3
import -window "$window" "$e2e_dir/wide.png"
convert "$e2e_dir/wide.png" -crop 305x17+256+8 "$e2e_dir/heading.png"
legible "$e2e_dir/heading.png" "the note panel's heading"
echo "window '$title' is $size"
