#!/usr/bin/env bash
# What a screen reader says out loud: Orca itself (run by orca_launcher.py,
# speaking to speech-dispatcher's silent dummy module) listens to the real
# program on a private D-Bus session, AT-SPI bus and Xvfb, on Tuesday 8
# December 2026 with two notes in its file. Each step of the table below
# presses keys and waits, up to $wait_limit seconds, until Orca has said
# what the step must say; the strings Orca speaks are written, step by
# step, to a transcript (orca_speech_transcript.txt in the current
# directory, or $ORCA_TRANSCRIPT), with what was missing or repeated.
# ORCA_DEBUG_LEVEL=ALL keeps Orca's full debug log beside it.
set -euo pipefail

# The test runs in a session bus of its own, ended with it.
if [ -z "${HIDUKE_E2E_PRIVATE_BUS:-}" ]; then
  export HIDUKE_E2E_PRIVATE_BUS=1
  exec dbus-run-session -- bash "${BASH_SOURCE[0]}" "$@"
fi

# The steps: name | keys pressed (xdotool key names; type:TEXT types TEXT,
# with "_" for a space; - for none) | what Orca must say then, each an
# extended regular expression that the step's spoken strings, joined by
# " / ", must match; with once: before it, exactly once (a repeat fails).
steps=$(cat <<'EOF'
start        | -             | once:2026年12月8日 frame | once:2026年12月8日 火曜日 今日
right        | Right         | once:2026年12月9日 水曜日 | once:12月9日
next-year    | ctrl+Next     | once:2027年12月([^0-9]|$) | once:2027年12月9日 木曜日 | once:12月9日
past-last    | ctrl+Right    | once:これより後に予定はありません
previous     | ctrl+Left     | once:2027年1月11日 月曜日 成人の日 予定あり.*書き初め | once:1月11日 | once:2027年1月を表示
open         | Return        | once:2027年1月11日の予定 | 書き初め
type         | ctrl+End type:_memo
save         | ctrl+s        | once:保存しました
clear        | ctrl+a Delete
delete       | ctrl+s        | once:削除しました
unsaved      | type:x Escape | once:(alert|dialog) 変更の保存 | once:2027年1月11日の予定は変更されています | 保存 push button
cancel       | Escape        | once:2027年1月11日の予定
back         | BackSpace
go-to        | ctrl+g        | once:日付へ移動 dialog.*: text
bad-date     | type:2026/2/30 Return | once:「2026/2/30」という日はありません
go-to-closed | Escape        | once:2027年1月11日の予定
search       | ctrl+f        | once:予定を検索 dialog.*検索する言葉
query        | type:19:00    | 2026年12月23日
found        | Return        | once:2026年12月23日の予定 | once:忘年会 19:00
close        | Escape        | once:2026年12月23日 水曜日 予定あり
menu         | shift+F10     | once:今日
EOF
)

here=$(dirname "${BASH_SOURCE[0]}")
source "$here/x_session.sh"

unset AT_SPI_BUS_ADDRESS
export GSETTINGS_BACKEND=memory QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export LC_ALL=C.UTF-8  # Orca's own words (roles, states) in English
wait_limit=${ORCA_WAIT_LIMIT:-8}  # seconds for each step; the start gets three times that
transcript=${ORCA_TRANSCRIPT:-$PWD/orca_speech_transcript.txt}

# A window manager, which hands the focus back to the window a dialog
# leaves, as on a desktop.
start_x
openbox --sm-disable >"$e2e_dir/wm.log" 2>&1 &
e2e_started+=($!)
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' && break; sleep 0.1; done
for dir in home config data cache runtime speechd orca; do mkdir -m 700 "$e2e_dir/$dir"; done
export HOME="$e2e_dir/home" XDG_CONFIG_HOME="$e2e_dir/config" XDG_DATA_HOME="$e2e_dir/data"
export XDG_CACHE_HOME="$e2e_dir/cache" XDG_RUNTIME_DIR="$e2e_dir/runtime"
speech="$e2e_dir/speech.log"
: >"$speech"

orca_pid=
show_logs() {
  local status=$? log
  [ -n "$orca_pid" ] && kill -KILL -- "-$orca_pid" 2>/dev/null
  if [ "$status" -ne 0 ]; then
    for log in app wm bus speechd orca; do
      [ -s "$e2e_dir/$log.log" ] && { echo "--- $log.log"; tail -n 40 "$e2e_dir/$log.log"; }
    done
  fi
  [ "${ORCA_DEBUG_LEVEL:-}" = ALL ] && cp "$e2e_dir/orca-debug.log" "${transcript%.txt}-debug.log"
  return 0
}
trap 'show_logs; e2e_cleanup' EXIT

# Waits up to $2 seconds for a line matching $1 in the speech log.
wait_for_line() {
  local deadline=$((SECONDS + $2))
  until grep -qE -- "$1" "$speech" 2>/dev/null; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# The strings spoken in the lines after line $1 of the speech log, to line
# $2 (else the last), one a line; said: the same joined by " / ".
spoken() {
  [ "$1" = "${2:-}" ] || sed -n "$(($1 + 1)),${2:-\$}p" "$speech" | sed -n "s/^SPEECH OUTPUT: '\(.*\)'.*/\1/p"
}
said() { spoken "$@" | sed ':a;N;$!ba;s/\n/ \/ /g'; }

# The accessibility bus and speech-dispatcher, with the silent module.
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$e2e_dir/bus.log" 2>&1 &
e2e_started+=($!)
cat >"$e2e_dir/speechd/speechd.conf" <<'EOF'
AddModule "dummy" "sd_dummy" ""
DefaultModule dummy
AudioOutputMethod "alsa"
AudioALSADevice "null"
EOF
export SPEECHD_ADDRESS="unix_socket:$e2e_dir/speechd.sock"
speech-dispatcher --run-single --timeout 0 -C "$e2e_dir/speechd" -L "$e2e_dir/speechd" \
  -c unix_socket -S "$e2e_dir/speechd.sock" >"$e2e_dir/speechd.log" 2>&1 &
e2e_started+=($!)
for _ in $(seq 100); do [ -S "$e2e_dir/speechd.sock" ] && break; sleep 0.1; done
[ -S "$e2e_dir/speechd.sock" ] || fail "speech-dispatcher did not start"

# Orca in a process group of its own, stopped as a group.
setsid /usr/bin/python3 "$here/orca_launcher.py" "$e2e_dir/orca" "$e2e_dir/orca-debug.log" "$speech" \
  >"$e2e_dir/orca.log" 2>&1 &
orca_pid=$!
wait_for_line "^SPEECH OUTPUT: 'Screen reader on" $((3 * wait_limit)) ||
  fail "Orca did not start: $(tail -n 20 "$e2e_dir/orca.log" "$e2e_dir/orca-debug.log")"

mkdir "$e2e_dir/work"
printf '2026,12,23,忘年会 19:00\r\n2027,1,11,書き初め\r\n' | iconv -f UTF-8 -t CP932 >"$e2e_dir/work/hiduke.dat"

# Runs the steps; $spoken_from[i] is the speech line each began after.
names=() wants=() spoken_from=()
while IFS= read -r row; do
  IFS=$'\x1f' read -r -a field <<<"${row// | /$'\x1f'}"
  name=${field[0]// /} keys=${field[1]:-}
  names+=("$name") spoken_from+=("$(wc -l <"$speech")")
  wants+=("$(printf '%s\n' "${field[@]:2}")")
  if [ "$name" = start ]; then
    start_app "$1" 2026-12-08
    xdotool windowactivate --sync "$(find_window)"
  else
    # Words after type: are typed, each other word is a key.
    for key in $keys; do
      case "$key" in
        type:*) text=${key#type:}; xdotool type --delay 40 "${text//_/ }" ;;
        -) ;;
        *) xdotool key --delay 50 "$key" ;;
      esac
    done
  fi
  limit=$wait_limit; [ "$name" = start ] && limit=$((3 * wait_limit))
  deadline=$((SECONDS + limit))
  while IFS= read -r want; do
    [ -n "$want" ] || continue
    until said "${spoken_from[-1]}" | grep -qE -- "${want#once:}"; do
      ((SECONDS < deadline)) || break
      sleep 0.1
    done
  done <<<"${wants[-1]}"
done <<<"$steps"
spoken_from+=("$(wc -l <"$speech")")

# The transcript: each step, what Orca said, and what it lacked.
failed=0
for i in "${!names[@]}"; do
  echo "== ${names[i]}"
  spoken "${spoken_from[i]}" "${spoken_from[i + 1]}" | sed 's/^/  /'
  while IFS= read -r want; do
    [ -n "$want" ] || continue
    times=$(said "${spoken_from[i]}" "${spoken_from[i + 1]}" | grep -oE -- "${want#once:}" | wc -l || true)
    if [ "$times" -eq 0 ]; then
      echo "  MISSING: ${want#once:}"; failed=$((failed + 1))
    elif [ "$times" -gt 1 ] && [ "$want" != "${want#once:}" ]; then
      echo "  SAID $times TIMES: ${want#once:}"; failed=$((failed + 1))
    fi
  done <<<"${wants[i]}"
done >"$transcript"
cat "$transcript"
echo "--- transcript: $transcript"
[ "$failed" -eq 0 ] || fail "$failed of the expected words were missing or repeated"
echo "Orca said every step's words once"
