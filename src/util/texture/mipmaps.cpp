#include "util/texture/mipmaps.h"

#include <algorithm>
#include <memory>

namespace {

// One level row from two picture rows, `C` bytes a texel; `right` is the
// step to the texel on the right (0 for a picture one texel wide).
template <int C>
void halveRow(const uint8_t* top, const uint8_t* bottom, size_t right, int halfWidth, uint8_t* out) {
  for (int x = 0; x < halfWidth; ++x, top += 2 * C, bottom += 2 * C, out += C)
    for (int c = 0; c < C; ++c)
      out[c] = static_cast<uint8_t>((top[c] + top[right + c] + bottom[c] + bottom[right + c] + 2) / 4);
}

}  // namespace

void halveImage(const uint8_t* pixels, int width, int height, int components, uint8_t* half) {
  const int halfWidth = std::max(1, width / 2), halfHeight = std::max(1, height / 2);
  const size_t row = static_cast<size_t>(width) * components;
  // The texel right of and the row above the block's first: itself again
  // on a picture one texel wide or high. A last odd column or row is never
  // reached, so nothing else needs clamping.
  const size_t right = width > 1 ? static_cast<size_t>(components) : 0;
  const size_t up = height > 1 ? row : 0;
  for (int y = 0; y < halfHeight; ++y) {
    const uint8_t* top = pixels + static_cast<size_t>(2 * y) * row;
    uint8_t* out = half + static_cast<size_t>(y) * halfWidth * components;
    switch (components) {
      case 1: halveRow<1>(top, top + up, right, halfWidth, out); break;
      case 2: halveRow<2>(top, top + up, right, halfWidth, out); break;
      case 3: halveRow<3>(top, top + up, right, halfWidth, out); break;
      case 4: halveRow<4>(top, top + up, right, halfWidth, out); break;
      default:
        for (int x = 0; x < halfWidth; ++x) {
          const uint8_t* t = top + static_cast<size_t>(2 * x) * components;
          const uint8_t* b = t + up;
          for (int c = 0; c < components; ++c, ++out)
            *out = static_cast<uint8_t>((t[c] + t[right + c] + b[c] + b[right + c] + 2) / 4);
        }
    }
  }
}

size_t mipmapChainBytes(int width, int height, int components) {
  size_t bytes = 0;
  while (width > 1 || height > 1) {
    width = std::max(1, width / 2);
    height = std::max(1, height / 2);
    bytes += static_cast<size_t>(width) * height * components;
  }
  return bytes;
}

void makeMipmapChain(const uint8_t* level0, int width, int height, int components, uint8_t* chain) {
  const uint8_t* from = level0;
  while (width > 1 || height > 1) {
    halveImage(from, width, height, components, chain);
    from = chain;
    width = std::max(1, width / 2);
    height = std::max(1, height / 2);
    chain += static_cast<size_t>(width) * height * components;
  }
}

void uploadMipmapChain(GLenum target, GLint internalFormat, GLenum format, int width, int height,
                       const uint8_t* level0, const uint8_t* chain) {
  const int components = componentsOf(format);
  if (components == 0) return;
  std::unique_ptr<uint8_t[]> made;  // not cleared: every byte is made
  if (!chain) {
    made.reset(new uint8_t[mipmapChainBytes(width, height, components)]);
    makeMipmapChain(level0, width, height, components, made.get());
    chain = made.get();
  }
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int level = 1; width > 1 || height > 1; ++level) {
    width = std::max(1, width / 2);
    height = std::max(1, height / 2);
    glTexImage2D(target, level, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, chain);
    chain += static_cast<size_t>(width) * height * components;
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

void allocateMipmapChain(GLenum target, GLint internalFormat, GLenum format, int width, int height) {
  for (int level = 1; width > 1 || height > 1; ++level) {
    width = std::max(1, width / 2);
    height = std::max(1, height / 2);
    glTexImage2D(target, level, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, nullptr);
  }
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

MipChain::MipChain(int width, int height, int components) : components_(components) {
  for (;;) {
    Level level{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * components)};
    levels_.push_back(std::move(level));
    if (width == 1 && height == 1) break;
    width = std::max(1, width / 2);
    height = std::max(1, height / 2);
  }
}

void MipChain::clear() {
  for (Level& level : levels_) {
    std::fill(level.pixels.begin(), level.pixels.end(), uint8_t{0});
    level.x0 = level.y0 = level.x1 = level.y1 = 0;
  }
}

void MipChain::write(int x, int y, int w, int h, const uint8_t* block) {
  Level& base = levels_[0];
  // What falls outside the picture is cut off.
  const size_t stride = static_cast<size_t>(std::max(w, 0)) * components_;
  const int left = std::max(0, -x), below = std::max(0, -y);
  block += static_cast<size_t>(below) * stride + static_cast<size_t>(left) * components_;
  x += left;
  y += below;
  w = std::clamp(w - left, 0, std::max(0, base.width - x));
  h = std::clamp(h - below, 0, std::max(0, base.height - y));
  const size_t rowBytes = static_cast<size_t>(w) * components_;
  for (int row = 0; row < h; ++row)
    std::copy(block + row * stride, block + row * stride + rowBytes,
              base.pixels.begin() +
                  static_cast<ptrdiff_t>((static_cast<size_t>(y + row) * base.width + x) * components_));
  base.x0 = x;
  base.y0 = y;
  base.x1 = x + w;
  base.y1 = y + h;
  // Each level above: the texels whose 2 x 2 blocks hold a changed one.
  for (size_t l = 1; l < levels_.size(); ++l) {
    const Level& below = levels_[l - 1];
    Level& level = levels_[l];
    level.x0 = std::min(below.x0 / 2, level.width);
    level.y0 = std::min(below.y0 / 2, level.height);
    level.x1 = std::min((below.x1 + 1) / 2, level.width);
    level.y1 = std::min((below.y1 + 1) / 2, level.height);
    if (below.x1 <= below.x0 || below.y1 <= below.y0) level.x1 = level.x0;
    for (int ty = level.y0; ty < level.y1; ++ty) {
      const int sy0 = 2 * ty, sy1 = std::min(2 * ty + 1, below.height - 1);
      for (int tx = level.x0; tx < level.x1; ++tx) {
        const int sx0 = 2 * tx, sx1 = std::min(2 * tx + 1, below.width - 1);
        auto at = [&](int sx, int sy) {
          return below.pixels.data() + (static_cast<size_t>(sy) * below.width + sx) * components_;
        };
        uint8_t* out = level.pixels.data() + (static_cast<size_t>(ty) * level.width + tx) * components_;
        for (int c = 0; c < components_; ++c)
          out[c] = static_cast<uint8_t>((at(sx0, sy0)[c] + at(sx1, sy0)[c] + at(sx0, sy1)[c] +
                                         at(sx1, sy1)[c] + 2) / 4);
      }
    }
  }
}

void MipChain::uploadChanged(GLenum target, GLenum format) const {
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (size_t l = 0; l < levels_.size(); ++l) {
    const Level& level = levels_[l];
    if (level.x1 <= level.x0 || level.y1 <= level.y0) continue;
    glPixelStorei(GL_UNPACK_ROW_LENGTH, level.width);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, level.x0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, level.y0);
    glTexSubImage2D(target, static_cast<GLint>(l), level.x0, level.y0, level.x1 - level.x0,
                    level.y1 - level.y0, format, GL_UNSIGNED_BYTE, level.pixels.data());
  }
  glPopClientAttrib();
}
