#!/usr/bin/env bash
# Uses the note panel of the real program under Xvfb as a user does: opens
# the 15th of the month, types a note, saves it, closes the panel, reopens
# the day and deletes the note, checking the file's bytes, the window's width
# and the underline on the screen.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"

start_calendar "$1"

# The cell of the 15th: the 1st stands in the column of its weekday.
first_column=$(date -d "$(date +%Y-%m-01)" +%w)
cell=$((first_column + 14))
cell_x=$((8 + 32 * (cell % 7))) cell_y=$((32 + 24 * (cell / 7)))
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.3; }
click_cell() { click $((cell_x + 12)) $((cell_y + 12)); }
click_save() { click $((336 + 32)) $((184 + 12)); }
# Closing hands the keyboard back to the day that was open; Tab takes it on
# to the next button, so that the cell shows without its focus mark.
click_close() { click $((416 + 32)) $((184 + 12)); xdotool key Tab; sleep 0.2; }
click_box() { click 400 100; }
cell_image() { import -window "$window" -crop "25x25+${cell_x}+${cell_y}" "$1"; }
same_image() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = "0" ]; }

cell_image "$e2e_dir/plain.png"
click_cell
expect_size 583x216
click_box
xdotool type --delay 20 "lunch 12:30"
click_save
day_record="$(date +%Y),$(date +%-m),15,lunch 12:30"
expect_record "$day_record"
import -window "$window" "$PWD/note_panel_e2e_open.png"

click_close
expect_size 235x216
cell_image "$e2e_dir/underlined.png"
same_image "$e2e_dir/plain.png" "$e2e_dir/underlined.png" && fail "the 15th is not underlined after the save"

click_cell
expect_size 583x216
click_box
xdotool key ctrl+a Delete
sleep 0.2
click_save
notes="$e2e_dir/work/hiduke.dat"
for _ in $(seq 50); do [ -f "$notes" ] && [ ! -s "$notes" ] && break; sleep 0.1; done
[ -f "$notes" ] && [ ! -s "$notes" ] || fail "hiduke.dat should be empty after the delete"
click_close
cell_image "$e2e_dir/deleted.png"
same_image "$e2e_dir/plain.png" "$e2e_dir/deleted.png" || fail "the 15th is still marked after the delete"
echo "saved, closed, reopened and deleted the note of the 15th"
