#!/bin/bash
# Builds the Windows program and the host tools, runs NLSETUP.EXE under Wine
# on the bundled German Windows 98 image with the stand-in system tools, and
# prints what the run did: the registry changes key by key (simrun's account
# of the exported keys), the INF file diffs, the driver copy and the dialog
# conversation. The same scenario also runs on the simulated system (simrun), whose registry
# changes and files must equal Wine's; the German run shows its wall time
# beside the sum of the program's sleeps. Last come the simulated run's
# findings: each goal of the installation, reached or not and why.
#   tools/main_job.sh            German user (de_DE)
#   tools/main_job.sh --english  English user (en_US)
set -euo pipefail

cd "$(dirname "$0")/.."
scenario=german
case "${1:-}" in
  "") ;;
  --english) scenario=english ;;
  *) echo "usage: tools/main_job.sh [--english]" >&2; exit 2 ;;
esac

# Build folders go below NL_BUILD_ROOT (default: build, the presets' own).
root=${NL_BUILD_ROOT:-build}

tools/setup.sh
cmake --preset windows -B "$root/windows" >/dev/null
cmake --build "$root/windows" -j2
cmake --preset host -B "$root/host" >/dev/null
cmake --build "$root/host" -j2
exe="$root/windows/NLSETUP.EXE"
tools/imports/check_imports.sh "$exe"
tools/imports/check_instructions.sh "$exe"
# The fingerprint a shipped copy is matched against (README: Matching a
# shipped copy to its source).
echo "NLSETUP.EXE: $(stat -c %s "$exe") bytes, SHA-256 $(sha256sum <"$exe" | cut -d' ' -f1)"
status=0
python3 tests/wine/run_wine_tests.py --exe-dir "$root/windows" \
  --cache "$root/wine-template" --simrun "$root/host/simrun" \
  --report --verbose "$scenario" || status=$?
# What the installation reached, goal by goal, on the simulated system.
locale=0x407
[ "$scenario" = english ] && locale=0x409
echo
echo "Findings of the simulated run (simrun --locale $locale):"
"$root/host/simrun" --locale "$locale" | sed -n '/^== Findings ==$/,/^$/p' || true
exit "$status"
