#!/bin/bash
# Builds the coverage-guided fuzz target of the INF substitution with clang's
# libFuzzer and runs it for a while (default 60 s in all) from the committed
# seeds: half the time on the host's vector screening, half on the plain
# loop that the 32-bit Windows program uses (built without SSE2).
# Usage: tools/fuzz/run_fuzz.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
half=$(( (seconds + 1) / 2 ))
out="$root/build/fuzz"
mkdir -p "$out/corpus"

run_variant() {
  local name=$1; shift
  clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=all "$@" -I"$root/src" \
    "$root/tests/fuzz/substitution_fuzz.cpp" \
    "$root/src/setup/text_substitution.cpp" "$root/src/setup/text.cpp" \
    -o "$out/$name"
  # New inputs go to the scratch corpus; the committed seeds stay as they are.
  local log="$out/$name.log" status=0
  (cd "$out" && "./$name" -max_total_time="$half" -max_len=4096 \
    -print_final_stats=1 corpus "$root/tests/fuzz/corpus") >"$log" 2>&1 || status=$?
  echo "fuzz $name:"
  grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)" "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $name found a fault (exit $status); see $log and the crash-* file in $out" >&2
    tail -40 "$log" >&2
    exit 1
  fi
}

run_variant substitution_fuzz
run_variant substitution_fuzz_plain -mno-sse2
echo "fuzz: $seconds s without a finding"
