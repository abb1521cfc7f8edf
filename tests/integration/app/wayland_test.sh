#!/usr/bin/env bash
# The whole program in a headless wlroots session (sway with XWayland), as on a Wayland desktop
# whose portal offers global shortcuts but no remote desktop: the desktop's shortcut starts and
# ends the recording, the capsule shows without taking the focus, the corrected text (Chinese, an
# emoji, a line break) reaches a native Wayland editor through the virtual keyboard, and the
# clipboard comes back. With no window to take it, the text stays on the clipboard and the
# program says so.
set -euo pipefail
program=$1
tools=$2
source "$(dirname "$0")/../support/desktop.sh"
source "$(dirname "$0")/../support/sway.sh"
fail() { echo "FAIL: $*"; cat "$desktop_work/vellotype.log" "$sway_dir/sway.log" 2>/dev/null | tail -n 40; exit 1; }

answer=$'\u4f60\u597d\uff0c\u4e16\u754c \U0001F44B\nSecond line.'
start_sound_server
start_chat_server "$tools/vellotype_demo_chat_server" --answer "$answer"
start_sway "$tools/vellotype_seat_keyboard" || fail "sway did not start"
start_sway_bus || fail "no session bus"

start_desktop_portal "$tools/vellotype_desktop_portal" || fail "the portal did not start"

start_sway_tray || fail "no tray"

in_sway wl-copy "copied earlier" </dev/null >/dev/null 2>&1
start_sway_editor "$tools/vellotype_test_editor" || fail "the editor did not start"
focused_app() {
  swaymsg_in_sway -t get_tree | python3 -c '
import json, sys
def walk(node):
    if node.get("focused"): print(node.get("app_id") or node.get("name")); return True
    return any(walk(child) for child in node.get("nodes", []) + node.get("floating_nodes", []))
walk(json.load(sys.stdin))'
}
editor_app=$(focused_app)

set_preferences "selectedLocaleCode=en-US" "llmEnabled=true" \
  "llmAPIBaseURL=http://127.0.0.1:$chat_port/v1" "llmAPIKey=test-key" "llmModel=test-model"
start_vellotype_in_sway "$program"
wait_for 15 portal_says bound || fail "the program bound no shortcut"
wait_for 15 icon_docked || fail "no icon in the tray"

# The capsule and the focus while the shortcut is held.
look_while_held() {
  capsule_geometry=$(xwininfo -name "Vellotype capsule" 2>/dev/null || true)
  focus_while_held=$(focused_app)
}
dictate_on_portal "We need three more days to finish." look_while_held
text_arrived() { [ "$(editor_text)" = "$answer" ]; }
wait_for 20 text_arrived || fail "the editor has \"$(editor_text)\", not the corrected text"
clipboard_is_back() { [ "$(in_sway wl-paste --no-newline)" = "copied earlier" ]; }
wait_for 5 clipboard_is_back || fail "the clipboard holds \"$(in_sway wl-paste)\", not what it had"

[ "$focus_while_held" = "$editor_app" ] ||
  fail "the capsule took the focus: $focus_while_held, not $editor_app"
grep -q IsViewable <<<"$capsule_geometry" || fail "holding the shortcut showed no capsule"
left=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$capsule_geometry")
top=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$capsule_geometry")
width=$(awk '/Width:/ { print $2 }' <<<"$capsule_geometry")
height=$(awk '/Height:/ { print $2 }' <<<"$capsule_geometry")
[ $((left + width / 2)) -eq 640 ] && [ $((800 - (top + height - 24))) -eq 56 ] ||
  fail "the capsule is not centred 56 points above the bottom: $capsule_geometry"
! grep -q "test-key" "$desktop_work/home/.local/state/Vellotype.log" || fail "the API key was logged"

# No window to paste into: the text stays where the user can paste it.
kill "${desktop_pids[-2]}"  # the editor, started just before the program
no_editor() { [ "$(focused_app)" != "$editor_app" ]; }
wait_for 5 no_editor || fail "the editor kept the focus after it ended"
dictate_on_portal "We need three more days to finish."
not_pasted() { grep -q "Not pasted: no application took the text" "$desktop_work/vellotype.log"; }
wait_for 20 not_pasted || fail "the program did not say the text was not pasted"
sleep 1
[ "$(in_sway wl-paste --no-newline)" = "$answer" ] ||
  fail "the clipboard holds \"$(in_sway wl-paste)\", not the text that was not pasted"
echo "PASS"
