#!/bin/bash
# Fails when the program could not load on Windows 95 or 98: when its image
# header asks for more than those systems offer, or when it imports anything
# outside the allow-list (which holds KERNEL32, USER32 and ADVAPI32
# functions present on Windows 95, and nothing of MSVCRT.DLL, which Windows
# 95 lacks). Usage: check_imports.sh PROGRAM.EXE [ALLOW-LIST]; the list
# defaults to NLSETUP.EXE's, allowed_imports.txt beside this script.
set -euo pipefail

exe=${1:?usage: check_imports.sh PROGRAM.EXE [ALLOW-LIST]}
here=$(cd "$(dirname "$0")" && pwd)
allowed=${2:-"$here/allowed_imports.txt"}
[ -r "$allowed" ] || { echo "check_imports: no allow-list $allowed" >&2; exit 1; }
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

headers=$("$objdump" -p "$exe")

# Windows 95 and 98 load only 32-bit images based at 4 MB or above (the
# lower memory is the system's), with 4 KB sections and 512-byte file
# alignment. The program is a GUI program that asks for system and
# subsystem version 4.0, Windows 95's own. It has no TLS directory: the 9x
# loader never calls TLS callbacks, and the program needs none.
header_field() { awk -v f="$1" '$1 == f { print $2; exit }' <<<"$headers"; }
directory_size() { awk -v e="$1" '$1 == "Entry" && $2 == e { print $4; exit }' <<<"$headers"; }
problems=()
[ "$(header_field Magic)" = "010b" ] || problems+=("not a 32-bit image")
[ "$(header_field Subsystem)" = "00000002" ] || problems+=("not a GUI program")
for field in OSystemVersion SubsystemVersion; do
  version="$(header_field "Major$field").$(header_field "Minor$field")"
  [ "$version" = "4.0" ] || problems+=("$field is $version, not 4.0")
done
[ $((16#$(header_field ImageBase))) -ge $((16#400000)) ] ||
  problems+=("ImageBase $(header_field ImageBase) is below 00400000")
[ "$(header_field SectionAlignment)" = "00001000" ] ||
  problems+=("SectionAlignment is $(header_field SectionAlignment), not 00001000")
[ "$(header_field FileAlignment)" = "00000200" ] ||
  problems+=("FileAlignment is $(header_field FileAlignment), not 00000200")
tls=$(directory_size 9)
[ -n "$tls" ] && [ $((16#$tls)) -eq 0 ] ||
  problems+=("has a TLS directory (size ${tls:-unknown})")
if [ ${#problems[@]} -gt 0 ]; then
  for problem in "${problems[@]}"; do
    echo "check_imports: $exe: $problem" >&2
  done
  exit 1
fi

# The import tables as DLL!Function lines; imports by ordinal become
# DLL!#ordinal and so are never allowed.
imports=$(awk '
  /^\tDLL Name: / { dll = toupper($3); sub(/\.DLL$/, "", dll); next }
  /^$/ { dll = "" }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+  [^ ]+$/ { print dll "!" $3; next }
  dll != "" && /^\t[0-9a-f]+\t +<none>/ { next }
  dll != "" && /Ordinal/ { print dll "!#" $NF }
' <<<"$headers" | sort -u)

if [ -z "$imports" ]; then
  echo "check_imports: no imports found in $exe (unexpected objdump output?)" >&2
  exit 1
fi

unexpected=$(comm -23 <(echo "$imports") \
  <(grep -v '^\s*\(#\|$\)' "$allowed" | tr -d ' \r' | sort -u))
count=$(echo "$imports" | wc -l)
if [ -n "$unexpected" ]; then
  echo "check_imports: $exe imports functions outside $allowed:" >&2
  echo "$unexpected" | sed 's/^/  /' >&2
  exit 1
fi
echo "check_imports: all $count imports of $(basename "$exe") are allowed"
