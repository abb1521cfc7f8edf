#!/usr/bin/env bash
# Key release to text on Wayland against X11, on the whole release build, the same sentences in
# both: on a private Xvfb (the hotkey through the X server's key filter, the paste through XTest
# and the X11 clipboard) and in a private headless sway (the hotkey through the desktop's shortcuts
# portal, the paste through the virtual keyboard and the data-control clipboard, into a native
# Wayland editor). Correction off; the first dictation of each, which waits for the model, is not
# counted. Prints p50, p95 and max of each, and the difference of the medians.
# Usage: bench/wayland_latency.sh [utterances per session, 12] [build folder, build/release]
set -euo pipefail
cd "$(dirname "$0")/.."
utterances=${1:-12}
build=${2:-build/release}
program=$build/src/vellotype
tools=$build/tests/tools
for binary in "$program" "$tools/vellotype_test_editor" "$tools/vellotype_desktop_portal" \
  "$tools/vellotype_seat_keyboard"; do
  [ -x "$binary" ] ||
    { echo "build it first: cmake --preset release && cmake --build --preset release" >&2; exit 1; }
done
mapfile -t sentences <bench/sentences.txt
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
say() { printf 'wayland latency: %s\n' "$*" >&2; }

# Dictates the sentences in one session ($1: x11 or wayland), each release-to-text time in
# milliseconds to $results/$1.ms. Runs in a subshell of its own, which stops its desktop.
session() (
  kind=$1
  source tests/integration/support/desktop.sh
  fail() { say "$kind: $*"; cat "$desktop_work/vellotype.log" >&2; exit 1; }
  start_sound_server
  set_preferences "selectedLocaleCode=en-US"
  if [ "$kind" = x11 ]; then
    start_desktop
    start_editor "$tools/vellotype_test_editor" --timestamps || fail "the editor did not start"
    start_vellotype "$program"
    release_after() { dictate "$1"; }
  else
    source tests/integration/support/sway.sh
    start_sway "$tools/vellotype_seat_keyboard" || fail "sway did not start"
    start_sway_bus || fail "no session bus"
    start_desktop_portal "$tools/vellotype_desktop_portal" || fail "the portal did not start"
    start_sway_tray || fail "no tray"
    start_sway_editor "$tools/vellotype_test_editor" --timestamps || fail "no editor"
    start_vellotype_in_sway "$program"
    wait_for 15 portal_says bound || fail "the program bound no shortcut"
    release_after() { dictate_on_portal "$1"; }
  fi
  sleep 2  # the program's start
  local i lines sentence visible
  for ((i = 0; i <= utterances; i++)); do
    sentence=${sentences[i % ${#sentences[@]}]}
    lines=$(wc -l <"$desktop_work/editor.out")
    release_after "$sentence"
    new_report() { [ "$(wc -l <"$desktop_work/editor.out")" -gt "$lines" ]; }
    wait_for 20 new_report || fail "nothing arrived for \"$sentence\""
    visible=$(sed -n "$((lines + 1))p" "$desktop_work/editor.out" | cut -d' ' -f1)
    [ "$i" -eq 0 ] || echo $((visible - key_released / 1000)) >>"$results/$kind.ms"
    say "$kind: $((visible - key_released / 1000)) ms  \"$sentence\""
    sleep 1  # past the clipboard's restore
  done
)

source bench/percentiles.sh
session x11
session wayland
read -r x11_p50 x11_p95 x11_max _ < <(percentiles "$results/x11.ms")
read -r wl_p50 wl_p95 wl_max _ < <(percentiles "$results/wayland.ms")
printf 'release to text, %d dictations each (ms)   p50   p95   max\n' "$utterances"
printf '  X11 (Xvfb, key filter, XTest)           %5d %5d %5d\n' "$x11_p50" "$x11_p95" "$x11_max"
printf '  Wayland (sway, portal, virtual keyboard) %4d %5d %5d\n' "$wl_p50" "$wl_p95" "$wl_max"
printf '  difference of the medians: %+d ms (goal: within 20)\n' $((wl_p50 - x11_p50))
