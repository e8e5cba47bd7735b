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

# The SGL model reader and its extent routines, with seed models and a
# dictionary of the three formats. GL itself is linked but never called.
#   OUTDIR/fuzz_sgl -max_total_time=300 -dict=OUTDIR/sgl.dict OUTDIR/sgl-corpus OUTDIR/sgl-seeds
# shellcheck disable=SC2086
"$cxx" $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  "$root/src/util/objects3d/model_sgl.cpp" "$root/fuzz/fuzz_sgl.cpp" -lGLEW -lGL -o "$out/fuzz_sgl"
# shellcheck disable=SC2086
"$cxx" $flags -DSGL_FUZZ_SEEDS "$root/fuzz/fuzz_sgl.cpp" -o "$out/make_sgl_seeds"
mkdir -p "$out/sgl-seeds" "$out/sgl-corpus"
"$out/make_sgl_seeds" "$out/sgl-seeds"
cat > "$out/sgl.dict" <<'DICT'
"\x21\x2A\x00\x00"
"\x25\x2A\x00\x00"
"\x2B\x2A\x00\x00"
"\x04\x00\x00\x00"
"\x05\x00\x00\x00"
"\xFF\xFF\xFF\x7F"
"\x00\x00\x80\x7F"
DICT
echo "built $out/fuzz_sgl"

# The COLLADA reader over parsed documents, with seed documents and a
# dictionary of its element names. Its fatal report throws in this build.
#   OUTDIR/fuzz_collada -max_total_time=300 -dict=OUTDIR/collada.dict OUTDIR/collada-corpus OUTDIR/collada-seeds
# shellcheck disable=SC2086
"$cxx" $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  "$root/src/util/objects3d/dae_loader.cpp" "$root/src/util/objects3d/matrix.cpp" \
  "$root/src/util/camera/camera.cpp" "$root/fuzz/fuzz_collada.cpp" \
  -ltinyxml -lGLEW -lGLU -lGL -o "$out/fuzz_collada"
# shellcheck disable=SC2086
"$cxx" $flags -DCOLLADA_FUZZ_SEEDS "$root/fuzz/fuzz_collada.cpp" -o "$out/make_collada_seeds"
mkdir -p "$out/collada-seeds" "$out/collada-corpus"
"$out/make_collada_seeds" "$out/collada-seeds"
cat > "$out/collada.dict" <<'DICT'
"<COLLADA>"
"</COLLADA>"
"library_geometries"
"library_visual_scenes"
"library_materials"
"library_effects"
"library_images"
"library_cameras"
"library_lights"
"visual_scene"
"geometry"
"mesh"
"source"
"float_array"
"technique_common"
"accessor"
"stride=\"3\""
"vertices"
"triangles"
"input"
"semantic=\"VERTEX\""
"semantic=\"NORMAL\""
"semantic=\"TEXCOORD\""
"semantic=\"POSITION\""
"offset=\"1\""
"<p>"
"node"
"translate"
"rotate"
"scale"
"matrix"
"instance_geometry"
"instance_camera"
"instance_light"
"instance_material"
"bind_material"
"newparam"
"sampler2D"
"surface"
"init_from"
"texture"
"color"
"transparent"
"transparency"
"opaque=\"A_ONE\""
"url=\"#"
"id=\""
DICT
echo "built $out/fuzz_collada"

# The ASE reader over texts in memory, with seed models and a dictionary of
# its keywords. Its file loader is linked against stand-ins and never called.
#   OUTDIR/fuzz_ase -max_total_time=300 -dict=OUTDIR/ase.dict OUTDIR/ase-corpus OUTDIR/ase-seeds
# shellcheck disable=SC2086
"$cxx" $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  "$root/src/util/objects3d/ase_loader.cpp" "$root/src/util/objects3d/matrix.cpp" \
  "$root/fuzz/fuzz_ase.cpp" -o "$out/fuzz_ase"
# shellcheck disable=SC2086
"$cxx" $flags -DASE_FUZZ_SEEDS "$root/fuzz/fuzz_ase.cpp" -o "$out/make_ase_seeds"
mkdir -p "$out/ase-seeds" "$out/ase-corpus"
"$out/make_ase_seeds" "$out/ase-seeds"
cat > "$out/ase.dict" <<'DICT'
"*MATERIAL "
" {"
"\x09}"
"*BITMAP \""
"*MATERIAL_DIFFUSE "
"*GEOMOBJECT "
"*MESH_VERTEX_LIST "
"*MESH_VERTEX "
"*MESH_FACE_LIST "
"*MESH_FACE "
"*MESH_TVERTLIST "
"*MESH_TVERT "
"*MESH_TFACELIST "
"*MESH_TFACE "
"*MESH_NORMALS "
"*MESH_FACENORMAL "
"*MATERIAL_REF "
" A: "
" B: "
" C: "
"\x09-1"
"\x0999999999999"
DICT
echo "built $out/fuzz_ase"
