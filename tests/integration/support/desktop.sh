# Shell helpers for tests, the demo and measurements that run the whole program on a private
# virtual desktop, with a private sound server. Source it; call start_desktop (and
# start_sound_server) before start_vellotype; everything started is stopped when the calling
# script exits.

desktop_pids=()
desktop_work=$(mktemp -d "${TMPDIR:-/tmp}/vellotype-desktop.XXXXXX")
sound_server_pid=""

stop_desktop() {
  local i
  # Last started first, so that no client sees the display go away under it.
  for ((i = ${#desktop_pids[@]} - 1; i >= 0; i--)); do
    kill "${desktop_pids[i]}" 2>/dev/null || true
    wait "${desktop_pids[i]}" 2>/dev/null || true
  done
  if [ -n "$sound_server_pid" ]; then
    kill "$sound_server_pid" 2>/dev/null
    # It is not our child: wait for it to go before its folder does.
    for i in $(seq 50); do kill -0 "$sound_server_pid" 2>/dev/null || break; sleep 0.05; done
  fi
  rm -rf "$desktop_work"
}
trap stop_desktop EXIT

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# An Xvfb on a display number of its own, and a tray host docked at the top right.
start_desktop() { start_display && start_tray; }

# The display alone, as at login before the desktop's panel has started.
start_display() {
  exec {displayfd}<> <(:)
  Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp -noreset \
    >"$desktop_work/xvfb.log" 2>&1 &
  desktop_pids+=($!)
  local number
  read -r -t 10 number <&"$displayfd" || { echo "Xvfb did not start" >&2; return 1; }
  exec {displayfd}<&-
  export DISPLAY=":$number"
  mkdir -p -m 700 "$desktop_work/run"
  export XDG_RUNTIME_DIR="$desktop_work/run"
}

# The tray host, 120 x 28 at the top right; arguments go to trayer (such as a panel colour).
start_tray() {
  trayer --edge top --align right --widthtype pixel --width 120 --height 28 \
    --SetDockType true "$@" >/dev/null 2>&1 &
  tray_pid=$!
  desktop_pids+=("$tray_pid")
  wait_for 10 tray_ready
}

stop_tray() {
  kill "$tray_pid" 2>/dev/null || true
  wait "$tray_pid" 2>/dev/null || true
}

tray_ready() { xwininfo -root -tree 2>/dev/null | grep -q '("panel" "trayer")'; }

# A PulseAudio daemon of our own with two null sinks: "speakers" (the default, where the
# program's own sounds go) and "micfeed", whose monitor is the default microphone "vmic".
start_sound_server() {
  local dir="$desktop_work/pulse"
  mkdir -p "$dir"
  export PULSE_RUNTIME_PATH="$dir" PULSE_SERVER="unix:$dir/native"
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes \
    --log-target="file:$dir/pulseaudio.log" \
    --load="module-native-protocol-unix auth-anonymous=1" \
    --load="module-null-sink sink_name=speakers" --load="module-null-sink sink_name=micfeed" \
    --load="module-always-sink" 2>/dev/null
  sound_server_pid=$(cat "$dir/pid")
  pactl load-module module-remap-source source_name=vmic master=micfeed.monitor >/dev/null
  pactl set-default-source vmic
  pactl set-default-sink speakers
}

# Writes preferences the program reads at start-up, as "key=value" arguments.
set_preferences() {
  local folder="$desktop_work/home/.config/Vellotype"
  mkdir -p "$folder"
  { echo "[General]"; printf '%s\n' "$@"; } >"$folder/Vellotype.conf"
}

# The program with a throwaway home; its standard error goes to $desktop_work/vellotype.log and
# its diagnostic log to $desktop_work/home/.local/state/Vellotype.log.
start_vellotype() {
  local program=$1
  mkdir -p "$desktop_work/home"
  HOME="$desktop_work/home" XDG_CONFIG_HOME="$desktop_work/home/.config" \
    XDG_STATE_HOME="$desktop_work/home/.local/state" XDG_DATA_HOME="$desktop_work/home/.local/share" \
    QT_QPA_PLATFORM=xcb \
    "$program" 2>"$desktop_work/vellotype.log" &
  vellotype_pid=$!
  desktop_pids+=("$vellotype_pid")
}

# Stops the program and waits until it has gone: only one copy runs per user, so the next
# start_vellotype would otherwise find the last one still there.
stop_vellotype() {
  kill "$vellotype_pid" 2>/dev/null || true
  wait "$vellotype_pid" 2>/dev/null || true
}

icon_docked() { [ -n "$(tray_icon_position)" ]; }

# An editor window with the keyboard focus: the target of the dictation.
start_editor() {
  "$@" >"$desktop_work/editor.out" &
  desktop_pids+=($!)
  editor_ready() { grep -q ready "$desktop_work/editor.out" 2>/dev/null; }
  wait_for 10 editor_ready
}

# The editor's text now (its last report, decoded).
editor_text() {
  local hex
  hex=$(awk '$0 != "ready" { last = $NF } END { print last }' "$desktop_work/editor.out")
  printf '%b' "$(sed 's/../\\x&/g' <<<"$hex")"
}

# The local chat-completions service (its program, then its arguments); its port goes to
# $chat_port.
start_chat_server() {
  "$@" >"$desktop_work/chat.out" &
  desktop_pids+=($!)
  chat_listening() { grep -q listening "$desktop_work/chat.out" 2>/dev/null; }
  wait_for 10 chat_listening
  chat_port=$(awk '/listening/ { print $2 }' "$desktop_work/chat.out")
}

# The local transcription service; its port goes to $transcription_port. It writes
# "decoded <ms>" to $desktop_work/transcription.out after each English request it decodes.
start_transcription_server() {
  "$1" >"$desktop_work/transcription.out" &
  desktop_pids+=($!)
  transcription_listening() {
    grep -q listening "$desktop_work/transcription.out" 2>/dev/null
  }
  wait_for 10 transcription_listening
  transcription_port=$(awk '/listening/ { print $2 }' "$desktop_work/transcription.out")
}

# How many requests the transcription service has decoded so far.
transcription_decodes() { grep -c '^decoded ' "$desktop_work/transcription.out" || true; }

# Speech for a sentence, made once, as 16-bit WAV in the flite voice the recogniser knows best.
speech_file() {
  local file="$desktop_work/speech-$(echo "$1" | md5sum | cut -c1-8).wav"
  [ -f "$file" ] || flite -voice rms -t "$1" -o "$file"
  echo "$file"
}

# Holds Control while the sentence plays into the microphone, as a user speaks, then releases.
# Runs `during` (a command) while the key is held, after the first words. The release happens
# between $key_release_started and $key_released (wall clock, microseconds).
dictate() {
  local file during=${2:-}
  file=$(speech_file "$1")
  xdotool keydown Control_L
  sleep 0.3
  paplay --device=micfeed "$file" &
  local player=$!
  [ -n "$during" ] && { sleep 1; $during; }
  wait "$player"
  sleep 0.3
  key_release_started=${EPOCHREALTIME/[.,]/}
  # Without --delay 0, xdotool sleeps 12 ms after sending the release before it returns.
  xdotool keyup --delay 0 Control_L
  key_released=${EPOCHREALTIME/[.,]/}
}

# Lists the program's windows as "width height x y", one a line.
vellotype_windows() {
  xwininfo -root -tree | grep '("vellotype" "Vellotype")' |
    sed -E 's/.* ([0-9]+)x([0-9]+)[+-][0-9]+[+-][0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/'
}

# The geometry "width height x y" of the program's icon docked in the tray, once it is there.
# Until the tray has taken it, the icon's window sits at the root window's origin.
tray_icon_geometry() {
  vellotype_windows | awk '$1 < 64 && $2 < 64 && ($3 != 0 || $4 != 0) { print; exit }'
}

# Its position "x y".
tray_icon_position() { tray_icon_geometry | awk '{ print $3, $4 }'; }

# Each pixel of an image as "red green blue", 0 to 255, one a line.
pixels() {
  convert "$1" -depth 8 txt:- |
    sed -n 's/^[0-9]*,[0-9]*: *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}
