#!/bin/bash
# Builds a coverage-guided fuzz target with clang's libFuzzer and runs it for
# a while from its committed seeds.
#   substitution (default, 60 s): the INF substitution, half the time on the
#     host's vector screening, half on the plain loop that the 32-bit
#     Windows program uses (built without SSE2);
#   regfile (20 s): the .reg loader and exporter (load, export, load,
#     export: the same bytes);
#   image (10 s): the copy of an image's folders, from trees holding links,
#     FIFOs, hard links and names differing only in case;
#   case (20 s): simrun's reader of NLDIAG.EXE's case files and the image
#     planned from one (every path inside the image).
# Usage: tools/fuzz/run_fuzz.sh [seconds] [substitution|regfile|image|case]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
target=${2:-substitution}
out="$root/build/fuzz"

# run_variant NAME SECONDS SEEDS SOURCES... [-- FLAGS...]
run_variant() {
  local name=$1 seconds=$2 seeds=$3; shift 3
  local sources=() flags=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do sources+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  flags=("$@")
  mkdir -p "$out/$name-corpus"
  clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=all ${flags[@]+"${flags[@]}"} -I"$root/src" \
    "${sources[@]}" -o "$out/$name"
  # New inputs go to the scratch corpus; the committed seeds stay as they are.
  local log="$out/$name.log" status=0
  (cd "$out" && "./$name" -max_total_time="$seconds" -max_len=4096 \
    -print_final_stats=1 "$name-corpus" "$seeds") >"$log" 2>&1 || status=$?
  echo "fuzz $name:"
  grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)" "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $name found a fault (exit $status); see $log and the crash-* file in $out" >&2
    tail -40 "$log" >&2
    exit 1
  fi
}

case "$target" in
  substitution)
    seconds=${1:-60}
    half=$(( (seconds + 1) / 2 ))
    sources=("$root/tests/fuzz/substitution_fuzz.cpp"
             "$root/src/setup/text_substitution.cpp" "$root/src/setup/text.cpp")
    run_variant substitution_fuzz "$half" "$root/tests/fuzz/corpus" "${sources[@]}"
    run_variant substitution_fuzz_plain "$half" "$root/tests/fuzz/corpus" "${sources[@]}" \
      -- -mno-sse2
    ;;
  regfile)
    seconds=${1:-20}
    run_variant regfile_fuzz "$seconds" "$root/tests/fuzz/regfile_corpus" \
      "$root/tests/fuzz/regfile_fuzz.cpp" "$root"/src/regfile/*.cpp
    ;;
  image)
    seconds=${1:-10}
    run_variant image_tree_fuzz "$seconds" "$root/tests/fuzz/image_corpus" \
      "$root/tests/fuzz/image_tree_fuzz.cpp" "$root/src/platform/sim/files/plain_tree.cpp" \
      "$root/src/platform/sim/sim_text.cpp" "$root/src/regfile/ignore_case.cpp"
    ;;
  case)
    seconds=${1:-20}
    run_variant case_fuzz "$seconds" "$root/tests/fuzz/case_corpus" \
      "$root/tests/fuzz/case_fuzz.cpp" "$root/tools/simrun/case_file.cpp" \
      "$root/tools/simrun/case_image.cpp" "$root/tools/simrun/case_image_fields.cpp" \
      "$root/tools/simrun/case_image_pc.cpp" "$root/tools/simrun/changes.cpp" \
      "$root/tools/simrun/case_dates.cpp" \
      "$root/src/platform/sim/files/plain_tree.cpp" "$root/tools/simrun/report_text.cpp" \
      "$root/src/diag/case_output.cpp" "$root/src/platform/sim/files/sim_drives.cpp" \
      "$root/src/platform/sim/files/sim_paths.cpp" \
      "$root/src/platform/sim/image_description.cpp" "$root/src/platform/sim/sim_text.cpp" \
      "$root/src/findings/pc_facts.cpp" "$root/src/findings/journal_facts.cpp" \
      "$root"/src/regfile/*.cpp -- -I"$root/tools/simrun"
    ;;
  *) echo "usage: tools/fuzz/run_fuzz.sh [seconds] [substitution|regfile|image|case]" >&2; exit 2 ;;
esac
echo "fuzz $target: $seconds s without a finding"
