#!/usr/bin/env bash
# The whole program on a virtual desktop: its icon docks in the tray and a click opens its menu;
# holding Control shows the capsule centred above the bottom of the screen while the focused
# editor keeps the keyboard focus; a new hotkey captured in its window is saved, named in the
# menu and watched. Screenshots of the icon, the menus and the capsule are kept.
set -euo pipefail
program=$1
editor=$2
artifacts=$3
mkdir -p "$artifacts"
source "$(dirname "$0")/../support/desktop.sh"
fail() { echo "FAIL: $*"; cat "$desktop_work/vellotype.log"; exit 1; }

start_desktop
start_sound_server  # without one the program asks for a microphone first, in a modal alert
# A language this machine recognises, or a modal alert offers to set one up.
set_preferences "selectedLocaleCode=en-US"
start_vellotype "$program"
wait_for 10 icon_docked || fail "no icon in the tray"
read -r x y < <(tray_icon_position)
import -window root -crop 120x28+1160+0 "$artifacts/tray-icon.png"

xdotool mousemove $((x + 8)) $((y + 10)) click 1
# The menu drops down from the tray at the top right.
menu_open() { vellotype_windows | awk '$1 >= 100 && $3 > 800 && $4 < 60 { found = 1 } END { exit !found }'; }
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

# A new hotkey: Hotkey... in the menu, Record, then F5.
open_menu() {
  xdotool mousemove $((x + 8)) $((y + 10)) click 1
  wait_for 5 menu_open || fail "clicking the icon opened no menu"
  sleep 0.2
}
open_menu
xdotool key Down Down Down Return
hotkey_window() { xdotool search --name "^Hotkey Settings$" 2>/dev/null | head -n 1; }
window_shown() { [ -n "$(hotkey_window)" ]; }
wait_for 5 window_shown || fail "the Hotkey item opened no window"
window=$(hotkey_window)
sleep 0.3
# The buttons sit at the bottom right of the 420 x 180 window: Record, Reset to Control, Done.
xdotool mousemove --window "$window" 147 148 click 1
sleep 0.2
xdotool key F5
saved() { grep -q "triggerKeyDisplayName=F5" "$desktop_work/home/.config/Vellotype/Vellotype.conf"; }
wait_for 5 saved || fail "pressing F5 while recording saved nothing"
import -window root -crop 700x400+290+200 "$artifacts/hotkey-window.png"
xdotool mousemove --window "$window" 356 148 click 1
sleep 0.3
open_menu
import -window root -crop 400x200+880+0 "$artifacts/tray-menu-new-hotkey.png"
xdotool key Escape
capsule_hidden() { ! capsule_shown; }
wait_for 5 capsule_hidden || fail "the capsule stayed after Control was released"
xdotool keydown F5
wait_for 5 capsule_shown || { xdotool keyup F5; fail "holding F5 showed no capsule"; }
xdotool keyup F5

kill -0 "$vellotype_pid" || fail "the program ended"
echo "PASS: icon, menu, capsule, focus and a new hotkey; screenshots in $artifacts"
