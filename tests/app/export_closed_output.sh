#!/usr/bin/env bash
# --export-ical - with the standard output closed, and with a reader that
# stops early: a worded message and exit 1, never a silent end by SIGPIPE.
set -uo pipefail
hiduke=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
# Far more than a pipe holds, so that the writer meets the closed pipe.
for year in $(seq 1 2000); do printf '%d,1,1,note of the year %d\r\n' "$year" "$year"; done >hiduke.dat
failed=0
check() {  # name, exit status, expected text of standard error
  if [[ $2 != 1 ]] || ! grep -q "$3" err; then
    echo "$1: exit $2, stderr: $(cat err)"
    failed=1
  fi
}
"$hiduke" --export-ical - >&- 2>err
check "closed" $? "標準出力が閉じています。書き出しは行われていません。"
"$hiduke" --export-ical - 2>err | head -c 10 >/dev/null
check "pipe closed early" "${PIPESTATUS[0]}" "標準出力 に書き込めませんでした（書き出し先のパイプが閉じられました）"
exit $failed
