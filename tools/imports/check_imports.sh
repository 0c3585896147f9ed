#!/bin/bash
# Fails when the program imports anything outside the allow-list, i.e.
# anything Windows 95 or 98 might lack. Usage: check_imports.sh NLSETUP.EXE
set -euo pipefail

exe=${1:?usage: check_imports.sh NLSETUP.EXE}
here=$(cd "$(dirname "$0")" && pwd)
allowed="$here/allowed_imports.txt"
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

# The import tables as DLL!Function lines; imports by ordinal become
# DLL!#ordinal and so are never allowed.
imports=$("$objdump" -p "$exe" | awk '
  /^\tDLL Name: / { dll = toupper($3); sub(/\.DLL$/, "", dll); next }
  /^$/ { dll = "" }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+  [^ ]+$/ { print dll "!" $3; next }
  dll != "" && /^\t[0-9a-f]+\t +<none>/ { next }
  dll != "" && /Ordinal/ { print dll "!#" $NF }
' | sort -u)

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
