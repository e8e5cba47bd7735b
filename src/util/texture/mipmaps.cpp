#include "util/texture/mipmaps.h"

#include <algorithm>

void halveImage(const uint8_t* pixels, int width, int height, int components, uint8_t* half) {
  const int halfWidth = std::max(1, width / 2), halfHeight = std::max(1, height / 2);
  const size_t row = static_cast<size_t>(width) * components;
  for (int y = 0; y < halfHeight; ++y) {
    const uint8_t* top = pixels + static_cast<size_t>(2 * y) * row;
    const uint8_t* bottom = pixels + static_cast<size_t>(std::min(2 * y + 1, height - 1)) * row;
    uint8_t* out = half + static_cast<size_t>(y) * halfWidth * components;
    for (int x = 0; x < halfWidth; ++x) {
      const size_t left = static_cast<size_t>(2 * x) * components;
      const size_t right = static_cast<size_t>(std::min(2 * x + 1, width - 1)) * components;
      for (int c = 0; c < components; ++c)
        *out++ = static_cast<uint8_t>(
            (top[left + c] + top[right + c] + bottom[left + c] + bottom[right + c] + 2) / 4);
    }
  }
}

void uploadMipmapChain(GLenum target, GLint internalFormat, GLenum format, int width, int height,
                       const uint8_t* level0) {
  const int components = componentsOf(format);
  if (components == 0) return;
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  // Two buffers taking turns; the first level reads level 0 where it lies.
  std::vector<uint8_t> buffers[2];
  const uint8_t* from = level0;
  for (int level = 1; width > 1 || height > 1; ++level) {
    const int halfWidth = std::max(1, width / 2), halfHeight = std::max(1, height / 2);
    std::vector<uint8_t>& to = buffers[level % 2];
    to.resize(static_cast<size_t>(halfWidth) * halfHeight * components);
    halveImage(from, width, height, components, to.data());
    glTexImage2D(target, level, internalFormat, halfWidth, halfHeight, 0, format, GL_UNSIGNED_BYTE,
                 to.data());
    from = to.data();
    width = halfWidth;
    height = halfHeight;
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

int componentsOf(GLenum format) {
  switch (format) {
    case GL_RGB:
    case GL_BGR:
      return 3;
    case GL_RGBA:
    case GL_BGRA:
      return 4;
    case GL_LUMINANCE:
    case GL_ALPHA:
    case GL_RED:
      return 1;
    case GL_LUMINANCE_ALPHA:
      return 2;
    default:
      return 0;
  }
}
