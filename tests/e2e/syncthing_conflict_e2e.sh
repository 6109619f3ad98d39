#!/usr/bin/env bash
# Two computers sharing the note file through Syncthing, both on 127.0.0.1
# with discovery and relays off. Each saves a different day in its own window
# at nearly the same moment, which leaves a conflict copy beside hiduke.dat;
# まとめる in one window must bring every note into hiduke.dat on both, with
# no copy left. TRIALS=N runs N trials, each with fresh instances, as Syncthing
# backs off for a minute after a conflict.
set -euo pipefail

if [ "${TRIALS:-1}" -gt 1 ]; then
  passed=0
  for trial in $(seq "$TRIALS"); do
    started=$(date +%s%N)
    TRIALS=1 bash "$0" "$1" && passed=$((passed + 1))
    echo "trial $trial: $((($(date +%s%N) - started) / 1000000)) ms"
  done
  echo "$passed/$TRIALS trials ended with every note on both machines and no copy left"
  [ "$passed" -eq "$TRIALS" ]
  exit
fi

source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"
program=$(realpath "$1")

# Polls "${@:2}" for up to 30 seconds; fails with $1 and both folders.
wait_for() {
  local deadline=$((SECONDS + 30))
  until "${@:2}"; do
    ((SECONDS < deadline)) || fail "$1; the folders: $(ls -la "${home[a]}/notes" "${home[b]}/notes")"
    sleep 0.1
  done
}

start_x
declare -A home id key listen gui windows
# Four free loopback ports: each machine's own and its REST interface's.
read -r listen[a] listen[b] gui[a] gui[b] < <(python3 -c '
import socket
s = [socket.socket() for _ in range(4)]
for x in s: x.bind(("127.0.0.1", 0))
print(*[x.getsockname()[1] for x in s])')
for m in a b; do
  home[$m]=$e2e_dir/$m
  syncthing generate --home="${home[$m]}" --no-default-folder >/dev/null 2>&1 || fail "syncthing generate failed"
  id[$m]=$(syncthing --home="${home[$m]}" --device-id)
  key[$m]=$(sed -n 's:.*<apikey>\(.*\)</apikey>.*:\1:p' "${home[$m]}/config.xml")
  mkdir -p "${home[$m]}/notes/.stfolder"
done

# The whole configuration, with the generated key and certificate; options
# not set here take Syncthing's defaults. A folder written here gets none of
# its defaults: without maxConflicts Syncthing drops the losing version
# instead of keeping a copy.
configure() {
  local m=$1 other=$2
  cat >"${home[$m]}/config.xml" <<EOF
<configuration version="36">
  <folder id="notes" path="${home[$m]}/notes" type="sendreceive" rescanIntervalS="10" fsWatcherEnabled="true" fsWatcherDelayS="1">
    <device id="${id[$m]}"></device>
    <device id="${id[$other]}"></device>
    <maxConflicts>10</maxConflicts>
  </folder>
  <device id="${id[$m]}" name="$m"><address>dynamic</address></device>
  <device id="${id[$other]}" name="$other"><address>tcp://127.0.0.1:${listen[$other]}</address></device>
  <gui enabled="true" tls="false"><address>127.0.0.1:${gui[$m]}</address><apikey>${key[$m]}</apikey></gui>
  <options>
    <listenAddress>tcp://127.0.0.1:${listen[$m]}</listenAddress>
    <globalAnnounceEnabled>false</globalAnnounceEnabled>
    <localAnnounceEnabled>false</localAnnounceEnabled>
    <relaysEnabled>false</relaysEnabled>
    <natEnabled>false</natEnabled>
    <urAccepted>-1</urAccepted>
    <crashReportingEnabled>false</crashReportingEnabled>
    <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
    <startBrowser>false</startBrowser>
  </options>
</configuration>
EOF
}
configure a b
configure b a

api() { curl -fsS --max-time 5 -H "X-API-Key: ${key[$1]}" "http://127.0.0.1:${gui[$1]}/rest/$2"; }
listening() { api "$1" system/ping >/dev/null 2>&1; }
connected() { api "$1" system/connections 2>/dev/null | jq -e --arg other "${id[$2]}" '.connections[$other].connected' >/dev/null; }
# Hidden files are Syncthing's and the program's temporaries.
files() { (cd "${home[$1]}/notes" && md5sum -- * 2>/dev/null); }
# Both hold the same files and neither has anything left to pull or scan.
synced() {
  local m
  for m in a b; do
    api "$m" 'db/status?folder=notes' 2>/dev/null | jq -e '.state == "idle" and .needTotalItems == 0' >/dev/null || return 1
  done
  [ "$(files a)" = "$(files b)" ]
}
copies() { compgen -G "${home[$1]}/notes/hiduke.sync-conflict-*.dat" >/dev/null; }
split() { copies a && copies b && synced; }
merged() { ! copies a && ! copies b && synced; }

for m in a b; do
  syncthing serve --home="${home[$m]}" --no-browser --no-restart --no-upgrade --gui-address="127.0.0.1:${gui[$m]}" \
    >"${home[$m]}.log" 2>&1 &
  e2e_started+=($!)
  # One at a time: the second's first dial then finds the first listening,
  # where a refused dial waits longer each time before the next.
  wait_for "Syncthing $m did not start" listening "$m"
done
wait_for "the two machines did not connect" connected a b
wait_for "the two machines did not connect" connected b a

# A few notes in code page 932, written on one machine and synced to the other.
notes=('2026,12,1,忘年会の店を予約' '2026,12,24,クリスマス;ケーキを受け取る' '2026,12,31,大掃除')
printf '%s\r\n' "${notes[@]}" | iconv -f UTF-8 -t CP932 >"${home[a]}/notes/hiduke.dat"
wait_for "hiduke.dat did not reach the second machine" synced

# Each machine's window opens a different day (a tomorrow, b yesterday) and
# types a note; then both save within a few milliseconds.
declare -A step=([a]=Right [b]=Left) day=([a]=tomorrow [b]=yesterday)
for m in a b; do
  start_app "$program" "" "${home[$m]}/notes"
  window=$(find_window) windows[$m]=$window
  xdotool windowfocus --sync "$window" key --delay 80 "${step[$m]}" Return
  expect_size 583x216
  xdotool type --delay 40 "note of $m"
  notes+=("$(date -d "${day[$m]}" +%Y,%-m,%-d),note of $m")
done
xdotool windowfocus --sync "${windows[a]}" key ctrl+s windowfocus --sync "${windows[b]}" key ctrl+s
wait_for "the two saves left no conflict copy on both machines" split

# Both windows show the bar that offers まとめる, and neither box lost its
# note, whichever save Syncthing set aside.
bar_shown() { local size; size=$(window_size "$window"); [ "${size%x*}" = 583 ] && [ "${size#*x}" -gt 216 ]; }
box_holds() { xdotool windowfocus --sync "$window" key ctrl+a ctrl+c; [ "$(xclip -o -selection clipboard)" = "$1" ]; }
for m in a b; do
  window=${windows[$m]}
  wait_for "the window of $m offers no merge" bar_shown
  wait_for "the box of $m lost its note" box_holds "note of $m"
done
# まとめる ends the focus chain: Shift+Tab reaches it from the note box.
xdotool windowfocus --sync "${windows[a]}" key --delay 80 shift+Tab space
wait_for "the merge left a conflict copy or the machines apart" merged

want=$(printf '%s\r\n' "${notes[@]}" | iconv -f UTF-8 -t CP932 | LC_ALL=C sort | md5sum)
for m in a b; do
  [ "$(LC_ALL=C sort "${home[$m]}/notes/hiduke.dat" | md5sum)" = "$want" ] ||
    fail "machine $m holds: $(iconv -f CP932 -t UTF-8 "${home[$m]}/notes/hiduke.dat")"
done
echo "both saves made a conflict; after the merge both machines hold all ${#notes[@]} notes and no copy"
