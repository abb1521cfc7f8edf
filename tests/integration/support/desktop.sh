# Shell helpers for tests and measurements that run the whole program on a private virtual
# desktop. Source it; call start_desktop, then start_vellotype; everything started is stopped
# when the calling script exits.

desktop_pids=()
desktop_work=$(mktemp -d "${TMPDIR:-/tmp}/vellotype-desktop.XXXXXX")

stop_desktop() {
  local pid
  for pid in "${desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${desktop_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
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
start_desktop() {
  exec {displayfd}<> <(:)
  Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp -noreset \
    >"$desktop_work/xvfb.log" 2>&1 &
  desktop_pids+=($!)
  local number
  read -r -t 10 number <&"$displayfd" || { echo "Xvfb did not start" >&2; return 1; }
  exec {displayfd}<&-
  export DISPLAY=":$number"
  trayer --edge top --align right --widthtype pixel --width 120 --height 28 \
    --SetDockType true >/dev/null 2>&1 &
  desktop_pids+=($!)
  wait_for 10 tray_ready
}

tray_ready() { xwininfo -root -tree 2>/dev/null | grep -q '("panel" "trayer")'; }

# The program with a throwaway home; its standard error goes to $desktop_work/vellotype.log.
start_vellotype() {
  local program=$1
  mkdir -p "$desktop_work/home" "$desktop_work/run"
  chmod 700 "$desktop_work/run"
  HOME="$desktop_work/home" XDG_CONFIG_HOME="$desktop_work/home/.config" \
    XDG_RUNTIME_DIR="$desktop_work/run" QT_QPA_PLATFORM=xcb \
    "$program" 2>"$desktop_work/vellotype.log" &
  vellotype_pid=$!
  desktop_pids+=("$vellotype_pid")
}

# Lists the program's windows as "width height x y", one a line.
vellotype_windows() {
  xwininfo -root -tree | grep '("vellotype" "Vellotype")' |
    sed -E 's/.* ([0-9]+)x([0-9]+)[+-][0-9]+[+-][0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/'
}

# The position "x y" of the program's icon docked in the tray, once it is there.
tray_icon_position() { vellotype_windows | awk '$1 < 64 && $2 < 64 { print $3, $4; exit }'; }
