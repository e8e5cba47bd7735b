#include "util/objects3d/model_sgl.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "util/data/data.h"
#include "util/error.h"

// The vertex block is copied as it is: the file's floats are little-endian.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "SGL vertex data is little-endian");

namespace {

constexpr size_t kHeaderSize = 12;

int32_t readInt32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                              uint32_t(p[3]) << 24);
}

// One family per vertex format. Positions are read and written through
// memcpy so nothing depends on the block's alignment.
template <int Stride, int Offset>
struct Positions {
  static void get(const unsigned char* data, int i, float p[3]) {
    std::memcpy(p, data + static_cast<size_t>(i) * Stride + Offset, sizeof(float) * 3);
  }
  static void put(unsigned char* data, int i, const float p[3]) {
    std::memcpy(data + static_cast<size_t>(i) * Stride + Offset, p, sizeof(float) * 3);
  }

  static void bounds(const unsigned char* data, int count, float lo[3], float hi[3]) {
    get(data, 0, lo);
    get(data, 0, hi);
    for (int i = 1; i < count; ++i) {
      float p[3];
      get(data, i, p);
      for (int a = 0; a < 3; ++a) {
        if (p[a] < lo[a]) lo[a] = p[a];
        if (p[a] > hi[a]) hi[a] = p[a];
      }
    }
  }

  // |max| + |min|: the model's own notion of extent, which equals max - min
  // only for meshes that straddle the origin.
  static void size(const unsigned char* data, int count, float out[3]) {
    float lo[3], hi[3];
    bounds(data, count, lo, hi);
    for (int a = 0; a < 3; ++a) out[a] = std::fabs(hi[a]) + std::fabs(lo[a]);
  }

  static void centre(const unsigned char* data, int count, float out[3]) {
    float lo[3], hi[3];
    bounds(data, count, lo, hi);
    // Halved before the sum so two huge coordinates do not overflow.
    for (int a = 0; a < 3; ++a) out[a] = lo[a] * 0.5f + hi[a] * 0.5f;
  }

  // Worked in doubles: the sums of two large floats cannot overflow there,
  // and 2 over a denormal extent or the centre of a denormal span stays
  // exact enough to keep every position within -1..1.
  static void unitize(unsigned char* data, int count) {
    float lo[3], hi[3];
    bounds(data, count, lo, hi);
    double c[3], largest = 0.0;
    for (int a = 0; a < 3; ++a) {
      largest = std::fmax(largest, std::fabs(double(hi[a])) + std::fabs(double(lo[a])));
      c[a] = (double(lo[a]) + double(hi[a])) * 0.5;
    }
    // A mesh collapsed to one point only moves to the origin; 2 / 0 would
    // turn every position into NaN.
    const double factor = largest > 0.0 && std::isfinite(largest) ? 2.0 / largest : 1.0;
    for (int i = 0; i < count; ++i) {
      float p[3];
      get(data, i, p);
      for (int a = 0; a < 3; ++a) p[a] = static_cast<float>((double(p[a]) - c[a]) * factor);
      put(data, i, p);
    }
  }

  static void scale(unsigned char* data, int count, float s) {
    for (int i = 0; i < count; ++i) {
      float p[3];
      get(data, i, p);
      for (float& v : p) v *= s;
      put(data, i, p);
    }
  }

  static void translate(unsigned char* data, int count, float x, float y, float z) {
    for (int i = 0; i < count; ++i) {
      float p[3];
      get(data, i, p);
      p[0] += x;
      p[1] += y;
      p[2] += z;
      put(data, i, p);
    }
  }
};

template <int Stride, int Offset>
void attach(Model_sgl& model) {
  using P = Positions<Stride, Offset>;
  model.sizeOf = &P::size;
  model.centreOf = &P::centre;
  model.unitizeRoutine = &P::unitize;
  model.scaleRoutine = &P::scale;
  model.translateRoutine = &P::translate;
}

}  // namespace

int Model_sgl::vertexSize(GLenum format) {
  switch (format) {
    case GL_V3F: return 12;
    case GL_N3F_V3F: return 24;
    case GL_T2F_N3F_V3F: return 32;
    default: return 0;
  }
}

bool Model_sgl::load(const char* fileName) {
  release();
  FILE* file = dataFopen(fileName, "rb");
  if (!file) FATAL("Failed to load file %s", fileName);
  // What the file really holds: a lying header can never make us allocate
  // more than the file's own size.
  std::vector<uint8_t> bytes = readAndClose(file);
  // A broken model is bad data like any other: stopping here says so,
  // where an empty model would only leave a hole in the picture.
  const char* why = nullptr;
  if (!load(bytes.data(), bytes.size(), &why)) FATAL("Broken model %s: %s", fileName, why);
  return true;
}

bool Model_sgl::load(const uint8_t* bytes, size_t length, const char** why) {
  release();
  auto fail = [why](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  if (length < kHeaderSize) return fail("file shorter than the 12-byte header");
  const int32_t count = readInt32(bytes);
  const int32_t fileFormat = readInt32(bytes + 4);
  const int32_t fileMode = readInt32(bytes + 8);
  if (count <= 0) return fail("vertex count not above 0");
  if (fileFormat <= 0) return fail("vertex format not above 0");
  if (fileMode <= 0) return fail("primitive mode not above 0");
  const int stride = vertexSize(static_cast<GLenum>(fileFormat));
  if (stride == 0) return fail("vertex format is not GL_V3F, GL_N3F_V3F or GL_T2F_N3F_V3F");
  // Checked against the bytes present before anything is allocated.
  if ((length - kHeaderSize) / static_cast<size_t>(stride) < static_cast<size_t>(count))
    return fail("file shorter than its vertex count says");

  const size_t blockSize = static_cast<size_t>(count) * static_cast<size_t>(stride);
  vertexData = static_cast<unsigned char*>(std::malloc(blockSize));
  if (!vertexData) return fail("out of memory for the vertex block");
  std::memcpy(vertexData, bytes + kHeaderSize, blockSize);
  format = static_cast<GLenum>(fileFormat);
  vertexCount = count;
  mode = static_cast<GLenum>(fileMode);
  switch (format) {
    case GL_V3F: attach<12, 0>(*this); break;
    case GL_N3F_V3F: attach<24, 12>(*this); break;
    default: attach<32, 20>(*this); break;
  }
  if (why) *why = nullptr;
  return true;
}

void Model_sgl::getSize(float& x, float& y, float& z) {
  float out[3] = {0.0f, 0.0f, 0.0f};
  if (sizeOf && vertexData) sizeOf(vertexData, vertexCount, out);
  x = out[0];
  y = out[1];
  z = out[2];
}

void Model_sgl::getCentre(float& x, float& y, float& z) {
  float out[3] = {0.0f, 0.0f, 0.0f};
  if (centreOf && vertexData) centreOf(vertexData, vertexCount, out);
  x = out[0];
  y = out[1];
  z = out[2];
}

void Model_sgl::unitize() {
  if (unitizeRoutine && vertexData) unitizeRoutine(vertexData, vertexCount);
}

void Model_sgl::scale(float s) {
  if (scaleRoutine && vertexData) scaleRoutine(vertexData, vertexCount, s);
}

void Model_sgl::translate(float x, float y, float z) {
  if (translateRoutine && vertexData) translateRoutine(vertexData, vertexCount, x, y, z);
}

void Model_sgl::draw() {
  if (!vertexData) return;
  // The pointer is client memory: a bound array buffer would turn it into
  // an offset. The enabled arrays and pointers are put back afterwards so no
  // later draw reads through our block.
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glInterleavedArrays(format, 0, vertexData);
  glDrawArrays(mode, 0, vertexCount);
  glPopClientAttrib();
}

void Model_sgl::release() {
  std::free(vertexData);
  vertexData = nullptr;
  format = 0;
  vertexCount = 0;
  mode = 0;
  sizeOf = nullptr;
  centreOf = nullptr;
  unitizeRoutine = nullptr;
  scaleRoutine = nullptr;
  translateRoutine = nullptr;
}
