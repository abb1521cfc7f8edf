#!/usr/bin/env bash
# Fuzzes the code that reads what others wrote (a service's reply, a URL, a hand-edited
# preferences file, a models folder) with clang's libFuzzer, address and undefined-behaviour
# sanitizers on, each target for a while. A crash or a broken promise stops the run and leaves
# the input that caused it in build/fuzz/.
# Usage: bench/fuzz.sh [seconds per target, 180]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180}

scripts/setup --fuzz
cmake -S bench/fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz

# A few well-formed inputs to start from, so that the fuzzer begins where real inputs are.
seed() { mkdir -p "build/fuzz/corpus/$1"; printf '%s' "$2" >"build/fuzz/corpus/$1/seed-$3"; }
seed JSONReply '{"text":"Hello, world."}' 1
seed JSONReply '{"choices":[{"index":0,"message":{"role":"assistant","content":"Fixed."}}]}' 2
seed JSONReply '{"error":{"message":"Incorrect API key","type":"invalid_request_error"}}' 3
seed URIReference 'https://api.openai.com/v1/chat/completions' 1
seed URIReference 'http://127.0.0.1:8080/v1/audio/transcriptions?x=1#y' 2
seed TriggerKeyPreferences $'\x00\x08modifier\x01\x02ab\x00\x07control\x00\x07Control' 1
seed TriggerKeyPreferences $'\x00\x07keyCode\x01\x02F5\x02\x00\x00\x02F5' 2
seed ModelFinder $'\x02\x00\x05en-us\x00\x40\x07en.dict\x00\x80\x05en.lm' 1

for target in JSONReply URIReference TriggerKeyPreferences ModelFinder; do
  echo "fuzz: $target for $seconds s"
  (cd build/fuzz && "./${target}Fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -max_len=4096 "corpus/$target" 2>&1 | tail -n 12)
done
