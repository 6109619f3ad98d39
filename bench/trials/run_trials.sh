#!/usr/bin/env bash
# Saves while another program writes the note file, TRIALS (default 40) per
# kind of writer, with leases and without (the store then takes the file for
# one on NFS), and SAVES (default 1000) saves while a program appends a line
# every millisecond. BUILD names a build tree configured with -DHIDUKE_BENCH=ON (default build/release).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${BUILD:-$root/build/release}
trials=${1:-40}
saves=${2:-1000}
cmake --build "$build" --target note_file_trials -j2
echo "== with leases"
"$build/bench/trials/note_file_trials" all "$trials"
"$build/bench/trials/note_file_trials" steady-appender "$saves"
echo "== without leases"
HIDUKE_TRIAL_NO_LEASES=1 "$build/bench/trials/note_file_trials" all "$trials"
echo "== without leases, nor exchanging two names (as on NFS)"
HIDUKE_TRIAL_NO_LEASES=1 HIDUKE_TRIAL_NO_EXCHANGE=1 "$build/bench/trials/note_file_trials" all "$trials"
