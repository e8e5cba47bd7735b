#pragma once
// Texture: the engine's one wrapper around an OpenGL 2D texture.
//
// Loads an image file by its extension (TGA, PNG, JPEG, BMP), uploads it
// with the requested filtering, wrapping and mipmaps and frees the CPU copy
// of the pixels right after the upload. Also makes empty textures (render
// targets: byte, float and depth formats, optionally multisampled), resizes
// them, reads them back, fills them with one colour and draws them as
// screen-aligned quads. Every failure is fatal.
#include <GL/glew.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

class Texture {
 public:
  Texture() = default;
  // Loads with mipmaps off, repeat on, linear filters.
  explicit Texture(const char* fileName);
  Texture(const char* fileName, bool mipmaps, bool repeat);
  ~Texture();
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  bool load(const char* fileName, bool mipmaps, bool repeat, GLenum minFilter, GLenum magFilter);
  // Only the picture: its pixels into imageData (with bpp, width, height
  // and format), no GL texture; the caller frees imageData with free.
  void decode(const char* fileName);
  // Creates and fills the GL texture from the fields.
  bool create();
  void createEmpty(uint32_t width, uint32_t height, GLint internalFormat, bool mipmaps);
  // For render targets: a new GL texture of the new size.
  void resize(uint32_t width, uint32_t height);

  uint32_t get_width() const { return width; }
  uint32_t get_height() const { return height; }
  // Makes unit 0 active and binds the texture there.
  void bind() const;
  float aspect() const;
  // Level 0 as width x height x 4 bytes; the caller frees the buffer with free.
  uint8_t* readPixels() const;
  // Every texel of level 0 to one colour (components 0..1, truncated to bytes).
  void fill(float r, float g, float b, float a);

  GLenum target() const { return samples > 0 ? GL_TEXTURE_2D_MULTISAMPLE : GL_TEXTURE_2D; }

  // CPU pixels, rows bottom-up, tightly packed: allocated by a loader with
  // malloc, released by create right after the upload; null otherwise.
  uint8_t* imageData = nullptr;
  uint32_t bpp = 0;  // bits per pixel of imageData: 24 or 32
  uint32_t width = 0;
  uint32_t height = 0;
  GLenum format = 0;  // GL_RGB or GL_RGBA
  // imageData goes on after level 0 with levels 1 to 1 x 1, made ahead by
  // appendMipmapChain: create uploads them instead of making them.
  bool chainFollows = false;
  GLuint id = 0;      // 0 while no GL texture exists
  GLenum wrap = GL_CLAMP_TO_EDGE;
  GLint internalFormat = 0;  // component count (3, 4) for loaded images
  bool mipmaps = false;
  GLenum minFilter = GL_LINEAR;
  GLenum magFilter = GL_LINEAR;
  uint32_t samples = 0;  // above 0: a multisample texture
};

// Makes the decoded picture's levels 1 to 1 x 1 after its pixels in
// imageData, for the decoding ahead (create then only uploads them): true.
// False, the picture as it was, for pixels of another kind or no memory.
bool appendMipmapChain(Texture& picture);

// Draws the whole texture on the screen rectangle (x, y)-(x + w, y + h), in
// normalised screen coordinates (0..1, origin lower left).
void drawTexture(const Texture& texture, float x, float y, float w, float h);
// A full-screen quad showing the texture window s0..s0 + sw, t0..t0 + th.
void drawTextureWindow(const Texture& texture, float sw, float th, float s0, float t0);

// For the texture bound to `target`: trilinear filtering (or the nearest
// level alone, see setMipmapBlending) with the chosen anisotropy (below),
// where the driver filters anisotropically at all.
void useTrilinearAnisotropic(GLenum target);

// Whether mipmapped textures made from now on blend their two nearest levels
// (trilinear filtering, the default) or filter within the nearest one alone.
// The start-up turns blending off on a software renderer, where it is half
// of every textured pixel's texel reads; a level's edge then may show as a
// faint line across a surface seen very aslant.
void setMipmapBlending(bool blend);

// Whether the driver has anisotropic filtering (the EXT or the ARB
// extension); without it neither its limit nor a texture's may be touched.
bool anisotropicFilteringSupported();

// Anisotropic filtering of every mipmapped texture, chosen once at start-up
// (process-wide, like the video settings). Until a choice is made, and for a
// choice of 0, textures get the driver's maximum.
void setTextureAnisotropy(float anisotropy);
// The choice for a driver: `requested` (from the command line) when above 0,
// limited to 1..maximum; otherwise 1 on a software renderer, where filtering
// with more samples costs most of the frame, and the maximum everywhere else.
float chooseAnisotropy(const char* renderer, float driverMaximum, int requested);
// Mesa's software rasterisers (llvmpipe, softpipe, swrast), by GL_RENDERER.
bool isSoftwareRenderer(const char* renderer);

// Mipmap chains of 2D textures, around the upload of level 0 of the texture
// bound to `target` (a cube map builds its chain after all six faces). ATI's drivers build the chain through GL_GENERATE_MIPMAP, which
// acts on uploads made after it is set, so prepareMipmaps sets it before the
// upload; every other driver builds the chain with glGenerateMipmapEXT in
// finishMipmaps. Without mipmaps the automatic generation is switched off.
// Either way every mipmapped texture has its whole chain after finishMipmaps.
void prepareMipmaps(GLenum target, bool mipmaps);
void finishMipmaps(GLenum target, bool mipmaps);
// The vendor rule: true when one of the words of GL_VENDOR is "ati" in any
// case ("ATI Technologies Inc."), not for words that merely contain it
// ("NVIDIA Corporation").
bool vendorIsAti(const char* vendor);

// A picture file's format, by its extension in any case (".jpeg" too).
enum class ImageFormat { Tga, Png, Jpg, Bmp, Unknown };
ImageFormat imageFormatOf(const char* fileName);

// The image loaders: fill imageData, bpp, width, height and format and
// return true, or return false, after noting why if they have a message of
// their own (noteFailure, util/error.h).
bool loadTGA(const char* fileName, Texture& texture);
bool loadBMP(const char* fileName, Texture& texture);
bool loadJPG(const char* fileName, Texture& texture);
bool loadPNG(Texture& texture, const char* fileName);
// The same from an open stream and from memory, for the decoding ahead of
// the loading (util/prefetch.h): they touch no GL and no data index.
bool decodeJPG(FILE* file, Texture& texture);
bool decodePNG(const uint8_t* bytes, size_t size, Texture& texture);
