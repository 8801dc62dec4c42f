#!/bin/sh
# Builds the world-file reader's libFuzzer target with clang and runs it,
# seeded with the built-in world as saved and the sample world.
#
#   tests/fuzz/run.sh             a short run for the test script (200000 inputs, seconds)
#   tests/fuzz/run.sh 0           until stopped (Ctrl+C) or a fault is found
#   tests/fuzz/run.sh N [ARG...]  N inputs; further arguments go to libFuzzer,
#                                 e.g. -max_total_time=3600 -jobs=2
#
# What it finds that is new is kept in build/fuzz/corpus and reused by the
# next run; a failing input is written as build/fuzz/crash-* (replay it with
# build/fuzz/world_fuzz FILE).
set -eu
cd "$(dirname "$0")/../.."
runs=${1:-200000}
[ $# -gt 0 ] && shift
cmake -S tests/fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j 2 >/dev/null
mkdir -p build/fuzz/corpus build/fuzz/seeds
cp examples/builtin.world examples/sample.world build/fuzz/seeds/
# -runs=0 means "no limit" to us; to libFuzzer it means "none".
[ "$runs" -eq 0 ] && runs=-1
cd build/fuzz
exec ./world_fuzz -runs="$runs" -max_len=8192 -dict=../../tests/fuzz/world.dict \
  -print_final_stats=1 "$@" corpus seeds
