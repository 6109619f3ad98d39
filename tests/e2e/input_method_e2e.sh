#!/usr/bin/env bash
# Typing through an input method (fcitx5 with Anthy, on a private D-Bus
# session) into the real program on 8 December 2026: "ashita" typed into the
# 10th's box stays composed, not committed. Opening the 17th must commit
# あした to the 10th and ask whether to save it; saved, it is the 10th's alone.
# Composed again in the 17th's box, closing the window must ask as well.
set -euo pipefail

# The test runs in a session bus of its own, ended with it.
if [ -z "${HIDUKE_E2E_PRIVATE_BUS:-}" ]; then
  export HIDUKE_E2E_PRIVATE_BUS=1
  exec dbus-run-session -- bash "${BASH_SOURCE[0]}" "$@"
fi
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/x_session.sh"

# Runs the command $2... every tenth of a second until it succeeds, $1 times at most.
poll() { local n=$1; shift; for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done; "$@"; }

start_x
# fcitx5 with Anthy on by default, with settings of its own. (Anthy takes its
# home from the password file and makes an empty ~/.anthy there; nothing is typed
# that it would learn from.)
export HOME="$e2e_dir/home" XDG_CONFIG_HOME="$e2e_dir/config" XDG_RUNTIME_DIR="$e2e_dir/runtime"
export XDG_DATA_HOME="$e2e_dir/home/data" XDG_CACHE_HOME="$e2e_dir/home/cache"
mkdir -p "$HOME" "$XDG_CONFIG_HOME/fcitx5" && mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '%s\n' '[Groups/0]' Name=Default 'Default Layout=us' DefaultIM=anthy '[Groups/0/Items/0]' \
  Name=keyboard-us '[Groups/0/Items/1]' Name=anthy '[GroupOrder]' 0=Default >"$XDG_CONFIG_HOME/fcitx5/profile"
printf '[Behavior]\nActiveByDefault=True\n' >"$XDG_CONFIG_HOME/fcitx5/config"
fcitx5 --disable=wayland >"$e2e_dir/fcitx5.log" 2>&1 &
e2e_started+=($!)
registered() { dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
  org.freedesktop.DBus.NameHasOwner string:org.fcitx.Fcitx5 2>/dev/null | grep -q 'boolean true'; }
poll 100 registered || fail "fcitx5 did not start (scripts/setup test installs it): $(tail -n 20 "$e2e_dir/fcitx5.log")"
export QT_IM_MODULE=fcitx XMODIFIERS=@im=fcitx
mkdir -p "$e2e_dir/work"
printf '2026,12,25,クリスマス\r\n' | iconv -f UTF-8 -t CP932 >"$e2e_dir/work/hiduke.dat"
start_app "$1" 2026-12-08
window=$(find_window)
# December 2026 starts on a Tuesday: the 1st stands in cell 2.
click_day() { xdotool mousemove --window "$window" $((20 + 32 * (($1 + 1) % 7))) $((44 + 24 * (($1 + 1) / 7))) click 1; }
# The note box, right of where its caret stands while it is empty.
box_image() { import -window "$window" -crop 300x120+250+40 "$e2e_dir/$1.png"; }
same_image() { [ "$(compare -metric AE "$e2e_dir/$1.png" "$e2e_dir/$2.png" null: 2>&1 || true)" = 0 ]; }
ended() { [[ "$(sed 's/.*) //' "/proc/$app_pid/stat" 2>/dev/null | cut -d' ' -f1)" =~ ^Z?$ ]]; }
# The notes in the file, a line each, sorted: the order kept is not the point here.
notes() { iconv -f CP932 -t UTF-8 "$e2e_dir/work/hiduke.dat" 2>&1 | tr -d '\r' | LC_ALL=C sort || true; }
notes_are() { [ "$(notes)" = "$1" ]; }
expect_notes() { poll 50 notes_are "$1" || fail "hiduke.dat holds '$(notes)', expected '$1'"; }

# Types "ashita" into the open day's box with Anthy on, and waits until the
# box shows something new and holds still.
compose() {
  registered || fail "fcitx5 has ended: $(tail -n 20 "$e2e_dir/fcitx5.log")"  # before fcitx5-remote would start one
  xdotool windowfocus --sync "$window"
  # Anthy is on, and fcitx5 holds an input context of the program's.
  anthy_on() { [ "$(fcitx5-remote)/$(fcitx5-remote -n)" = 2/anthy ] && dbus-send --session --print-reply \
    --dest=org.fcitx.Fcitx5 /controller org.fcitx.Fcitx.Controller1.DebugInfo | grep -q 'program:hiduke frontend:dbus'; }
  poll 50 anthy_on || fail "Anthy is not on in the note box: $(tail -n 20 "$e2e_dir/fcitx5.log")"
  box_image before
  xdotool type --delay 40 ashita
  box_image then
  for _ in $(seq 50); do
    sleep 0.3
    box_image now
    ! same_image before now && same_image then now && return 0
    mv "$e2e_dir/now.png" "$e2e_dir/then.png"
  done
  fail "typing through fcitx5 showed nothing steady in the note box"
}

# Waits for the question about the unsaved note, titled 変更の保存, and answers
# "save" (its default button) with Return. Fails with $1 when none comes.
answer_save() {
  local question=""
  for _ in $(seq 50); do
    question=$(xdotool search --all --onlyvisible --pid "$app_pid" --name '^変更の保存$' 2>/dev/null | head -n1 || true)
    [ -n "$question" ] || ended && break
    sleep 0.1
  done
  [ -n "$question" ] && { xdotool windowfocus --sync "$question" key Return; return 0; }
  import -window root "$PWD/input_method_e2e.png" || true  # kept beside the test for a look
  fail "$1 (screen in $PWD/input_method_e2e.png, hiduke.dat holds '$(notes)')"
}

click_day 10
expect_size 583x216
compose
click_day 17
answer_save "opening the 17th with あした composed in the 10th's box asked nothing"
expect_notes $'2026,12,10,あした\n2026,12,25,クリスマス'

compose  # the 17th is open now, its box empty
/usr/bin/python3 "$here/close_window.py" "$window"
answer_save "closing the window with あした composed in the 17th's box asked nothing"
poll 50 ended || fail "the program did not end after the note was saved"
wait "$app_pid" || fail "the program ended with status $?: $(tail -n 40 "$app_log")"
expect_notes $'2026,12,10,あした\n2026,12,17,あした\n2026,12,25,クリスマス'
echo "あした composed through fcitx5 was committed, asked about and saved on opening another day and on closing"
