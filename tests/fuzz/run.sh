#!/bin/sh
# Builds the libFuzzer targets with clang, the world-file reader's and the
# image readers', and runs them: the world seeded with the built-in world as
# saved and the sample world, the images with the program's textures and
# the sample world's images and the inputs in tests/fuzz/found.
#
#   tests/fuzz/run.sh               a short run of each for the test script
#                                   (200000 world files, 20000 images: seconds),
#                                   with a fixed seed: the same inputs every time,
#                                   so a test run fails for its code, not by luck
#   tests/fuzz/run.sh 0             the world reader until stopped (Ctrl+C) or a fault
#   tests/fuzz/run.sh N [ARG...]    N world files; further arguments go to libFuzzer,
#                                   e.g. -max_total_time=3600 -jobs=2
#   OM_FUZZ=image tests/fuzz/run.sh N [ARG...]   the same for the image readers
#
# What each finds that is new is kept in build/fuzz/corpus (world) and
# build/fuzz/image-corpus and reused by the next run; a failing input is
# written as build/fuzz/crash-* (replay it with build/fuzz/world_fuzz FILE or
# build/fuzz/image_fuzz FILE).
set -eu
cd "$(dirname "$0")/../.."
brief=1
[ $# -gt 0 ] && brief=0
seed=""
[ $brief -eq 1 ] && seed=-seed=20261209
runs=${1:-200000}
[ $# -gt 0 ] && shift
cmake -S tests/fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j 2 >/dev/null
mkdir -p build/fuzz/corpus build/fuzz/seeds build/fuzz/image-corpus build/fuzz/image-seeds
cp examples/builtin.world examples/sample.world build/fuzz/seeds/
cp resources/*.bmp examples/textures/* build/fuzz/image-seeds/ 2>/dev/null || true
# Inputs that once made the image decoder fail stay seeds: every run replays them.
cp tests/fuzz/found/* build/fuzz/image-seeds/
# -runs=0 means "no limit" to us; to libFuzzer it means "none".
[ "$runs" -eq 0 ] && runs=-1
cd build/fuzz
if [ "${OM_FUZZ:-}" != image ]; then
  ./world_fuzz $seed -runs="$runs" -max_len=8192 -dict=../../tests/fuzz/world.dict \
    -print_final_stats=1 "$@" corpus seeds
fi
if [ "${OM_FUZZ:-}" = image ] || [ $brief -eq 1 ]; then
  [ $brief -eq 1 ] && runs=20000
  ./image_fuzz $seed -runs="$runs" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 "$@" \
    image-corpus image-seeds
fi
