#!/bin/bash
# Installs what building and testing need: host toolchain and test libraries,
# the mingw-w64 cross compiler for the Windows program, Wine with a virtual X
# display for the end-to-end runs, and the locales those runs use.
# Installs only what is missing; silent when everything is there.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev googletest
  nlohmann-json3-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine64 wine32:i386 xvfb xauth
  python3 diffutils locales)
locales_needed=(de_DE de_AT en_US)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
as_root() { "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive "$@"; }

installed() { dpkg -s "$1" 2>/dev/null | grep -q '^Status: install ok installed'; }

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [[ " ${missing[*]} " == *" wine32:i386 "* ]] &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  # A mirror in the middle of a sync fails one index now and then: try
  # again, and go on with the lists there are if one is still missing.
  for attempt in 1 2 3; do
    as_root apt-get update -qq && break
    echo "setup: apt-get update failed (attempt $attempt)"
    sleep 15
  done
  as_root apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The Wine runs take the user's locale from LC_ALL; glibc must know it.
available=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z')
for name in "${locales_needed[@]}"; do
  wanted=$(echo "$name.utf8" | tr 'A-Z' 'a-z')
  if ! grep -qx "$wanted" <<<"$available"; then
    echo "setup: generating locale $name.UTF-8"
    as_root localedef -i "$name" -f UTF-8 "$name.UTF-8"
  fi
done
