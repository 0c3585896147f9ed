#!/bin/bash
# Fails unless a second clean build of the same sources, checked out at
# another path and built in another folder, gives the program byte for byte
# as the build given. Prints the SHA-256 that a shipped copy must match.
# Usage: check_reproducible.sh build/windows/NLSETUP.EXE [TARGET]
# (TARGET: the build target, nlsetup unless given; nldiag for NLDIAG.EXE)
set -euo pipefail

exe=${1:?usage: check_reproducible.sh PROGRAM.EXE [TARGET]}
target=${2:-nlsetup}
name=$(basename "$exe")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d /tmp/nlsetup-rebuild.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# The files the product is built from, at a path of another length.
mkdir -p "$scratch/other-checkout"
(cd "$source_dir" && tar cf - CMakeLists.txt CMakePresets.json cmake src) |
  (cd "$scratch/other-checkout" && tar xf -)
(cd "$scratch/other-checkout" &&
  cmake --preset windows -B "$scratch/build" >/dev/null &&
  cmake --build "$scratch/build" --target "$target" -j2 >/dev/null) || {
  echo "check_reproducible: the second build failed" >&2
  exit 1
}

first=$(sha256sum <"$exe" | cut -d' ' -f1)
second=$(sha256sum <"$scratch/build/$name" | cut -d' ' -f1)
if [ "$first" != "$second" ]; then
  echo "check_reproducible: two builds of the same sources differ:" >&2
  echo "  $first  $exe" >&2
  echo "  $second  (rebuilt elsewhere)" >&2
  cmp -l "$exe" "$scratch/build/$name" | head -10 >&2 || true
  exit 1
fi
echo "check_reproducible: a second clean build elsewhere is identical"
echo "$first  $name ($(stat -c %s "$exe") bytes)"
