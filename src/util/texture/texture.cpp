#include "util/texture/texture.h"

#include "util/camera/projection.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "util/data/data.h"
#include "util/error.h"
#include "util/prefetch.h"
#include "util/texture/mipmaps.h"
#include "util/gl_debug.h"
#include "util/util.h"

namespace {

enum class PixelKind { Byte, Float, Depth, Unknown };

PixelKind pixelKind(GLint internalFormat) {
  switch (internalFormat) {
    case 1:
    case 2:
    case 3:
    case 4:
    case GL_RGBA8:
      return PixelKind::Byte;
    case GL_RGBA32F:
    case GL_RGB32F:
    case GL_RGBA16F:
    case GL_RGB16F:
      return PixelKind::Float;
    case GL_DEPTH_COMPONENT16:
    case GL_DEPTH_COMPONENT24:
    case GL_DEPTH_COMPONENT32:
    case GL_DEPTH_COMPONENT32F:
      return PixelKind::Depth;
    default:
      return PixelKind::Unknown;
  }
}

const char* glString(GLenum name) {
  const char* text = reinterpret_cast<const char*>(glGetString(name));
  return text ? text : "";
}

// 0 until start-up chooses: the driver's maximum.
float chosenAnisotropy = 0.0f;
bool mipmapBlending = true;

bool containsWord(const char* text, const char* word) {
  std::string lower(text ? text : "");
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t length = std::strlen(word);
  for (size_t at = lower.find(word); at != std::string::npos; at = lower.find(word, at + 1)) {
    bool before = at == 0 || !std::isalnum(static_cast<unsigned char>(lower[at - 1]));
    bool after = at + length == lower.size() ||
                 !std::isalnum(static_cast<unsigned char>(lower[at + length]));
    if (before && after) return true;
  }
  return false;
}

// The automatic flag belongs to ordinary textures; a multisample one has
// no mipmaps to switch off.
GLenum mipmapFlagTarget(GLenum target) {
  return target == GL_TEXTURE_2D_MULTISAMPLE ? GL_TEXTURE_2D : target;
}

void drawQuad(const Texture& texture, const float corners[4][4]) {
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glPushAttrib(GL_TRANSFORM_BIT);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  multiplyOrtho2D(0, 1, 0, 1);
  texture.bind();
  glBegin(GL_QUADS);
  for (int i = 0; i < 4; ++i) {
    glTexCoord2f(corners[i][0], corners[i][1]);
    glVertex2f(corners[i][2], corners[i][3]);
  }
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
}

}  // namespace

Texture::Texture(const char* fileName) { load(fileName, false, true, GL_LINEAR, GL_LINEAR); }

Texture::Texture(const char* fileName, bool mipmaps, bool repeat) {
  load(fileName, mipmaps, repeat, GL_LINEAR, GL_LINEAR);
}

Texture::~Texture() {
  if (id != 0) {
    glDeleteTextures(1, &id);
    id = 0;
  }
}

ImageFormat imageFormatOf(const char* fileName) {
  const std::string extension = lowerTail(fileName, 4);
  if (extension == ".tga") return ImageFormat::Tga;
  if (extension == ".png") return ImageFormat::Png;
  if (extension == ".jpg" || lowerTail(fileName, 5) == ".jpeg") return ImageFormat::Jpg;
  if (extension == ".bmp") return ImageFormat::Bmp;
  return ImageFormat::Unknown;
}

bool Texture::load(const char* fileName, bool mipmaps, bool repeat, GLenum minFilter,
                   GLenum magFilter) {
  GlOperation operation("texture", fileName);
  this->minFilter = minFilter;
  this->magFilter = magFilter;
  this->wrap = repeat ? GL_REPEAT : GL_CLAMP_TO_EDGE;
  this->mipmaps = mipmaps;
  decode(fileName);
  internalFormat = static_cast<GLint>(bpp / 8);
  return create();
}

void Texture::decode(const char* fileName) {
  const ImageFormat format = imageFormatOf(fileName);
  bool loaded;
  if (takePrefetchedImage(fileName, *this)) {
    // Decoded ahead; opened all the same, so the loading counts it.
    FILE* file = dataFopen(fileName, "rb");
    if (file) std::fclose(file);
    loaded = true;
  } else if (format == ImageFormat::Tga) {
    loaded = loadTGA(fileName, *this);
  } else if (format == ImageFormat::Png) {
    loaded = loadPNG(*this, fileName);
  } else if (format == ImageFormat::Jpg) {
    loaded = loadJPG(fileName, *this);
  } else if (format == ImageFormat::Bmp) {
    loaded = loadBMP(fileName, *this);
  } else {
    noteFailure("Unsupported image format!",
                "Sorry, image format " + lowerTail(fileName, 4) + " is not yet supported.\nTry .tga or .png.");
    loaded = false;
  }
  if (!loaded) FATAL("Failed to load image %s!", fileName);
}

bool Texture::create() {
  if (id != 0) FATAL("Attempt to create an already initialized texture!");
  GLenum tgt = target();
  bool multisample = samples > 0;
  glGenTextures(1, &id);
  glBindTexture(tgt, id);

  // Sampler state does not exist for multisample textures (setting it is an
  // error), so it is only set on ordinary ones.
  if (mipmaps) {
    if (!multisample) useTrilinearAnisotropic(tgt);
  } else if (!multisample) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(magFilter));
  }
  if (!multisample) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLint>(wrap));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLint>(wrap));
  }

  // Loaded pixels are tightly packed: a 24-bit row need not be a multiple of 4 bytes.
  GLint unpackAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  GLsizei w = static_cast<GLsizei>(width);
  GLsizei h = static_cast<GLsizei>(height);
  PixelKind kind = pixelKind(internalFormat);
  if (kind == PixelKind::Unknown) FATAL("Unrecognized texture format %i!", internalFormat);
  if (kind == PixelKind::Depth) {
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE, GL_INTENSITY);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_NONE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  // Decoded 8-bit pictures bring their own chain (see mipmaps.h); the
  // driver builds the others'.
  const bool ownChain = mipmaps && !multisample && kind == PixelKind::Byte &&
                        tgt == GL_TEXTURE_2D && componentsOf(format) > 0;
  if (!multisample && !ownChain) prepareMipmaps(tgt, mipmaps);
  if (multisample) {
    glTexImage2DMultisample(tgt, static_cast<GLsizei>(samples), internalFormat, w, h, GL_FALSE);
  } else {
    GLenum transfer = kind == PixelKind::Depth ? GL_DEPTH_COMPONENT : format;
    GLenum type = kind == PixelKind::Byte ? GL_UNSIGNED_BYTE : GL_FLOAT;
    glTexImage2D(tgt, 0, internalFormat, w, h, 0, transfer, type, imageData);
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);

  if (ownChain && imageData)
    uploadMipmapChain(tgt, internalFormat, format, w, h, imageData,
                      chainFollows ? imageData + static_cast<size_t>(w) * h * componentsOf(format) : nullptr);
  else if (ownChain)
    allocateMipmapChain(tgt, internalFormat, format, w, h);  // filled by fill or the owner
  else if (mipmaps || !multisample)
    finishMipmaps(tgt, mipmaps);

  std::free(imageData);
  imageData = nullptr;
  chainFollows = false;
  return true;
}

bool appendMipmapChain(Texture& picture) {
  const int components = componentsOf(picture.format);
  if (!picture.imageData || picture.chainFollows || components == 0 ||
      picture.bpp != static_cast<uint32_t>(components) * 8)
    return false;
  const int width = static_cast<int>(picture.width), height = static_cast<int>(picture.height);
  const size_t level0 = static_cast<size_t>(width) * height * components;
  void* grown = std::realloc(picture.imageData, level0 + mipmapChainBytes(width, height, components));
  if (!grown) return false;  // the block is as it was
  picture.imageData = static_cast<uint8_t*>(grown);
  makeMipmapChain(picture.imageData, width, height, components, picture.imageData + level0);
  picture.chainFollows = true;
  return true;
}

bool anisotropicFilteringSupported() {
  return GLEW_EXT_texture_filter_anisotropic || GLEW_ARB_texture_filter_anisotropic;
}

void useTrilinearAnisotropic(GLenum target) {
  if (anisotropicFilteringSupported()) {
    GLfloat maxAnisotropy = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
    GLfloat anisotropy = chosenAnisotropy > 0.0f && chosenAnisotropy < maxAnisotropy
                             ? chosenAnisotropy
                             : maxAnisotropy;
    glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
  }
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, mipmapBlending ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void setMipmapBlending(bool blend) { mipmapBlending = blend; }

void setTextureAnisotropy(float anisotropy) { chosenAnisotropy = anisotropy; }

bool isSoftwareRenderer(const char* renderer) {
  return containsWord(renderer, "llvmpipe") || containsWord(renderer, "softpipe") ||
         containsWord(renderer, "swrast") || containsWord(renderer, "software rasterizer");
}

float chooseAnisotropy(const char* renderer, float driverMaximum, int requested) {
  float maximum = driverMaximum < 1.0f ? 1.0f : driverMaximum;
  if (requested > 0) return std::min(static_cast<float>(requested), maximum);
  return isSoftwareRenderer(renderer) ? 1.0f : maximum;
}

bool vendorIsAti(const char* vendor) { return containsWord(vendor, "ati"); }

void prepareMipmaps(GLenum target, bool mipmaps) {
  if (mipmaps && vendorIsAti(glString(GL_VENDOR)))
    glTexParameteri(mipmapFlagTarget(target), GL_GENERATE_MIPMAP, 1);  // builds on the upload
}

void finishMipmaps(GLenum target, bool mipmaps) {
  if (!mipmaps)
    glTexParameteri(mipmapFlagTarget(target), GL_GENERATE_MIPMAP, 0);
  else if (!vendorIsAti(glString(GL_VENDOR)))
    glGenerateMipmapEXT(target);
}

void Texture::createEmpty(uint32_t width, uint32_t height, GLint internalFormat, bool mipmaps) {
  this->width = width;
  this->height = height;
  this->internalFormat = internalFormat;
  this->mipmaps = mipmaps;
  minFilter = magFilter = GL_LINEAR;
  wrap = GL_CLAMP_TO_EDGE;
  format = GL_RGBA;
  bpp = 32;
  create();
}

void Texture::resize(uint32_t width, uint32_t height) {
  if (imageData) FATAL("Attempted to resize a texture with current imageData");
  if (id == 0) FATAL("Attempted to resize a texture that is not initialized!");
  glDeleteTextures(1, &id);
  id = 0;
  this->width = width;
  this->height = height;
  create();
}

void Texture::bind() const {
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(target(), id);
}

float Texture::aspect() const {
  if (width == 0 || height == 0) FATAL("Invalid texture!");
  return static_cast<float>(width) / static_cast<float>(height);
}

uint8_t* Texture::readPixels() const {
  uint32_t bytespp = bpp / 8;
  ASSERT(4 == bytespp);
  uint8_t* tempdata = static_cast<uint8_t*>(std::malloc(size_t{width} * height * 4));
  ASSERT(tempdata);
  bind();
  GLint packAlignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, tempdata);
  glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
  return tempdata;
}

void Texture::fill(float r, float g, float b, float a) {
  bind();
  ASSERT(32 == bpp);
  size_t count = size_t{width} * height;
  uint8_t* temp_buffer = static_cast<uint8_t*>(std::malloc(count * 4));
  ASSERT(temp_buffer);
  // Truncation toward zero: 0.5 becomes 127.
  const uint8_t color[4] = {static_cast<uint8_t>(static_cast<int>(r * 255)),
                            static_cast<uint8_t>(static_cast<int>(g * 255)),
                            static_cast<uint8_t>(static_cast<int>(b * 255)),
                            static_cast<uint8_t>(static_cast<int>(a * 255))};
  for (size_t i = 0; i < count; ++i) std::memcpy(temp_buffer + i * 4, color, 4);
  // Every level of a chain is the same colour: no level needs building.
  GLsizei w = static_cast<GLsizei>(width), h = static_cast<GLsizei>(height);
  for (GLint level = 0;; ++level) {
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, temp_buffer);
    if (!mipmaps || (w == 1 && h == 1)) break;
    w = std::max(1, w / 2);
    h = std::max(1, h / 2);
  }
  std::free(temp_buffer);
}

void drawTexture(const Texture& texture, float x, float y, float w, float h) {
  const float corners[4][4] = {
      {0, 0, x, y}, {1, 0, x + w, y}, {1, 1, x + w, y + h}, {0, 1, x, y + h}};
  drawQuad(texture, corners);
}

void drawTextureWindow(const Texture& texture, float sw, float th, float s0, float t0) {
  const float corners[4][4] = {
      {s0, t0, 0, 0}, {s0 + sw, t0, 1, 0}, {s0 + sw, t0 + th, 1, 1}, {s0, t0 + th, 0, 1}};
  drawQuad(texture, corners);
}
