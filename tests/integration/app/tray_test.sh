#!/usr/bin/env bash
# The tray icon on a desktop whose panel starts after the program, as at login: the program
# says there is no tray, then docks its icon in the tray that appears, and again in a tray
# restarted.
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

start_tray
wait_for 10 icon_docked || fail "no icon in the tray that started after the program"
stop_tray
start_tray
wait_for 10 icon_docked || fail "no icon in the restarted tray"

kill -0 "$vellotype_pid" || fail "the program ended"
echo "PASS: the icon docks in a tray started later and in a restarted one"
