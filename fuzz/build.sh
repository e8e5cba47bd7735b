#!/bin/sh
# Builds the Huffman fuzz target with clang's libFuzzer, ASan and UBSan, apart
# from the CMake build (which uses g++), and writes its seed blocks.
#
#   fuzz/build.sh [OUTDIR]            default OUTDIR: build/fuzz
#   OUTDIR/fuzz_huffman -max_total_time=300 OUTDIR/corpus OUTDIR/seeds
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/fuzz}
cxx=${CXX_FUZZ:-clang++}
mkdir -p "$out/seeds" "$out/corpus"
flags="-std=c++17 -g -O1 -Wall -Wextra -I$root/src"
sources="$root/src/util/data/huffman.cpp $root/fuzz/fuzz_huffman.cpp"

# shellcheck disable=SC2086
"$cxx" $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  $sources -o "$out/fuzz_huffman"
# shellcheck disable=SC2086
"$cxx" $flags -DHUFFMAN_FUZZ_SEEDS $sources -o "$out/make_seeds"
"$out/make_seeds" "$out/seeds"
echo "built $out/fuzz_huffman"
