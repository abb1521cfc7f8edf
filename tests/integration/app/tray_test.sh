#!/usr/bin/env bash
# The tray icon on a desktop whose panel starts after the program, as at login: the program
# says there is no tray, then docks its icon in the tray that appears, and again in a tray
# restarted in another colour. On a light and on a dark panel, and while recording, the icon
# stands out from the panel. Screenshots of each are kept.
set -euo pipefail
program=$1
artifacts=$2
mkdir -p "$artifacts"
source "$(dirname "$0")/../support/desktop.sh"
fail() { echo "FAIL: $*"; cat "$desktop_work/vellotype.log"; exit 1; }

start_display
start_sound_server
set_preferences "selectedLocaleCode=en-US"
start_vellotype "$program"
alert_shown() { vellotype_windows | awk '$1 > 200 { found = 1 } END { exit !found }'; }
wait_for 15 alert_shown || fail "no alert said that there is no tray"

# WCAG's relative luminance of each pixel of an image, one a line.
luminances() {
  pixels "$1" | awk '{
    l = 0
    for (i = 1; i <= 3; i++) {
      c = $i / 255
      c = c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4
      l += (i == 1 ? 0.2126 : i == 2 ? 0.7152 : 0.0722) * c
    }
    print l
  }'
}

# Photographs the docked icon as $artifacts/tray-icon-$1.png and checks that enough of it
# stands out from the panel: at least 50 pixels (about half of what the strokes cover) at the
# contrast ratio WCAG asks of graphics, 3:1.
check_contrast() {
  wait_for 10 icon_docked || fail "no icon in the $1 tray"
  sleep 0.3  # let it paint
  local w h x y
  read -r w h x y < <(tray_icon_geometry)
  import -window root -crop "${w}x$h+$x+$y" +repage "$artifacts/tray-icon-$1.png"
  import -window root -crop "1x1+1165+2" +repage "$desktop_work/panel.png"
  local panel standing
  panel=$(luminances "$desktop_work/panel.png")
  standing=$(luminances "$artifacts/tray-icon-$1.png" | awk -v p="$panel" '{
    hi = $1 > p ? $1 : p; lo = $1 > p ? p : $1
    if ((hi + 0.05) / (lo + 0.05) >= 3) n++
  } END { print n + 0 }')
  [ "$standing" -ge 50 ] || fail "on the $1 panel only $standing pixels of the icon stand out"
}

start_tray --transparent true --alpha 0 --tint 0xf5f5f5
check_contrast light
stop_tray
icon_undocked() { ! icon_docked; }
wait_for 5 icon_undocked || fail "the icon stayed where the tray was"
start_tray --transparent true --alpha 0 --tint 0x202020
check_contrast dark

xdotool keydown Control_L
listening() { xwininfo -name "Vellotype capsule" 2>/dev/null | grep -q IsViewable; }
wait_for 5 listening || { xdotool keyup Control_L; fail "holding Control showed no capsule"; }
sleep 0.3
check_contrast recording
xdotool keyup Control_L
reddest=$(pixels "$artifacts/tray-icon-recording.png" |
  awk '$1 - $2 > max { max = $1 - $2 } END { print max + 0 }')
[ "$reddest" -ge 150 ] || fail "the icon is not red while recording"

kill -0 "$vellotype_pid" || fail "the program ended"
echo "PASS: the icon docks in a tray started later and stands out; screenshots in $artifacts"
