#!/bin/bash
# The whole test suite: host tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fault sweep (also under both sanitizers),
# a minute of fuzzing of the INF substitution, 20 s of the .reg loader and
# 10 s of the copy of image folders, 20 s of the case file reader,
# the Windows build with its import, instruction, size and reproducibility
# checks, and the end-to-end runs of NLSETUP.EXE under Wine. Exits
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

step "fuzzing the copy of image folders (10 s)"
tools/fuzz/run_fuzz.sh 10 image || failed+=("fuzzing image folders")

step "fuzzing the case file reader (20 s)"
tools/fuzz/run_fuzz.sh 20 case || failed+=("fuzzing case files")

step "Wine harness model tests"
PYTHONDONTWRITEBYTECODE=1 python3 -m unittest discover -s tests/wine -p 'test_*.py' \
  || failed+=("harness tests")

step "Windows build (NLSETUP.EXE, NLDIAG.EXE): imports, instructions, a second build compared"
if cmake --preset windows -B "$root/windows" >/dev/null &&
   cmake --build "$root/windows" -j2; then
  exe="$root/windows/NLSETUP.EXE"
  tools/imports/check_imports.sh "$exe" || failed+=("import check")
  tools/imports/check_instructions.sh "$exe" || failed+=("instruction check")
  tools/imports/check_reproducible.sh "$exe" || failed+=("reproducible build")
  # The checks must be able to fail: the stand-in rundll32.exe carries the
  # C runtime (MSVCRT imports, a TLS directory, Pentium Pro instructions).
  standin="$root/windows/rundll32.exe"
  if tools/imports/check_imports.sh "$standin" >/dev/null 2>&1 ||
     tools/imports/check_instructions.sh "$standin" >/dev/null 2>&1; then
    echo "the checks passed a program with a C runtime"; failed+=("checks of the checks")
  fi
  size=$(stat -c %s "$exe")
  [ "$size" -le 24576 ] || { echo "NLSETUP.EXE is $size bytes, more than 24 KB"; failed+=("product size"); }
  # The collector NLDIAG.EXE: the same checks against its own allow-list,
  # at most 20 KB.
  diag="$root/windows/NLDIAG.EXE"
  tools/imports/check_imports.sh "$diag" tools/imports/allowed_imports_nldiag.txt \
    || failed+=("NLDIAG.EXE import check")
  tools/imports/check_instructions.sh "$diag" || failed+=("NLDIAG.EXE instruction check")
  tools/imports/check_reproducible.sh "$diag" nldiag || failed+=("NLDIAG.EXE reproducible build")
  # Its list is its own: NLSETUP.EXE's must not pass it.
  if tools/imports/check_imports.sh "$diag" >/dev/null 2>&1; then
    echo "NLDIAG.EXE passed NLSETUP.EXE's allow-list"; failed+=("checks of the checks")
  fi
  size=$(stat -c %s "$diag")
  [ "$size" -le 20480 ] || { echo "NLDIAG.EXE is $size bytes, more than 20 KB"; failed+=("NLDIAG.EXE size"); }
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
