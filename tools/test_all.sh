#!/bin/bash
# The whole test suite: host tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fault sweep (also under both sanitizers),
# a minute of fuzzing of the INF substitution and 20 s of the .reg loader,
# the Windows build with its import check, and the end-to-end runs of NLSETUP.EXE under Wine. Exits
# non-zero when any part fails; every part runs even after an earlier one
# failed (except what needs a build that failed).
set -uo pipefail

cd "$(dirname "$0")/.."
# Build folders go below NL_BUILD_ROOT (default: build, the presets' own).
root=${NL_BUILD_ROOT:-build}
failed=()
step() { echo; echo "==== $*"; }

step "setup"
tools/setup.sh || { echo "setup failed"; exit 1; }

step "host build and tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
if cmake --preset host-asan -B "$root/host-asan" >/dev/null &&
   cmake --build "$root/host-asan" -j2; then
  ctest --test-dir "$root/host-asan" --output-on-failure -j2 || failed+=("host tests")
else
  failed+=("host build")
fi

step "fault sweep: every call failed, shortened and interrupted (sanitizers)"
if [ -x "$root/host-asan/fault_sweep" ]; then
  "$root/host-asan/fault_sweep" || failed+=("fault sweep")
else
  failed+=("fault sweep (not built)")
fi

step "fuzzing the INF substitution (60 s)"
tools/fuzz/run_fuzz.sh 60 || failed+=("fuzzing")

step "fuzzing the .reg loader and exporter (20 s)"
tools/fuzz/run_fuzz.sh 20 regfile || failed+=("fuzzing .reg files")

step "Wine harness model tests"
PYTHONDONTWRITEBYTECODE=1 python3 -m unittest discover -s tests/wine -p 'test_*.py' \
  || failed+=("harness tests")

step "Windows build and import check"
if cmake --preset windows -B "$root/windows" >/dev/null &&
   cmake --build "$root/windows" -j2; then
  tools/imports/check_imports.sh "$root/windows/NLSETUP.EXE" || failed+=("import check")
  step "Wine end-to-end runs"
  python3 tests/wine/run_wine_tests.py --exe-dir "$root/windows" \
    --simrun "$root/host-asan/simrun" \
    --cache "$root/wine-template" --report-failures \
    || failed+=("Wine runs")
else
  failed+=("Windows build")
fi

echo
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All tests passed."
