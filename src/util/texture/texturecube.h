#pragma once
// TextureCube: the show's one cube map, the sky-and-ice environment that
// the metaballs and the train reflect, built from six JPEG faces.
#include <cstdint>

#include "util/texture/texture.h"

class TextureCube {
 public:
  // The face files, in load order: -x, +x, -y, +y, -z, +z.
  static const char* const kFaceFiles[6];

  TextureCube() = default;
  ~TextureCube();
  TextureCube(const TextureCube&) = delete;
  TextureCube& operator=(const TextureCube&) = delete;

  // Loads the six faces and creates the cube map; every failure is fatal.
  bool load();
  // The cube-map upload from the face data.
  bool create();

  Texture tex_array[6];  // the faces as decoded (sizes only after load; no GL texture)
  uint8_t* data_negx = nullptr;
  uint8_t* data_posx = nullptr;
  uint8_t* data_negy = nullptr;
  uint8_t* data_posy = nullptr;
  uint8_t* data_negz = nullptr;
  uint8_t* data_posz = nullptr;
  Texture cube;  // id: the cube-map texture, bound to GL_TEXTURE_CUBE_MAP to draw
};
