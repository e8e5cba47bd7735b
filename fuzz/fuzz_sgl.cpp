// libFuzzer target: arbitrary bytes as a whole SGL model, through the same
// in-memory reader the file loader uses. An accepted model must lie inside
// the input and match it byte for byte; the extent routines must stay in
// the vertex block and move positions only, and unitize must bring finite
// meshes into the unit box.
// Built with -DSGL_FUZZ_SEEDS instead, it is a small program that writes a
// few valid models into the directory named on its command line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "util/objects3d/model_sgl.h"

#ifndef SGL_FUZZ_SEEDS

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_sgl: %s\n", what);
    std::abort();
  }
}

// True when every float other than a position is bitwise what it was.
bool onlyPositionsMoved(const Model_sgl& model, const uint8_t* original) {
  const size_t stride = Model_sgl::vertexSize(model.format);
  for (int32_t i = 0; i < model.vertexCount; ++i) {
    const size_t at = i * stride;
    if (std::memcmp(model.vertexData + at, original + at, stride - 12) != 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
  Model_sgl model;
  const char* why = nullptr;
  if (!model.load(bytes, length, &why)) {
    check(why != nullptr && why[0] != '\0', "refused without a reason");
    check(model.vertexData == nullptr && model.vertexCount == 0 && model.format == 0 &&
              model.mode == 0 && model.sizeOf == nullptr,
          "a refused model is not empty");
    float x = 1, y = 1, z = 1;
    model.getSize(x, y, z);
    check(x == 0 && y == 0 && z == 0, "an empty model has a size");
    model.unitize();
    return 0;
  }
  const size_t stride = Model_sgl::vertexSize(model.format);
  check(stride != 0, "accepted an unknown format");
  check(model.vertexCount > 0 && static_cast<int32_t>(model.mode) > 0, "accepted a bad header");
  const size_t block = static_cast<size_t>(model.vertexCount) * stride;
  check(block <= length - 12, "the vertex block runs past the input");
  check(std::memcmp(model.vertexData, bytes + 12, block) == 0, "the vertex block differs");

  // Every mesh of finite positions is held to the unit box.
  bool tame = true;
  for (int32_t i = 0; i < model.vertexCount && tame; ++i) {
    float p[3];
    std::memcpy(p, model.vertexData + i * stride + stride - 12, sizeof p);
    for (float v : p) tame = tame && std::isfinite(v);
  }
  float size[3], centre[3];
  model.getSize(size[0], size[1], size[2]);
  model.getCentre(centre[0], centre[1], centre[2]);
  if (tame)
    for (int a = 0; a < 3; ++a)
      check(size[a] >= 0 && std::isfinite(centre[a]), "bad extent");  // size may overflow

  std::vector<uint8_t> original(model.vertexData, model.vertexData + block);
  model.unitize();
  check(onlyPositionsMoved(model, original.data()), "unitize changed a normal or texcoord");
  if (tame) {
    for (int32_t i = 0; i < model.vertexCount; ++i) {
      float p[3];
      std::memcpy(p, model.vertexData + i * stride + stride - 12, sizeof p);
      for (float v : p) check(std::fabs(v) <= 1.0001f, "unitize left the unit box");
    }
  }
  model.scale(0.5f);
  model.translate(1, 2, 3);
  check(onlyPositionsMoved(model, original.data()), "scale or translate changed a normal");
  model.release();
  check(model.vertexData == nullptr && model.sizeOf == nullptr, "release left data behind");
  return 0;
}

// The in-memory reader never reaches these; they only satisfy the linker
// (the path loader refers to them).
FILE* dataFopen(const char*, const char*) { std::abort(); }
std::vector<uint8_t> readAndClose(FILE*) { std::abort(); }

#else

#include "seed_files.h"

namespace {

void write(const std::string& path, int32_t count, int32_t format, int32_t mode,
           const std::vector<float>& floats) {
  const int32_t header[3] = {count, format, mode};
  std::vector<uint8_t> bytes(sizeof header + floats.size() * 4);
  std::memcpy(bytes.data(), header, sizeof header);
  std::memcpy(bytes.data() + sizeof header, floats.data(), floats.size() * 4);
  writeSeed(path, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = seedDirectory(argc, argv);
  write(dir + "/v3f_triangle.sgl", 3, GL_V3F, GL_TRIANGLES, {0, 0, 0, 10, 0, 0, 0, 2, 2});
  write(dir + "/n3f_strip.sgl", 4, GL_N3F_V3F, GL_TRIANGLE_STRIP,
        {0, 0, 1, -3, 2, 0, 0, 0, 1, 5, 2, 0, 0, 0, 1, -3, 10, 0, 0, 0, 1, 5, 10, 1});
  write(dir + "/t2f_point.sgl", 2, GL_T2F_N3F_V3F, GL_LINES,
        {0, 0, 0, 1, 0, 4, 5, 6, 1, 1, 0, 1, 0, 4, 5, 6});
  return 0;
}

#endif
