#!/bin/bash
# Fails when the program uses an instruction the 80386 lacks, the least
# processor Windows 95 runs on: on a Pentium, a 486 or a K6 such an
# instruction stops the program with an illegal-instruction error.
# Usage: check_instructions.sh NLSETUP.EXE
set -euo pipefail

exe=${1:?usage: check_instructions.sh NLSETUP.EXE}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

listing=$("$objdump" -d --no-show-raw-insn "$exe")

# Mnemonics of later processors (objdump's AT&T names, with or without an
# operand-size suffix): Pentium Pro conditional moves and FPU compares, 486
# byte swap and atomics, Pentium cpuid, time stamp and model-specific
# registers, fast system calls, FPU state saves, multi-byte NOPs and ud2.
later='cmov[a-z]*|fcmov[a-z]*|f(u)?comip?|bswap|cmpxchg(8b)?|xadd[bwl]?'
later+='|cpuid|rdtsc|rdtscp|rdmsr|wrmsr|rdpmc|sysenter|sysexit|syscall|sysret'
later+='|fxsave|fxrstor|nop[wl]|ud2|invd|wbinvd|invlpg|rsm|movbe|popcnt|lzcnt|tzcnt'
later+='|prefetch[a-z0-9]*|[lsm]fence|clflush|movnti'

# One line per instruction: address, mnemonic, operands.
instructions=$(awk -F'\t' 'NF >= 2 && $1 ~ /^ *[0-9a-f]+:$/ { print $1 "\t" $2 }' <<<"$listing")
count=$(wc -l <<<"$instructions")
if [ "$count" -lt 100 ]; then
  echo "check_instructions: only $count instructions found in $exe (unexpected objdump output?)" >&2
  exit 1
fi

# The mnemonic is the first word after any prefixes ("lock cmpxchg").
bad=$(awk -F'\t' -v later="^($later)\$" '
  {
    n = split($2, word, " ")
    i = 1
    while (i < n && word[i] ~ /^(lock|rep|repz|repnz|repe|repne|data16|data32|addr16|addr32|[c-gs]s|notrack|bnd)$/) i++
    mnemonic = word[i]
  }
  mnemonic ~ later || $2 ~ /%x?mm[0-9]|%[yz]mm[0-9]/ { print "  " $1 " " $2 }
' <<<"$instructions")
if [ -n "$bad" ]; then
  echo "check_instructions: $exe uses instructions the 80386 lacks:" >&2
  echo "$bad" | head -40 >&2
  exit 1
fi

# Nothing runs static constructors in a program without a C runtime: the
# linker's constructor and destructor lists must be empty (a -1 and a 0
# each, side by side at the end of the code).
if ! od -An -v -tx1 "$exe" | tr -d ' \n' | grep -q 'ffffffff00000000ffffffff00000000'; then
  echo "check_instructions: $exe has static constructors or destructors, which nothing would run" >&2
  exit 1
fi
echo "check_instructions: all $count instructions of $(basename "$exe") run on the 80386"
