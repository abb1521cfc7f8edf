#!/usr/bin/env bash
# The whole program on a virtual desktop: its icon docks in the tray, a click opens its menu,
# and holding Control starts a recording. Screenshots of the icon and the open menu are kept.
set -euo pipefail
program=$1
artifacts=$2
mkdir -p "$artifacts"
source "$(dirname "$0")/../support/desktop.sh"

start_desktop
start_vellotype "$program"
icon_docked() { [ -n "$(tray_icon_position)" ]; }
wait_for 10 icon_docked || { echo "FAIL: no icon in the tray"; cat "$desktop_work/vellotype.log"; exit 1; }
read -r x y < <(tray_icon_position)
import -window root -crop 120x28+1160+0 "$artifacts/tray-icon.png"

xdotool mousemove $((x + 8)) $((y + 10)) click 1
menu_open() { vellotype_windows | awk '$1 >= 100 { found = 1 } END { exit !found }'; }
wait_for 5 menu_open || { echo "FAIL: clicking the icon opened no menu"; exit 1; }
sleep 0.2  # let the menu paint before the screenshot
import -window root -crop 400x200+880+0 "$artifacts/tray-menu.png"
xdotool key Escape

# Holding the trigger starts an utterance; this build says its recogniser is missing.
xdotool keydown Control_L
listening() { grep -q "Listening..." "$desktop_work/vellotype.log"; }
wait_for 5 listening || { echo "FAIL: holding Control started no recording"; exit 1; }
xdotool keyup Control_L
kill -0 "$vellotype_pid" || { echo "FAIL: the program ended"; exit 1; }
echo "PASS: icon, menu and hotkey work; screenshots in $artifacts"
