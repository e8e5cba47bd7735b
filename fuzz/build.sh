#!/bin/sh
# Builds the fuzz targets (fuzz/CMakeLists.txt: clang's libFuzzer, ASan and
# UBSan) apart from the show's build, which uses g++, and writes their seeds.
# Incremental: a second run rebuilds what changed only.
#
#   fuzz/build.sh [OUTDIR]        default OUTDIR: build/fuzz
#   OUTDIR/fuzz_NAME [-dict=fuzz/dict/NAME.dict] CORPUS OUTDIR/seeds/NAME
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/fuzz}
cxx=${CXX_FUZZ:-clang++}
jobs=${FUZZ_JOBS:-2}
cmake -S "$root/fuzz" -B "$out" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE= >/dev/null
cmake --build "$out" -j "$jobs"
