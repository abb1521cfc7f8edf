# Shell helpers that run the whole program in a private headless sway with XWayland, as on a
# wlroots desktop. Source desktop.sh first: the sound server, the preferences and the waiting are
# shared. Sway refuses to run as root, so as root sway and every client in it run as a user of
# their own (the one tests/integration/support/HeadlessSway.h uses).

sway_user=vellotype-wayland
sway_dir="$desktop_work/sway"

# A command as a client of the session, in $sway_command: as its user, with its runtime directory,
# home, Wayland socket, XWayland's display and the sound server. One process, so that $! of it
# run in the background is the program's.
sway_command() {
  sway_command=()
  [ "$(id -u)" -ne 0 ] ||
    sway_command=(setpriv "--reuid=$sway_user" "--regid=$sway_user" --init-groups)
  sway_command+=(env -i PATH=/usr/bin:/bin HOME="$sway_dir/home" XDG_RUNTIME_DIR="$sway_dir/run"
    WAYLAND_DISPLAY=wayland-1 ${sway_x_display:+DISPLAY="$sway_x_display"}
    ${sway_bus:+DBUS_SESSION_BUS_ADDRESS="$sway_bus"}
    ${PULSE_SERVER:+PULSE_SERVER="$PULSE_SERVER"} "$@")
}
in_sway() { sway_command "$@" && "${sway_command[@]}"; }

# Sway on the headless backend with XWayland, and the user's keyboard on its seat ($1: the
# vellotype_seat_keyboard tool). Exports DISPLAY as XWayland's, so that xdotool types there.
start_sway() {
  if [ "$(id -u)" -eq 0 ] && ! id -u "$sway_user" >/dev/null 2>&1; then
    # A parallel test may create the user first: only its presence afterwards counts.
    useradd --system --no-create-home --shell /usr/sbin/nologin "$sway_user" 2>/dev/null ||
      id -u "$sway_user" >/dev/null || return 1
  fi
  # Sway's user passes through the test's folders to its own.
  chmod 711 "$desktop_work"
  mkdir -p -m 711 "$sway_dir"
  mkdir -m 700 "$sway_dir/run" "$sway_dir/home"
  [ "$(id -u)" -ne 0 ] || chown "$sway_user:" "$sway_dir/run" "$sway_dir/home"
  printf 'output HEADLESS-1 resolution 1280x800\nxwayland enable\n' >"$sway_dir/config"
  sway_command WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -d -c "$sway_dir/config"
  "${sway_command[@]}" >"$sway_dir/sway.log" 2>&1 &
  desktop_pids+=($!)
  sway_socket_ready() {
    [ -S "$sway_dir/run/wayland-1" ] && ls "$sway_dir/run/"sway-ipc.* >/dev/null 2>&1
  }
  wait_for 10 sway_socket_ready || return 1
  # XWayland's display is in the environment sway gives the programs it starts.
  swaymsg_in_sway exec 'printf %s "$DISPLAY" >"$XDG_RUNTIME_DIR/x-display"' >/dev/null
  x_display_known() { [ -s "$sway_dir/run/x-display" ]; }
  wait_for 10 x_display_known || return 1
  sway_x_display=$(cat "$sway_dir/run/x-display")
  export DISPLAY="$sway_x_display"
  start_in_sway "$1" >"$sway_dir/keyboard.out"
  keyboard_ready() { grep -q ready "$sway_dir/keyboard.out"; }
  wait_for 10 keyboard_ready
}

# XWayland lets in its own user's clients alone: xdotool and xwininfo, as desktop.sh's helpers
# run them, run as that user.
xdotool() { in_sway xdotool "$@"; }
xwininfo() { in_sway xwininfo "$@"; }

# The session's bus, as the session's user; its address goes to $sway_bus, which every client
# started after it gets.
start_sway_bus() {
  sway_command dbus-daemon --session --nofork --print-address=1
  "${sway_command[@]}" >"$sway_dir/bus.out" 2>/dev/null &
  desktop_pids+=($!)
  bus_known() { [ -s "$sway_dir/bus.out" ]; }
  wait_for 10 bus_known || return 1
  sway_bus=$(head -n 1 "$sway_dir/bus.out")
}

swaymsg_in_sway() { in_sway SWAYSOCK="$(ls "$sway_dir/run/"sway-ipc.*)" swaymsg "$@"; }

# Starts a program in the session, stopped with it: [NAME=value...] PROGRAM [ARGUMENT...]. The
# build tree may be closed to sway's user, so the program runs from a copy.
start_in_sway() {
  local environment=()
  while [[ "$1" == *=* ]]; do environment+=("$1"); shift; done
  local copy="$sway_dir/$(basename "$1")"
  cp "$1" "$copy"
  shift
  sway_command "${environment[@]}" "$copy" "$@"
  # Standard input as the caller gave it: a background command would get /dev/null.
  "${sway_command[@]}" <&0 &
  desktop_pids+=($!)
}

# The test editor as a native Wayland client, with the keyboard focus.
start_sway_editor() {
  start_in_sway QT_QPA_PLATFORM=wayland "$@" >"$desktop_work/editor.out" 2>"$sway_dir/editor.log"
  editor_ready() { grep -q ready "$desktop_work/editor.out" 2>/dev/null; }
  wait_for 10 editor_ready
}

# The program in the session, as start_vellotype starts it on Xvfb: a throwaway home, its
# standard error in $desktop_work/vellotype.log.
start_vellotype_in_sway() {
  local home="$desktop_work/home"
  mkdir -p "$home"
  [ "$(id -u)" -ne 0 ] || chown -R "$sway_user:" "$home"
  # And to the sound server's socket.
  [ ! -d "$desktop_work/pulse" ] || chmod 711 "$desktop_work/pulse"
  start_in_sway HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_STATE_HOME="$home/.local/state" \
    XDG_DATA_HOME="$home/.local/share" "$1" 2>"$desktop_work/vellotype.log"
  vellotype_pid=${desktop_pids[-1]}
}

# A panel's tray at the top right, as XWayland's: a desktop without one has the program say so
# in an alert, which takes the focus. Start it before the editor, which then has the focus.
start_sway_tray() {
  start_in_sway /usr/bin/trayer --edge top --align right --widthtype pixel --width 120 \
    --height 28 --SetDockType true >/dev/null 2>&1
  wait_for 10 tray_ready
}

# The desktop's portal ($1: the vellotype_desktop_portal tool), offering global shortcuts; lines
# written to $portal_in press and release the shortcut it binds.
start_desktop_portal() {
  mkfifo "$desktop_work/portal.in"
  exec {portal_in}<>"$desktop_work/portal.in"
  start_in_sway "$1" <&"$portal_in" >"$desktop_work/portal.out"
  wait_for 10 portal_says ready
}
portal_says() { grep -qx "$1" "$desktop_work/portal.out" 2>/dev/null; }

# As desktop.sh's dictate, with the desktop's shortcut held instead of a key: holds it while the
# sentence plays into the microphone, running `during` (a command) after the first words, then
# releases it between $key_release_started and $key_released (wall clock, microseconds).
dictate_on_portal() {
  local during=${2:-}
  echo press >&"$portal_in"
  sleep 0.3
  paplay --device=micfeed "$(speech_file "$1")" &
  local player=$!
  [ -n "$during" ] && { sleep 0.5; $during; }
  wait "$player"
  sleep 0.3
  key_release_started=${EPOCHREALTIME/[.,]/}
  echo release >&"$portal_in"
  key_released=${EPOCHREALTIME/[.,]/}
}
