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

# Wine's 32-bit half needs an i386 twin of every amd64 library it shares, at
# the very same version. When a mirror is mid-sync and its i386 security index
# is refused, the amd64 libraries installed from that index have no twin in
# the lists apt holds, and apt gives up. Then: prefer the release's own suite,
# whose indexes are whole for both architectures (apt raises the amd64
# libraries to it), and fetch from the pool the i386 twin of each library
# whose installed version only the security suite carries.
install_wine32_beside_installed_libraries() {
  echo "setup: wine32:i386 did not install; matching its libraries to the amd64 ones"
  local codename twins package version uri
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  twins=$(mktemp -d)
  for package in $(apt-cache depends --recurse -i --no-recommends \
      --no-suggests wine32:i386 2>/dev/null | sed -n 's/^\([^ ]*\):i386$/\1/p' |
      sort -u); do
    version=$(dpkg-query -W -f='${Version}' "$package:amd64" 2>/dev/null) ||
      continue
    [ -n "$version" ] || continue
    if apt-cache madison "$package:i386" 2>/dev/null |
        awk -F'|' '{gsub(/ /, "", $2); print $2}' | grep -qxF "$version"; then
      continue
    fi
    uri=$(apt-get download --print-uris "$package:amd64=$version" 2>/dev/null |
      sed -n "s/^'\([^']*\)_amd64\.deb'.*/\1_i386.deb/p" | head -1)
    [ -n "$uri" ] || continue
    python3 -c 'import os, sys, urllib.parse, urllib.request
name = urllib.parse.unquote(sys.argv[1].rsplit("/", 1)[1])
urllib.request.urlretrieve(sys.argv[1], os.path.join(sys.argv[2], name))' \
      "$uri" "$twins" 2>/dev/null || echo "setup: no i386 twin at $uri"
  done
  chmod -R a+rX "$twins"
  local fetched=()
  shopt -s nullglob
  fetched=("$twins"/*.deb)
  shopt -u nullglob
  as_root apt-get install -y -qq -t "$codename" "${fetched[@]}" wine32:i386 \
    >/dev/null
  rm -rf "$twins"
}

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
  others=()
  for package in "${missing[@]}"; do
    [ "$package" = wine32:i386 ] || others+=("$package")
  done
  if [ ${#others[@]} -gt 0 ]; then
    as_root apt-get install -y -qq "${others[@]}" >/dev/null
  fi
  if [ ${#others[@]} -ne ${#missing[@]} ]; then
    as_root apt-get install -y -qq wine32:i386 >/dev/null ||
      install_wine32_beside_installed_libraries
  fi
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
