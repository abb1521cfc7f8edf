#!/usr/bin/env bash
# What a user waits for and what the program costs, measured on the whole release build on a
# virtual desktop with a private sound server (tests/integration/support/desktop.sh):
#   - key release to text in the editor, with correction off, then on against the local chat
#     service (bench/sentences.txt, spoken by flite into the microphone while Control is held);
#   - the same through the local transcription service instead of the program's own recogniser,
#     with how much of it the service spent decoding, so that what the program adds shows;
#   - launch to the icon docked in the tray;
#   - resident memory idle (model loaded), while recording, and after the dictations;
#   - CPU time while idle (as bench/idle_cpu.sh, but with the sound server and model in place).
# Usage: bench/latency.sh [utterances per mode, 24] [launches, 5] [idle seconds, 60]
set -euo pipefail
cd "$(dirname "$0")/.."
utterances=${1:-24}
launches=${2:-5}
idle_seconds=${3:-60}
program=build/release/src/vellotype
tools=build/release/tests/tools
for binary in "$program" "$tools/vellotype_test_editor" "$tools/vellotype_demo_chat_server" \
  "$tools/vellotype_demo_transcription_server"; do
  [ -x "$binary" ] ||
    { echo "build it first: cmake --preset release && cmake --build --preset release" >&2; exit 1; }
done
mapfile -t sentences <bench/sentences.txt
source tests/integration/support/desktop.sh
say() { printf 'latency: %s\n' "$*" >&2; }
fail() { say "$*"; cat "$desktop_work/vellotype.log" >&2; exit 1; }
now_us() { now=${EPOCHREALTIME/[.,]/}; }  # sets $now without a subshell's delay
load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)

source bench/percentiles.sh
median() { percentiles "$1" | cut -d' ' -f1; }
rss_kib() { awk '/^VmRSS/ { print $2 }' "/proc/$vellotype_pid/status"; }
peak_kib() { awk '/^VmHWM/ { print $2 }' "/proc/$vellotype_pid/status"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$vellotype_pid/stat"; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

# The model loads on a decoder thread of its own once the program has started; it is loaded when
# that thread has used no CPU for a second and the resident memory has stopped growing.
decoder_ticks() {
  local task
  for task in "/proc/$vellotype_pid/task/"*; do
    if [ "$(cat "$task/comm" 2>/dev/null)" = sphinx-decoder ]; then
      awk '{ print $14 + $15 }' "$task/stat"
      return
    fi
  done
  echo none
}
await_model() {
  local ticks rss deadline=$((SECONDS + 30))
  while [ "$SECONDS" -lt "$deadline" ]; do
    ticks=$(decoder_ticks)
    rss=$(rss_kib)
    sleep 1
    [ "$ticks" != none ] && [ "$ticks" = "$(decoder_ticks)" ] &&
      [ $(($(rss_kib) - rss)) -lt 1024 ] && return 0
  done
  return 1
}

# icon_docked's test in one process instead of five, so that it can look often: a window of the
# program's no larger than an icon, away from the root window's origin, where it waits undocked.
icon_in_tray() {
  xwininfo -root -tree | awk '/\("vellotype" "Vellotype"\)/ {
      split($(NF - 1), size, /[x+-]/)
      if (size[1] < 64 && size[2] < 64 && $NF != "+0+0") found = 1 }
    END { exit !found }'
}

# Launches the program and records the time until its icon is docked. The icon is looked for
# every 10 ms plus the cost of a look, so the figure is late by up to one period, whose length
# goes to launch-period.ms.
launch() {
  local started looks=0 deadline=$((SECONDS + 30))
  now_us
  started=$now
  start_vellotype "$program"
  until icon_in_tray; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the icon never docked"
    looks=$((looks + 1))
    sleep 0.01
  done
  now_us
  echo $(((now - started) / 1000)) >>"$desktop_work/launch.ms"
  echo $(((now - started) / (looks + 1) / 1000)) >>"$desktop_work/launch-period.ms"
}

stop_program() {
  kill "$vellotype_pid"
  wait "$vellotype_pid" 2>/dev/null || true
  icon_gone() { ! icon_docked; }
  wait_for 5 icon_gone
}

sample_recording_rss() { rss_kib >>"$desktop_work/recording.kib"; }
# What runs while the key is held, after the first words.
during_dictation=sample_recording_rss

# Dictates a sentence and appends "milliseconds changed" to $2: from the key's release to the
# editor's report of its new text, and whether the delivered text has digits, which only the chat
# service writes. The editor's clock has millisecond steps. The release moment is when xdotool
# returns, which it does a millisecond or two after sending the release (seen with strace); its
# whole run, a hard bound on that error, goes to release-span.us.
dictation_round() {
  local sentence=$1 results=$2 lines visible latency before delivered changed=0
  before=$(editor_text)
  lines=$(wc -l <"$desktop_work/editor.out")
  dictate "$sentence" "$during_dictation"
  echo $((key_released - key_release_started)) >>"$desktop_work/release-span.us"
  new_report() { [ "$(wc -l <"$desktop_work/editor.out")" -gt "$lines" ]; }
  wait_for 20 new_report || fail "nothing arrived for \"$sentence\""
  visible=$(sed -n "$((lines + 1))p" "$desktop_work/editor.out" | cut -d' ' -f1)
  latency=$((visible - key_released / 1000))
  sleep 1  # past the clipboard's restore; a pause between dictations, as a user makes
  delivered=$(editor_text)
  delivered=${delivered#"$before"}
  [[ "$delivered" =~ [0-9] ]] && changed=1
  echo "$latency $changed" >>"$results"
  say "$(printf '%5d ms  "%s" -> "%s"' "$latency" "$sentence" "$delivered")"
}

dictate_all() {
  local i
  for ((i = 0; i < utterances; i++)); do
    dictation_round "${sentences[i % ${#sentences[@]}]}" "$1"
  done
}

# Correction on or off, the language, and any other "key=value".
preferences() {
  set_preferences "llmEnabled=$1" "selectedLocaleCode=$2" \
    "llmAPIBaseURL=http://127.0.0.1:$chat_port/v1" "llmAPIKey=bench-key" "llmModel=bench-model" \
    "${@:3}"
}

answered=' Transcription: .* purpose=final -> ok in [0-9]* ms$'
requests_answered() {
  grep -c "$answered" "$desktop_work/home/.local/state/Vellotype.log" 2>/dev/null || true
}

# A dictation through the transcription service. The service's decoding time for it goes to
# service-decode.ms, and the request's time from sending to the answer read, as the program logs
# it, to service-request.ms. Both lines are written before the text is handed on, so they are
# there once the text is.
service_round() {
  local decodes requests log="$desktop_work/home/.local/state/Vellotype.log"
  decodes=$(transcription_decodes)
  requests=$(requests_answered)
  dictation_round "$1" "$desktop_work/service.ms"
  [ "$(transcription_decodes)" -eq $((decodes + 1)) ] &&
    [ "$(requests_answered)" -eq $((requests + 1)) ] ||
    fail "not one request answered and decoded for \"$1\": $(tail -n 3 "$log")"
  awk '/^decoded / { ms = $2 } END { print ms }' "$desktop_work/transcription.out" \
    >>"$desktop_work/service-decode.ms"
  grep "$answered" "$log" | awk 'END { print $(NF - 1) }' >>"$desktop_work/service-request.ms"
  say "$(printf '%5d ms  of it the request, %d ms of that decoding' \
    "$(tail -n 1 "$desktop_work/service-request.ms")" \
    "$(tail -n 1 "$desktop_work/service-decode.ms")")"
}

start_desktop
start_sound_server
start_chat_server "$tools/vellotype_demo_chat_server"
start_transcription_server "$tools/vellotype_demo_transcription_server"
start_editor "$tools/vellotype_test_editor" --timestamps 2>>"$desktop_work/editor.err" ||
  fail "the editor did not start"
preferences false en-US

say "launching $launches times"
for ((i = 1; i <= launches; i++)); do
  launch
  [ "$i" -eq "$launches" ] || stop_program
done
await_model || fail "the model did not finish loading"
idle_rss=$(rss_kib)
say "idle for $idle_seconds s"
ticks_before=$(cpu_ticks)
sleep "$idle_seconds"
idle_cpu_ticks=$(($(cpu_ticks) - ticks_before))

say "dictating $utterances sentences, correction off"
dictate_all "$desktop_work/off.ms"
after_rss=$(rss_kib)
after_peak=$(peak_kib)
stop_program

say "dictating $utterances sentences, correction on"
preferences true en-US
start_vellotype "$program"
wait_for 30 icon_docked || fail "the program did not start"
await_model || fail "the model did not finish loading"
dictate_all "$desktop_work/on.ms"
awk '$2 == 0' "$desktop_work/on.ms" >"$desktop_work/on-same.ms"
awk '$2 == 1' "$desktop_work/on.ms" >"$desktop_work/on-changed.ms"
stop_program

# British English has no local model, so the service alone recognises it (asked for "en"); the
# program's memory is not sampled, since it has no model loaded this way.
say "dictating $utterances sentences through the transcription service"
preferences false en-GB "speechServiceBaseURL=http://127.0.0.1:$transcription_port/v1"
start_vellotype "$program"
wait_for 30 icon_docked || fail "the program did not start"
# A running service has its model loaded: one request loads it before the measurements.
curl -sf -F file=@"$(speech_file "${sentences[0]}")" -F model=bench -F language=en \
  "http://127.0.0.1:$transcription_port/v1/audio/transcriptions" >/dev/null ||
  fail "the transcription service did not answer"
during_dictation=""
for ((i = 0; i < utterances; i++)); do
  service_round "${sentences[i % ${#sentences[@]}]}"
done
paste -d' ' "$desktop_work/service.ms" "$desktop_work/service-decode.ms" |
  awk '{ print $1 - $3 }' >"$desktop_work/service-overhead.ms"

row() { printf '%-52s %8s %8s %8s %4s\n' "$@"; }
stat_row() {
  local p50 p95 max n
  read -r p50 p95 max n < <(percentiles "$2")
  row "$1" "$p50" "$p95" "$max" "$n"
}
awk '{ printf "%.1f\n", $1 / 1024 }' "$desktop_work/recording.kib" >"$desktop_work/recording.mib"
{
  echo
  echo "Vellotype, release build, $(nproc) cores; load average $load_at_start at the start," \
    "$(cut -d' ' -f1-3 /proc/loadavg) at the end"
  row "" p50 p95 max n
  stat_row "key release -> text in editor, correction off (ms)" "$desktop_work/off.ms"
  stat_row "key release -> text in editor, correction on (ms)" "$desktop_work/on.ms"
  stat_row "  text the service left as it was (ms)" "$desktop_work/on-same.ms"
  stat_row "  text the service changed, shown 1 s first (ms)" "$desktop_work/on-changed.ms"
  stat_row "key release -> text in editor, speech service (ms)" "$desktop_work/service.ms"
  stat_row "  the request, sent to answered (ms)" "$desktop_work/service-request.ms"
  stat_row "  the service's own decoding (ms)" "$desktop_work/service-decode.ms"
  stat_row "  the rest: release -> text minus decoding (ms)" "$desktop_work/service-overhead.ms"
  stat_row "launch -> icon docked in the tray (ms)" "$desktop_work/launch.ms"
  stat_row "resident memory while recording (MiB)" "$desktop_work/recording.mib"
  echo "resident memory idle, model loaded: $(mib "$idle_rss") MiB;" \
    "idle after $utterances dictations: $(mib "$after_rss") MiB (peak $(mib "$after_peak") MiB)"
  awk -v t="$idle_cpu_ticks" -v hz="$(getconf CLK_TCK)" -v s="$idle_seconds" 'BEGIN {
    printf "CPU while idle for %d s: %.2f s (%.3f %% of one core)\n", s, t / hz, 100 * t / hz / s }'
  echo "resolution: editor clock 1 ms; xdotool ran $(($(median "$desktop_work/release-span.us") / 1000)) ms" \
    "to release the key (median); the icon was looked for every" \
    "$(median "$desktop_work/launch-period.ms") ms (median)"
}
