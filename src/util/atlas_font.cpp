#include "util/atlas_font.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Space between glyphs, so that linear filtering of one never reaches the next.
constexpr int kPadding = 2;

// The characters the atlas holds: printable ASCII.
constexpr char kPrepared[] =
    " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
    "abcdefghijklmnopqrstuvwxyz{|}~";

int nextPowerOfTwo(int n) {
  int p = 1;
  while (p < n) p <<= 1;
  return p;
}

}  // namespace

// Drawn by FTGL inside the font's glBegin(GL_QUADS) .. glEnd(): it only
// gives vertices.
class AtlasFont::Glyph : public FTGlyph {
 public:
  Glyph(FT_GlyphSlot slot, AtlasFont& font)
      : FTGlyph(slot),  // advance and bounds from the outline, before it is rasterised
        font_(font),
        cell_(font.rasterise(slot)),
        left_(static_cast<float>(slot->bitmap_left)),
        top_(static_cast<float>(slot->bitmap_top)),
        advance_(FTGlyph::Advance(), 0.0f) {}

  const FTPoint& Render(const FTPoint& pen, int) override {
    if (!cell_.placed || cell_.width == 0 || cell_.height == 0) return advance_;
    // Whole pixels of the font's own size, as FTGL's texture glyphs do.
    const float x = std::floor(pen.Xf() + left_);
    const float y = std::floor(pen.Yf() + top_);
    const float w = static_cast<float>(cell_.width), h = static_cast<float>(cell_.height);
    const float s0 = static_cast<float>(cell_.x) / font_.width_;
    const float s1 = static_cast<float>(cell_.x + cell_.width) / font_.width_;
    const float t0 = static_cast<float>(cell_.y) / font_.height_;
    const float t1 = static_cast<float>(cell_.y + cell_.height) / font_.height_;
    glTexCoord2f(s0, t0);
    glVertex2f(x, y);
    glTexCoord2f(s0, t1);
    glVertex2f(x, y - h);
    glTexCoord2f(s1, t1);
    glVertex2f(x + w, y - h);
    glTexCoord2f(s1, t0);
    glVertex2f(x + w, y);
    return advance_;
  }

 private:
  const AtlasFont& font_;
  Cell cell_;
  float left_, top_;
  FTPoint advance_;
};

AtlasFont::AtlasFont(std::vector<unsigned char> file, unsigned faceSize)
    : AtlasFontFile(std::move(file)), FTFont(file_.data(), file_.size()) {
  if (Error()) return;
  // Outlines rasterised without hinting: the text is drawn scaled.
  GlyphLoadFlags(FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
  CharMap(ft_encoding_unicode);
  FaceSize(faceSize, 72);
}

AtlasFont::~AtlasFont() {
  if (texture_) glDeleteTextures(1, &texture_);
}

bool AtlasFont::FaceSize(const unsigned int size, const unsigned int res) {
  // FTGL drops every glyph of the old size; the atlas starts again.
  if (!FTFont::FaceSize(size, res)) return false;
  build();
  return true;
}

void AtlasFont::build() {
  if (texture_) glDeleteTextures(1, &texture_);
  texture_ = 0;
  sealed_ = false;
  // About square for the prepared set: its glyphs are some 0.6 of the size
  // wide and 1.2 high.
  width_ = std::min(4096, std::max(256, nextPowerOfTwo(static_cast<int>(FTFont::FaceSize()) * 8)));
  height_ = 0;
  pixels_.clear();
  shelfX_ = shelfY_ = shelfHeight_ = 0;
  unplaced_ = 0;

  Advance(kPrepared);  // makes every prepared glyph, into pixels_

  height_ = nextPowerOfTwo(std::max(1, shelfY_ + shelfHeight_));
  pixels_.resize(static_cast<size_t>(width_) * height_, 0);
  glGenTextures(1, &texture_);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, width_, height_, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
               pixels_.data());
  glPopClientAttrib();
  glBindTexture(GL_TEXTURE_2D, 0);
  std::vector<uint8_t>().swap(pixels_);
  sealed_ = true;
}

AtlasFont::Cell AtlasFont::rasterise(FT_GlyphSlot slot) {
  Cell cell;
  if (sealed_ || FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0 ||
      slot->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
    ++unplaced_;
    return cell;
  }
  const FT_Bitmap& bitmap = slot->bitmap;
  cell.width = static_cast<int>(bitmap.width);
  cell.height = static_cast<int>(bitmap.rows);
  if (cell.width == 0 || cell.height == 0) return cell;  // a space
  if (cell.width + 2 * kPadding > width_) {
    ++unplaced_;
    return cell;
  }
  if (shelfX_ + cell.width + 2 * kPadding > width_) {  // the next shelf
    shelfY_ += shelfHeight_;
    shelfX_ = 0;
    shelfHeight_ = 0;
  }
  cell.x = shelfX_ + kPadding;
  cell.y = shelfY_ + kPadding;
  shelfX_ += cell.width + 2 * kPadding;
  shelfHeight_ = std::max(shelfHeight_, cell.height + 2 * kPadding);

  const size_t rows = static_cast<size_t>(shelfY_ + shelfHeight_);
  if (pixels_.size() < rows * width_) pixels_.resize(rows * width_, 0);
  for (int row = 0; row < cell.height; ++row) {
    const unsigned char* from = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
    if (bitmap.pitch < 0) from = bitmap.buffer + static_cast<ptrdiff_t>(cell.height - 1 - row) * -bitmap.pitch;
    std::memcpy(&pixels_[static_cast<size_t>(cell.y + row) * width_ + cell.x], from,
                static_cast<size_t>(cell.width));
  }
  cell.placed = true;
  return cell;
}

FTGlyph* AtlasFont::MakeGlyph(FT_GlyphSlot slot) { return new Glyph(slot, *this); }

template <class Char>
FTPoint AtlasFont::renderWith(const Char* string, int len, FTPoint position, FTPoint spacing,
                              int renderMode) {
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glBegin(GL_QUADS);
  FTPoint end = FTFont::Render(string, len, position, spacing, renderMode);
  glEnd();
  glPopAttrib();
  return end;
}

FTPoint AtlasFont::Render(const char* string, const int len, FTPoint position, FTPoint spacing,
                          int renderMode) {
  return renderWith(string, len, position, spacing, renderMode);
}

FTPoint AtlasFont::Render(const wchar_t* string, const int len, FTPoint position,
                          FTPoint spacing, int renderMode) {
  return renderWith(string, len, position, spacing, renderMode);
}
