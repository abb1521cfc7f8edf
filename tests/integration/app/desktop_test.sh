#!/usr/bin/env bash
# The whole program on a virtual desktop: its icon docks in the tray and a click opens its menu;
# holding Control shows the capsule centred above the bottom of the screen while the focused
# editor keeps the keyboard focus. Screenshots of the icon, the menu and the capsule are kept.
set -euo pipefail
program=$1
editor=$2
artifacts=$3
mkdir -p "$artifacts"
source "$(dirname "$0")/../support/desktop.sh"
fail() { echo "FAIL: $*"; cat "$desktop_work/vellotype.log"; exit 1; }

start_desktop
start_vellotype "$program"
wait_for 10 icon_docked || fail "no icon in the tray"
read -r x y < <(tray_icon_position)
import -window root -crop 120x28+1160+0 "$artifacts/tray-icon.png"

xdotool mousemove $((x + 8)) $((y + 10)) click 1
menu_open() { vellotype_windows | awk '$1 >= 100 && $2 < 200 { found = 1 } END { exit !found }'; }
wait_for 5 menu_open || fail "clicking the icon opened no menu"
sleep 0.2  # let the menu paint before the screenshot
import -window root -crop 400x200+880+0 "$artifacts/tray-menu.png"
xdotool key Escape

start_editor "$editor" || fail "the editor did not start"
editor_window=$(xdotool getwindowfocus)

xdotool keydown Control_L
capsule_shown() { xwininfo -name "Vellotype capsule" 2>/dev/null | grep -q IsViewable; }
wait_for 5 capsule_shown || { xdotool keyup Control_L; fail "holding Control showed no capsule"; }
sleep 0.5  # the capsule rises for 0.35 s
geometry=$(xwininfo -name "Vellotype capsule")
import -window root -crop 720x200+280+600 "$artifacts/capsule.png"
focus=$(xdotool getwindowfocus)
xdotool keyup Control_L

[ "$focus" = "$editor_window" ] || fail "the capsule took the keyboard focus"
left=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$geometry")
top=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$geometry")
width=$(awk '/Width:/ { print $2 }' <<<"$geometry")
height=$(awk '/Height:/ { print $2 }' <<<"$geometry")
# The window has a 24-point margin around the capsule for its shadow.
[ $((left + width / 2)) -eq 640 ] || fail "the capsule is not centred ($geometry)"
[ $((800 - (top + height - 24))) -eq 56 ] || fail "the capsule is not 56 points above the bottom"
kill -0 "$vellotype_pid" || fail "the program ended"
echo "PASS: icon, menu, capsule and focus; screenshots in $artifacts"
