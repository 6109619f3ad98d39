#!/usr/bin/env bash
# What a screen reader hears of the real program: on a private D-Bus session
# with its own AT-SPI bus, the program runs under Xvfb on Tuesday 8 December
# 2026 with two notes in its file, and accessibility_events.py listens on
# the bus as a screen reader does. Keys pressed with xdotool move the focus
# from day to day, by arrows, Home, End, Page Up/Down and from note to note;
# each move must send a focus event naming the new day, with the day's
# tooltip as its description, and the days of other months must stay out of
# the grid. Opening a day puts the focus in the note box; a save is
# announced once through the box's description, which typing clears again.
# Closed by its window, the program ends cleanly.
set -euo pipefail

# The test runs in a session bus of its own, ended with it.
if [ -z "${HIDUKE_E2E_PRIVATE_BUS:-}" ]; then
  export HIDUKE_E2E_PRIVATE_BUS=1
  exec dbus-run-session -- bash "${BASH_SOURCE[0]}" "$@"
fi

here=$(dirname "${BASH_SOURCE[0]}")
source "$here/x_session.sh"

unset AT_SPI_BUS_ADDRESS
export GSETTINGS_BACKEND=memory  # the bus launcher's settings, none of the user's
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
wait_limit=10  # seconds for each event; the start gets three times that

start_x
export XDG_RUNTIME_DIR="$e2e_dir/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
events="$e2e_dir/events.log"
checked=0  # lines of $events already checked

# The events, and after a failure what the processes printed.
print_events() {
  local status=$? log
  if [ -s "${events:-}" ]; then
    echo "--- events on the accessibility bus"
    cat "$events"
  fi
  if [ "$status" -ne 0 ]; then
    for log in app listener bus; do
      [ -s "$e2e_dir/$log.log" ] && { echo "--- $log.log"; cat "$e2e_dir/$log.log"; }
    done
  fi
  echo "---"
}
trap 'print_events; e2e_cleanup' EXIT

# Waits up to $2 seconds (else $wait_limit) for the line $1 among the events
# after those already checked. Other lines are passed over, but a focus
# event that is not the one awaited fails the test.
expect_event() {
  local deadline=$((SECONDS + ${2:-$wait_limit})) found
  while :; do
    found=$(want=$1 awk -v from="$checked" '
      NR <= from { next }
      $0 == ENVIRON["want"] { print NR; exit }
      /^focus\t/ { print "unexpected " NR; exit }' "$events")
    case "$found" in
      unexpected*) fail "expected '$1', got '$(sed -n "${found#unexpected }p" "$events")'" ;;
      ?*) checked=$found; return 0 ;;
    esac
    ((SECONDS < deadline)) || fail "no event '$1' in ${2:-$wait_limit} s"
    sleep 0.1
  done
}

press() { xdotool key --delay 50 "$@"; }

# Waits until the note file, read as UTF-8, holds the lines $1.
expect_notes() {
  local notes
  for _ in $(seq 100); do
    notes=$(iconv -f CP932 -t UTF-8 "$e2e_dir/work/hiduke.dat" 2>&1 || true)
    [ "$notes" = "$1" ] && return 0
    sleep 0.1
  done
  fail "hiduke.dat holds '$notes', expected '$1'"
}

# The accessibility bus, started here rather than on demand, so that it ends
# with the test.
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$e2e_dir/bus.log" 2>&1 &
e2e_started+=($!)
bus_ready() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
for _ in $(seq 300); do bus_ready && break; sleep 0.1; done
bus_ready || fail "the accessibility bus did not start: $(cat "$e2e_dir/bus.log")"

/usr/bin/python3 "$here/accessibility_events.py" "$e2e_dir/app.pid" "$events" >"$e2e_dir/listener.log" 2>&1 &
e2e_started+=($!)
for _ in $(seq 300); do grep -qx listening "$events" 2>/dev/null && break; sleep 0.1; done
grep -qx listening "$events" 2>/dev/null ||
  fail "the listener did not start: $(cat "$e2e_dir/bus.log" "$e2e_dir/listener.log")"

mkdir -p "$e2e_dir/work"
printf '2026,12,23,忘年会 19:00\r\n2027,1,11,書き初め\r\n' | iconv -f UTF-8 -t CP932 >"$e2e_dir/work/hiduke.dat"
start_app "$1" 2026-12-08
echo "$app_pid" >"$e2e_dir/app.pid.new" && mv "$e2e_dir/app.pid.new" "$e2e_dir/app.pid"
expect_event registered $((3 * wait_limit))

window=$(find_window)
xdotool windowfocus --sync "$window"

T=$'\t' N='\n'
# The first focus is on today, among the days named by the month.
expect_event "focus${T}push button${T}2026年12月8日 火曜日 今日${T}2026年12月8日（火） 令和8年${T}" $((3 * wait_limit))
expect_event "days${T}2026年12月${T}31${T}2026年12月1日 火曜日${T}2026年12月31日 木曜日"
# Out to the month buttons and back.
press Tab
expect_event "focus${T}push button${T}次の月${T}2026年12月を表示しています${T}"
press shift+Tab
expect_event "focus${T}push button${T}2026年12月8日 火曜日 今日${T}2026年12月8日（火） 令和8年${T}"
press Right
expect_event "focus${T}push button${T}2026年12月9日 水曜日${T}2026年12月9日（水） 令和8年${T}"
press Down
expect_event "focus${T}push button${T}2026年12月16日 水曜日${T}2026年12月16日（水） 令和8年${T}"
press Home
expect_event "focus${T}push button${T}2026年12月8日 火曜日 今日${T}2026年12月8日（火） 令和8年${T}"
press End
expect_event "focus${T}push button${T}2026年12月31日 木曜日${T}2026年12月31日（木） 令和8年${T}"
press Next
expect_event "focus${T}push button${T}2027年1月31日 日曜日${T}2027年1月31日（日） 令和9年${T}"
expect_event "days${T}2027年1月${T}31${T}2027年1月1日 金曜日 元日${T}2027年1月31日 日曜日"
press Next
expect_event "focus${T}push button${T}2027年2月28日 日曜日${T}2027年2月28日（日） 令和9年${T}"
expect_event "days${T}2027年2月${T}28${T}2027年2月1日 月曜日${T}2027年2月28日 日曜日"
# March 2027 starts on a Monday as February does: the same cell keeps the
# focus and stands for the 28th of March.
press Next
expect_event "focus${T}push button${T}2027年3月28日 日曜日${T}2027年3月28日（日） 令和9年${T}"
expect_event "days${T}2027年3月${T}31${T}2027年3月1日 月曜日${T}2027年3月31日 水曜日"
press ctrl+Prior
expect_event "focus${T}push button${T}2026年3月28日 土曜日${T}2026年3月28日（土） 令和8年${T}"
press Home
expect_event "focus${T}push button${T}2026年12月8日 火曜日 今日${T}2026年12月8日（火） 令和8年${T}"

# From note to note, into the next month, and past the last one.
press ctrl+Right
expect_event "focus${T}push button${T}2026年12月23日 水曜日 予定あり${T}2026年12月23日（水） 令和8年${N}忘年会 19:00${T}"
press ctrl+Right
expect_event "focus${T}push button${T}2027年1月11日 月曜日 成人の日 予定あり${T}2027年1月11日（月） 令和9年${N}成人の日${N}書き初め${T}"
press ctrl+Right
expect_event "description${T}push button${T}2027年1月11日 月曜日 成人の日 予定あり${T}これより後に予定はありません"
# Back on the day later, it is described by its tooltip again.
press Left
expect_event "focus${T}push button${T}2027年1月10日 日曜日${T}2027年1月10日（日） 令和9年${T}"
press Right
expect_event "focus${T}push button${T}2027年1月11日 月曜日 成人の日 予定あり${T}2027年1月11日（月） 令和9年${N}成人の日${N}書き初め${T}"
press ctrl+Left
expect_event "focus${T}push button${T}2026年12月23日 水曜日 予定あり${T}2026年12月23日（水） 令和8年${N}忘年会 19:00${T}"

# Opening the day puts the focus in its note box.
press Return
expect_event "focus${T}text${T}2026年12月23日の予定${T}${T}忘年会 19:00"
press ctrl+End  # the cursor opens at the start
xdotool type --delay 40 " memo"
press ctrl+s
expect_event "description${T}text${T}2026年12月23日の予定${T}保存しました"
expect_notes $'2026,12,23,忘年会 19:00 memo\r\n2027,1,11,書き初め\r'
# Typing on takes back what was said of the save.
xdotool type --delay 40 "!"
expect_event "description${T}text${T}2026年12月23日の予定${T}"
press ctrl+a Delete ctrl+s
expect_event "description${T}text${T}2026年12月23日の予定${T}削除しました"
expect_notes $'2027,1,11,書き初め\r'
# Esc hands the keyboard back to the day, which has no note now.
press Escape
expect_event "focus${T}push button${T}2026年12月23日 水曜日${T}2026年12月23日（水） 令和8年${T}"

# Each thing was said once: the events before the last awaited are all in.
for said in これより後に予定はありません 保存しました 削除しました; do
  times=$(head -n "$checked" "$events" | grep -c "^description${T}.*${T}${said}\$" || true)
  [ "$times" -eq 1 ] || fail "'$said' was said $times times"
done

# The window closes as by its close button, and the program ends cleanly
# with the bus still there (under the sanitizers, leak check included).
ended() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) || true
  [ -z "$state" ] || [ "$state" = Z ]
}
/usr/bin/python3 "$here/close_window.py" "$window"
for _ in $(seq 300); do ended "$app_pid" && break; sleep 0.1; done
ended "$app_pid" || fail "the program did not end when its window was closed"
status=0
wait "$app_pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"

echo "each move of the focus named its day on the accessibility bus; the save and the delete were announced"
