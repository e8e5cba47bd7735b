#include "util/texture/texturecube.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "util/error.h"
#include "util/texture/mipmaps.h"

const char* const TextureCube::kFaceFiles[6] = {
    "data/metaballmarch/Glacier2/negx.jpg", "data/metaballmarch/Glacier2/posx.jpg",
    "data/metaballmarch/Glacier2/negy.jpg", "data/metaballmarch/Glacier2/posy.jpg",
    "data/metaballmarch/Glacier2/negz.jpg", "data/metaballmarch/Glacier2/posz.jpg",
};

TextureCube::~TextureCube() {
  for (uint8_t* data : {data_negx, data_posx, data_negy, data_posy, data_negz, data_posz})
    std::free(data);
}

bool TextureCube::load() {
  cube.wrap = GL_CLAMP_TO_EDGE;
  cube.mipmaps = true;
  cube.minFilter = GL_LINEAR_MIPMAP_LINEAR;
  cube.magFilter = GL_LINEAR;
  cube.bpp = 32;

  // The face pictures' pixels only: the cube map is the one GL texture.
  for (int i = 0; i < 6; ++i) tex_array[i].decode(kFaceFiles[i]);
  cube.width = tex_array[0].get_width();
  cube.height = tex_array[0].get_height();
  uint32_t width = cube.width;
  uint32_t height = cube.height;
  for (int i = 1; i < 6; ++i) {
    ASSERT(width == tex_array[i].get_width());
    ASSERT(height == tex_array[i].get_height());
  }

  // The faces as OpenGL wants them: the file's first row first.
  uint8_t** faces[6] = {&data_negx, &data_posx, &data_negy, &data_posy, &data_negz, &data_posz};
  size_t row = cube.bpp / 8 * static_cast<size_t>(width);
  for (int i = 0; i < 6; ++i) {
    ASSERT(tex_array[i].bpp == cube.bpp);
    uint8_t* pixels = tex_array[i].imageData;
    uint8_t* face = static_cast<uint8_t*>(std::malloc(row * height));
    if (face)
      for (uint32_t y = 0; y < height; ++y)
        std::memcpy(face + y * row, pixels + (height - 1 - y) * row, row);
    std::free(pixels);
    tex_array[i].imageData = nullptr;
    *faces[i] = face;
  }
  ASSERT(data_negx);
  ASSERT(data_posx);
  ASSERT(data_negy);
  ASSERT(data_posy);
  ASSERT(data_negz);
  ASSERT(data_posz);

  cube.internalFormat = GL_RGBA8;
  cube.format = GL_RGBA;
  return create();
}

bool TextureCube::create() {
  if (cube.id != 0) FATAL("Attempt to create an already initialized texture!");
  glGenTextures(1, &cube.id);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cube.id);
  if (cube.mipmaps) {
    useTrilinearAnisotropic(GL_TEXTURE_CUBE_MAP);
  } else {
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(cube.minFilter));
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(cube.magFilter));
  }
  for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R})
    glTexParameteri(GL_TEXTURE_CUBE_MAP, wrap, static_cast<GLint>(cube.wrap));

  const struct {
    GLenum face;
    uint8_t*& data;
  } uploads[] = {
      {GL_TEXTURE_CUBE_MAP_NEGATIVE_X, data_negx}, {GL_TEXTURE_CUBE_MAP_POSITIVE_X, data_posx},
      {GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, data_negy}, {GL_TEXTURE_CUBE_MAP_POSITIVE_Y, data_posy},
      {GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, data_negz}, {GL_TEXTURE_CUBE_MAP_POSITIVE_Z, data_posz},
  };
  for (const auto& upload : uploads)
    glTexImage2D(upload.face, 0, cube.internalFormat, static_cast<GLsizei>(cube.width),
                 static_cast<GLsizei>(cube.height), 0, cube.format, GL_UNSIGNED_BYTE, upload.data);
  // Each face's chain from its own pixels, the same on every driver (ATI's
  // automatic generation would build a chain at each face's upload while
  // the other faces are still undefined: Mesa crashes on that).
  if (cube.mipmaps) {
    for (const auto& upload : uploads)
      uploadMipmapChain(upload.face, cube.internalFormat, cube.format, static_cast<int>(cube.width),
                        static_cast<int>(cube.height), upload.data);
  } else {
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_GENERATE_MIPMAP, 0);
  }
  for (const auto& upload : uploads) {
    std::free(upload.data);
    upload.data = nullptr;
  }
  return true;
}
