# Helpers for end-to-end tests: a private Xvfb display, the program started
# in a temporary directory, and cleanup of everything started. Sourced.

e2e_started=()
e2e_cleanup() {
  local pid
  for pid in "${e2e_started[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${e2e_started[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ -n "${e2e_dir:-}" ] && rm -rf "$e2e_dir"
}
trap e2e_cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts Xvfb on a free display number and exports DISPLAY.
start_x() {
  local fd_file
  e2e_dir=$(mktemp -d)
  export XDG_CONFIG_HOME="$e2e_dir/config"  # the program's settings: the default zoom
  fd_file="$e2e_dir/display"
  # -noreset: the server would reset whenever its last client left, as a
  # polling xdotool does before the program connects, and could refuse the
  # program while it does.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fd_file" 2>"$e2e_dir/xvfb.log" &
  e2e_started+=($!)
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  [ -s "$fd_file" ] || fail "Xvfb did not start: $(cat "$e2e_dir/xvfb.log")"
  export DISPLAY=":$(head -n1 "$fd_file")"
  unset QT_QPA_PLATFORM  # set for the window tests; the program must use this display
}

# Starts the program in the directory $3 ($e2e_dir/work when not given), on
# the date $2 when given, and sets $app_pid to the program's own process and
# $app_log to its output. The date comes from libfaketime,
# preloaded straight into the program: its clock starts at noon of that day
# and runs on.
start_app() {
  local run=("$1") dir=${3:-$e2e_dir/work}
  if [ -n "${2:-}" ]; then
    local faketime_library
    faketime_library=$(ls /usr/lib/*/faketime/libfaketime.so.1 | head -n1)
    # libfaketime is preloaded ahead of a sanitizer's runtime; that is fine here.
    run=(env "LD_PRELOAD=$faketime_library" "FAKETIME=@$2 12:00:00"
         "ASAN_OPTIONS=${ASAN_OPTIONS:-}:verify_asan_link_order=0" "$1")
  fi
  mkdir -p "$dir"
  app_log="$dir.log"
  (cd "$dir" && exec "${run[@]}") >"$app_log" 2>&1 &
  app_pid=$!
  e2e_started+=("$app_pid")
}

# Prints the id of the program's visible window, waiting for it.
find_window() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended: $(cat "$app_log")"
    sleep 0.1
  done
  fail "the program shows no window; its output: $(cat "$app_log")"
}

# Prints "WIDTHxHEIGHT" of a window.
window_size() {
  xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'
}

# Waits until the window is "WIDTHxHEIGHT".
expect_size() {
  local size
  for _ in $(seq 50); do size=$(window_size "$window"); [ "$size" = "$1" ] && return 0; sleep 0.1; done
  fail "window is $size, expected $1"
}

# Waits until the note file holds exactly the bytes printf '%s\r\n' "$1" gives.
expect_record() {
  local want got
  want=$(printf '%s\r\n' "$1" | od -An -c | tr -s ' \n' ' ')
  for _ in $(seq 50); do
    got=$(od -An -c "$e2e_dir/work/hiduke.dat" 2>/dev/null | tr -s ' \n' ' ' || echo missing)
    [ "$got" = "$want" ] && return 0
    sleep 0.1
  done
  fail "hiduke.dat holds '$got', expected '$want'"
}

# Starts Xvfb and the program, on today's date or the date $2, and waits for
# its window, which must be titled with that date; sets $title and $window.
start_calendar() {
  local day=${2:-today} shown
  start_x
  start_app "$1" "${2:-}"
  title="$(date -d "$day" +%Y)年$(date -d "$day" +%-m)月$(date -d "$day" +%-d)日"
  window=$(find_window)
  for _ in $(seq 50); do
    shown=$(xdotool getwindowname "$window")
    [ "$shown" = "$title" ] && return 0
    sleep 0.1
  done
  fail "the window is titled '$shown', expected '$title'"
}

# The contrast ratio between the top left pixel of an image, its fill, and
# the pixel that stands out most from it.
drawn_contrast() {
  convert "$1" -depth 8 txt:- | awk '
    function lin(c) { c /= 255; return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
    function lum(r, g, b) { return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b) }
    /^[0-9]+,[0-9]+:/ {
      split($2, c, /[(),]/); l = lum(c[2], c[3], c[4])
      if ($1 == "0,0:") fill = l
      n++; ls[n] = l
    }
    END {
      best = 1
      for (i = 1; i <= n; i++) {
        hi = ls[i] > fill ? ls[i] : fill; lo = ls[i] > fill ? fill : ls[i]
        r = (hi + 0.05) / (lo + 0.05); if (r > best) best = r
      }
      printf "%.2f\n", best
    }'
}
