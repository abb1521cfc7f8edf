#!/usr/bin/env bash
# The program's CPU time and memory while it sits idle on a virtual desktop: nothing in it
# polls, so the CPU time should stay near zero. Usage: bench/idle_cpu.sh [seconds] [program]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
program=${2:-build/release/src/vellotype}
[ -x "$program" ] || { echo "build it first: cmake --preset release && cmake --build --preset release" >&2; exit 1; }
source tests/integration/support/desktop.sh

start_desktop
start_vellotype "$program"
icon_docked() { [ -n "$(tray_icon_position)" ]; }
wait_for 10 icon_docked
ticks() { awk '{ print $14 + $15 }' "/proc/$vellotype_pid/stat"; }
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
rss=$(awk '/VmRSS/ { print $2 }' "/proc/$vellotype_pid/status")
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" -v rss="$rss" 'BEGIN {
  printf "idle for %d s: CPU %.2f s (%.3f%% of one core), resident memory %.1f MiB\n",
    s, t / hz, 100 * t / hz / s, rss / 1024 }'
