#!/bin/bash
# Fails when the program could not load on Windows 95 or 98: when its image
# header asks for more than those systems offer, or when it imports anything
# outside the allow-list. Usage: check_imports.sh NLSETUP.EXE
set -euo pipefail

exe=${1:?usage: check_imports.sh NLSETUP.EXE}
here=$(cd "$(dirname "$0")" && pwd)
allowed="$here/allowed_imports.txt"
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

headers=$("$objdump" -p "$exe")

# Windows 95 and 98 load only 32-bit images that ask for system and
# subsystem version 4.0 or lower, based at 4 MB or above (the lower memory
# is the system's), with 4 KB sections and 512-byte file alignment.
header_field() { awk -v f="$1" '$1 == f { print $2; exit }' <<<"$headers"; }
problems=()
[ "$(header_field Magic)" = "010b" ] || problems+=("not a 32-bit image")
[ "$(header_field Subsystem)" = "00000002" ] || problems+=("not a GUI program")
for field in MajorOSystemVersion MajorSubsystemVersion; do
  value=$(header_field "$field")
  if [ -z "$value" ] || [ "$value" -gt 4 ]; then
    problems+=("$field is ${value:-missing}, more than 4")
  fi
done
[ $((16#$(header_field ImageBase))) -ge $((16#400000)) ] ||
  problems+=("ImageBase $(header_field ImageBase) is below 00400000")
[ "$(header_field SectionAlignment)" = "00001000" ] ||
  problems+=("SectionAlignment is $(header_field SectionAlignment), not 00001000")
[ "$(header_field FileAlignment)" = "00000200" ] ||
  problems+=("FileAlignment is $(header_field FileAlignment), not 00000200")
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
