#!/usr/bin/env bash
# Checks the compiled SSE2 and SSE3-class builds inside the scaling library archive:
#  - the SSE3-class objects define and use no symbol of the SSE2 build (and the other way round);
#  - neither object contains an instruction beyond SSE2 (SSE3, SSSE3, SSE4, AVX and later).
# Usage: check_sse2_objects.sh <libscaling.a>
set -euo pipefail
lib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ar x "$lib" BuildSse2.cpp.o BuildSse3.cpp.o
fail=0
for pair in "BuildSse3.cpp.o sse2 sse3" "BuildSse2.cpp.o sse3 sse2"; do
  set -- $pair
  n=$(nm -C "$1" | grep -c "$2" || true)
  if [ "$n" != 0 ]; then
    echo "FAIL: $1 names $n symbols of the $2 build:"
    nm -C "$1" | grep "$2" | head -5
    fail=1
  fi
  own=$(nm -C "$1" | grep -c "scaling::$3::ResizeEntry" || true)
  if [ "$own" = 0 ]; then
    echo "FAIL: $1 defines nothing in its own namespace"
    fail=1
  fi
done
# Mnemonics that SSE3, SSSE3, SSE4.1, SSE4.2 added, and any AVX-encoded (v-prefixed) or ymm/zmm use.
beyond='addsubp[sd]|hadd[sp][sd]|hsub[sp][sd]|movs[hl]dup|movddup|lddqu|fisttp|monitor|mwait'
beyond+='|pshufb|phadd|phsub|pmaddubsw|pmulhrsw|palignr|psign[bwd]|pabs[bwd]'
beyond+='|pmulld|pmuldq|pmin[su][bdw]|pmax[su][bdw]|pblend|blendv?p[sd]|round[sp][sd]|pextr[bdq]|pinsr[bdq]|ptest'
beyond+='|pmov[sz]x|insertps|extractps|dpp[sd]|packusdw|pcmpeqq|pcmpgtq|pcmp[ei]str|crc32|popcnt|movntdqa|mpsadbw|phminposuw'
for obj in BuildSse2.cpp.o BuildSse3.cpp.o; do
  objdump -d --no-show-raw-insn "$obj" > dis.txt
  count=$(grep -cE '^\s+[0-9a-f]+:' dis.txt || true)
  if [ "$count" -lt 1000 ]; then
    echo "FAIL: $obj holds only $count instructions"
    fail=1
  fi
  bad=$(grep -E '^\s+[0-9a-f]+:' dis.txt | awk '{print $2}' | grep -E "^($beyond)$|^v[a-z]" || true)
  regs=$(grep -cE '%[yz]mm|%k[0-7]' dis.txt || true)
  if [ -n "$bad" ] || [ "$regs" != 0 ]; then
    echo "FAIL: $obj uses instructions beyond SSE2:"
    echo "$bad" | sort | uniq -c | head -20
    fail=1
  fi
done
if [ "$fail" = 0 ]; then echo "SSE2 and SSE3-class objects: separate symbols, SSE2 instructions only"; fi
exit $fail
