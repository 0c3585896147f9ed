#!/bin/bash
# Builds the coverage-guided fuzz target of the INF substitution with clang's
# libFuzzer and runs it for a while (default 60 s) from the committed seeds.
# Usage: tools/fuzz/run_fuzz.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
out="$root/build/fuzz"
mkdir -p "$out/corpus"
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=all -I"$root/src" \
  "$root/tests/fuzz/substitution_fuzz.cpp" \
  "$root/src/setup/text_substitution.cpp" "$root/src/setup/text.cpp" \
  -o "$out/substitution_fuzz"
# New inputs go to the scratch corpus; the committed seeds stay as they are.
log="$out/fuzz.log"
status=0
(cd "$out" && ./substitution_fuzz -max_total_time="$seconds" -max_len=4096 \
  -print_final_stats=1 corpus "$root/tests/fuzz/corpus") >"$log" 2>&1 || status=$?
grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)" "$log" || true
if [ "$status" -ne 0 ]; then
  echo "fuzz: finding (exit $status); see $log and the crash-* file in $out" >&2
  tail -40 "$log" >&2
  exit 1
fi
echo "fuzz: $seconds s without a finding"
