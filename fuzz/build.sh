#!/bin/sh
# Builds the fuzz targets with clang's libFuzzer, ASan and UBSan, apart from
# the CMake build (which uses g++), and writes the Huffman target's seeds.
#
#   fuzz/build.sh [OUTDIR]            default OUTDIR: build/fuzz
#   OUTDIR/fuzz_huffman -max_total_time=300 OUTDIR/corpus OUTDIR/seeds
#   OUTDIR/fuzz_archive -max_total_time=300 OUTDIR/archive-corpus
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

# The whole archive reader: header, block and chunk stream.
# shellcheck disable=SC2086
"$cxx" $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  "$root/src/util/data/huffman.cpp" "$root/src/util/data/data.cpp" "$root/fuzz/fuzz_archive.cpp" \
  -o "$out/fuzz_archive"
mkdir -p "$out/archive-corpus"
echo "built $out/fuzz_huffman $out/fuzz_archive"

# The MIDI reader and the modulators, with seed files and a dictionary.
#   OUTDIR/fuzz_midi -max_total_time=300 -dict=OUTDIR/midi.dict OUTDIR/midi-corpus OUTDIR/midi-seeds
midi_sources="$root/src/util/music/midi.cpp $root/src/util/music/modulators/modulator.cpp \
  $root/src/util/music/modulators/adsr.cpp $root/src/util/music/modulators/lfo.cpp \
  $root/fuzz/fuzz_midi.cpp"
# shellcheck disable=SC2086
"$cxx" $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  $midi_sources -o "$out/fuzz_midi"
# shellcheck disable=SC2086
"$cxx" $flags -DMIDI_FUZZ_SEEDS $root/fuzz/fuzz_midi.cpp -o "$out/make_midi_seeds"
mkdir -p "$out/midi-seeds" "$out/midi-corpus"
"$out/make_midi_seeds" "$out/midi-seeds"
cat > "$out/midi.dict" <<'DICT'
"MThd"
"MTrk"
"\x00\x00\x00\x06"
"\xFF\x2F\x00"
"\xFF\x51\x03"
"\xFF\x58\x04"
"\xFF\x59\x02"
"\xFF\x01"
"\xFF\x02"
"\xFF\x03"
DICT
echo "built $out/fuzz_midi"

# The PNG decoder, seeded with the test fixtures and given a chunk dictionary.
#   OUTDIR/fuzz_png -max_total_time=300 -dict=OUTDIR/png.dict OUTDIR/png-corpus tests/fixtures/png
# shellcheck disable=SC2086
"$cxx" $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  "$root/src/util/texture/png_decoder.cpp" "$root/fuzz/fuzz_png.cpp" -o "$out/fuzz_png"
mkdir -p "$out/png-corpus"
cat > "$out/png.dict" <<'DICT'
"\x89PNG\x0d\x0a\x1a\x0a"
"IHDR"
"IDAT"
"PLTE"
"tRNS"
"IEND"
"\x78\x9c"
"\x78\x01"
DICT
echo "built $out/fuzz_png"
