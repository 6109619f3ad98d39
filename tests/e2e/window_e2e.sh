#!/usr/bin/env bash
# Starts hiduke under Xvfb, finds its window by today's title, checks its size
# and takes a screenshot.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"

start_calendar "$1"

size=$(window_size "$window")
[ "$size" = "235x216" ] || fail "window is $size, expected 235x216"

shot="$PWD/window_e2e_narrow.png"  # kept beside the test for a look
import -window "$window" "$shot"
[ "$(identify -format '%wx%h' "$shot")" = "235x216" ] || fail "screenshot has the wrong size"
echo "window '$title' is $size"
