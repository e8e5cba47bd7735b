#pragma once
// Model: a single mesh drawn in one call from an interleaved vertex array in
// client memory (no materials, nodes or buffer objects).
// Model_sgl: the engine's own binary .sgl format, a 12-byte header and the
// raw vertex block, ready for glInterleavedArrays. Little-endian:
//
//   int32 vertex count    above 0
//   int32 vertex format   GL_V3F, GL_N3F_V3F or GL_T2F_N3F_V3F
//   int32 primitive mode  for glDrawArrays, above 0
//   count x vertex size   floats in the format's order (12, 24 or 32 bytes)
//
// Bytes after the vertex block are ignored. Only a file that cannot be
// opened is fatal; any other fault (bad header, unknown format, a file
// shorter than its vertex count says) makes load return false and leaves
// the model empty, so drawing it does nothing.
#include <GL/glew.h>

#include <cstddef>
#include <cstdint>

class Model {
 public:
  virtual bool load(const char* fileName) = 0;
  // Per axis |max| + |min| of the positions; 0 when nothing is loaded.
  virtual void getSize(float& x, float& y, float& z) = 0;
  // Per axis (min + max) / 2; 0 when nothing is loaded.
  virtual void getCentre(float& x, float& y, float& z) = 0;
  // Centres the mesh at the origin and scales its largest extent to 2.
  virtual void unitize() = 0;
  virtual void scale(float s) = 0;
  virtual void translate(float x, float y, float z) = 0;
  virtual void draw() = 0;
  virtual void release() = 0;
  virtual ~Model() = default;
};

class Model_sgl : public Model {
 public:
  // Per-format routines over the positions; the formats differ only in
  // vertex size and the byte offset of the position within a vertex.
  using SizeRoutine = void (*)(const unsigned char* data, int count, float out[3]);
  using ScaleRoutine = void (*)(unsigned char* data, int count, float s);
  using TranslateRoutine = void (*)(unsigned char* data, int count, float x, float y, float z);
  using UnitizeRoutine = void (*)(unsigned char* data, int count);

  unsigned char* vertexData = nullptr;  // malloc'd vertex block; null when nothing is loaded
  GLenum format = 0;
  int32_t vertexCount = 0;
  GLenum mode = 0;
  SizeRoutine sizeOf = nullptr;
  SizeRoutine centreOf = nullptr;
  UnitizeRoutine unitizeRoutine = nullptr;
  ScaleRoutine scaleRoutine = nullptr;
  TranslateRoutine translateRoutine = nullptr;

  Model_sgl() = default;
  Model_sgl(const Model_sgl&) = delete;
  Model_sgl& operator=(const Model_sgl&) = delete;
  ~Model_sgl() override { release(); }

  // Opens the file through the file access layer; failing to open it is
  // fatal ("Failed to load file %s"). True when a mesh was loaded.
  bool load(const char* fileName) override;
  // The same from a whole file held in memory. On false, `why` (when
  // given) points to a static text saying what was wrong.
  bool load(const uint8_t* bytes, size_t length, const char** why = nullptr);

  void getSize(float& x, float& y, float& z) override;
  void getCentre(float& x, float& y, float& z) override;
  void unitize() override;
  void scale(float s) override;
  void translate(float x, float y, float z) override;
  // glInterleavedArrays + glDrawArrays; the client array state and the
  // array-buffer binding are restored afterwards.
  void draw() override;
  void release() override;

  // Bytes per vertex of an interleaved format, 0 for one this reader does not take.
  static int vertexSize(GLenum format);
};
