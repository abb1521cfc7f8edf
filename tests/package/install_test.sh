#!/usr/bin/env bash
# Builds the Debian package, installs it with apt into a clean Debian 12 root made by
# debootstrap, and starts `vellotype` there on a virtual desktop: its tray icon must dock, and
# with US English chosen it must find the speech model it depends on (no alert). This catches a
# Depends line that lacks something the program needs, and files installed where it does not
# look for them.
#
# Arguments: the source tree, and a work folder (the package and the root go there). The
# debootstrapped root and apt's downloads are kept in $VELLOTYPE_DEBOOTSTRAP_CACHE (default
# ~/.cache/vellotype-debootstrap), so that only the first run downloads a system.
set -euo pipefail
source_dir=$(realpath "$1")
work=$(realpath -m "$2")
cache=${VELLOTYPE_DEBOOTSTRAP_CACHE:-$HOME/.cache/vellotype-debootstrap}
skip=77

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: debootstrap, chroot and mount need root"
  exit "$skip"
fi

source "$source_dir/tests/integration/support/desktop.sh"
root="$work/root"
fail() {
  echo "FAIL: $*"
  # What the screen showed, an alert's text for instance.
  [ -z "${DISPLAY:-}" ] || import -window root "$work/screen.png" 2>/dev/null || true
  cat "$desktop_work/vellotype.log" 2>/dev/null || true
  exit 1
}
phase() { printf 'package test: %-40s %3d s\n' "$1" "$SECONDS"; }

# Everything mounted inside the root goes before the root does: a bind-mounted /dev or cache
# under it would otherwise be emptied by rm -rf.
mounts_under_root() { awk -v r="$root" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo; }
unmount_root() {
  local m
  for m in $(mounts_under_root | sort -r); do umount -l "$m" || true; done
}
remove_root() {
  unmount_root
  if [ -n "$(mounts_under_root)" ]; then
    echo "package test: $root still has mounts; not removing it" >&2
    return 1
  fi
  rm -rf --one-file-system "$root"
}
cleanup() {
  stop_desktop
  remove_root || true
}
trap cleanup EXIT

# The package, as a user builds it.
mkdir -p "$work"
rm -f "$work"/vellotype_*.deb "$work/screen.png"
deb=$("$source_dir/scripts/package" "$work" | tail -n 1)
phase "package built: $(basename "$deb")"

# The Debian 12 mirror this machine uses (main, with updates and security), else Debian's own.
mapfile -t suites < <(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' \
  'Identifier: Packages' 'Component: main' 2>/dev/null |
  awk '$2 ~ /^bookworm(-updates|-security)?$/' | sort -u)
mirror=$(printf '%s\n' "${suites[@]}" | awk '$2 == "bookworm" { print $1; exit }')
if [ -z "$mirror" ]; then
  mirror=http://deb.debian.org/debian/
  suites=("$mirror bookworm" "$mirror bookworm-updates" "http://deb.debian.org/debian-security/ bookworm-security")
fi

# A clean root, made once and kept as a tarball; one test at a time changes the cache.
mkdir -p "$cache/debs" "$cache/archives/partial" "$cache/lists/partial"
exec {cache_lock}>"$cache/lock"
flock "$cache_lock"
base="$cache/bookworm-minbase.tar"
if [ ! -f "$base" ]; then
  fresh="$cache/fresh-root"
  rm -rf --one-file-system "$fresh"
  debootstrap --variant=minbase --cache-dir="$cache/debs" bookworm "$fresh" "$mirror" \
    >"$work/debootstrap.log" 2>&1 || { tail -20 "$work/debootstrap.log"; fail "debootstrap failed"; }
  printf '%s\n' "${suites[@]}" | awk '{ print "deb", $1, $2, "main" }' \
    >"$fresh/etc/apt/sources.list"
  rm -rf "$fresh"/var/cache/apt/archives/*.deb "$fresh"/var/lib/apt/lists/*
  tar -C "$fresh" -cf "$base.partial" . && mv "$base.partial" "$base"
  rm -rf --one-file-system "$fresh"
  phase "debootstrapped a clean root"
fi

# In memory (some 700 MB): dpkg's many small synced writes are slow on a busy disk, and the
# whole root goes with one unmount.
remove_root
mkdir -p "$root"
mount -t tmpfs -o size=4g,mode=755 tmpfs "$root"
tar -C "$root" -xf "$base"
phase "unpacked the clean root"

mount -t proc proc "$root/proc"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# apt's downloads outlive the root, so that a second run fetches nothing.
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
mount --bind "$cache/lists" "$root/var/lib/apt/lists"
cp "$deb" "$root/tmp/"

# As a user installs it, but without Recommends: Depends alone must be enough.
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
in_root apt-get update -qq >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get update"; }
in_root DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
  -o APT::Keep-Downloaded-Packages=true "/tmp/$(basename "$deb")" >>"$work/apt.log" 2>&1 ||
  { tail -30 "$work/apt.log"; fail "apt-get could not install the package"; }
phase "installed the package with apt"
# The menu entry starts the program by its Exec line and shows the icon it names.
entry="$root/usr/share/applications/vellotype.desktop"
[ -f "$entry" ] || fail "no menu entry installed"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
icon=$(sed -n 's/^Icon=//p' "$entry")
in_root sh -c "command -v ${exec_line%% *}" >/dev/null ||
  fail "the menu entry's Exec=$exec_line is not a program on PATH"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
  fail "the menu entry's Icon=$icon is not an installed icon"

# The desktop and the sound server run outside; the root sees their sockets and the throwaway
# home at the same paths.
start_display
start_sound_server
set_preferences "selectedLocaleCode=en-US"
start_tray
mkdir -p "$root/tmp/.X11-unix" "$root$desktop_work"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
mount --bind "$desktop_work" "$root$desktop_work"

# The program as the menu entry starts it, with only what a desktop session gives it, nothing
# from this machine's environment.
cat >"$work/vellotype-in-root" <<LAUNCHER
#!/usr/bin/env bash
exec chroot "$root" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 \\
  HOME="\$HOME" XDG_CONFIG_HOME="\$XDG_CONFIG_HOME" XDG_STATE_HOME="\$XDG_STATE_HOME" \\
  XDG_DATA_HOME="\$XDG_DATA_HOME" XDG_RUNTIME_DIR="\$XDG_RUNTIME_DIR" DISPLAY="\$DISPLAY" \\
  PULSE_SERVER="\$PULSE_SERVER" QT_QPA_PLATFORM="\$QT_QPA_PLATFORM" $exec_line
LAUNCHER
chmod +x "$work/vellotype-in-root"
start_vellotype "$work/vellotype-in-root"
# A program that cannot start (a library missing) ends at once: no need to wait for the icon.
docked_or_ended() { icon_docked || ! kill -0 "$vellotype_pid" 2>/dev/null; }
wait_for 30 docked_or_ended
kill -0 "$vellotype_pid" 2>/dev/null || fail "the installed program ended"
icon_docked || fail "the installed program's icon did not dock in the tray"
phase "the icon docked"
[ "$(readlink "/proc/$vellotype_pid/root")" = "$root" ] || fail "the program did not run in the root"

# An alert would say that the US English model is missing or unusable.
sleep 2
alert_shown() { vellotype_windows | awk '$1 > 200 { found = 1 } END { exit !found }'; }
! alert_shown || fail "the installed program showed an alert"
kill -0 "$vellotype_pid" 2>/dev/null || fail "the installed program ended"
# Holding the hotkey plays "Tink", read from the installed sounds: the sound server then holds
# it as a sample.
xdotool keydown Control_L
listening() { xwininfo -name "Vellotype capsule" 2>/dev/null | grep -q IsViewable; }
wait_for 5 listening || { xdotool keyup Control_L; fail "holding Control showed no capsule"; }
sleep 1
xdotool keyup Control_L
tink_uploaded() { pactl list samples short | grep -q vellotype-Tink; }
wait_for 5 tink_uploaded || fail "no feedback sound: the installed sounds were not found"
# The US English model is loaded at start, once the installed model checker has read it; loaded,
# it takes some 100 MB (the program alone, about 40).
rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$vellotype_pid/status")
[ "$rss" -ge 90000 ] ||
  fail "the speech model was not loaded ($((rss / 1024)) MB resident): is the model checker installed?"
echo "PASS: the package installs into a clean Debian 12; its program docks in the tray, plays its"
echo "sounds and loads the speech model"
