#pragma once
// AtlasFont: an FTGL font whose glyphs all live in one texture, made while
// loading, so that drawing text costs no allocation, no rasterising and no
// upload, whatever the text and however often it changes.
//
// FTGL lays the text out (advances, kerning) and calls each glyph to draw
// itself; this font's glyphs are textured quads into its atlas. The atlas
// holds the printable ASCII characters, rasterised when the font is made;
// any other character is laid out but not drawn. Rendering keeps FTGL's
// texture fonts' GL behaviour: blending (source alpha, one minus source
// alpha) and 2D texturing are switched on for the call and put back after
// it; the atlas stays bound on the active unit.
//
// Needs a current GL context (the atlas is uploaded by the constructor).
#include <FTGL/ftgl.h>

#include <cstdint>
#include <utility>
#include <vector>

// The font file a font reads from. A base ahead of FTFont, so the bytes go
// only after FTFont's destructor has closed the FreeType face over them.
class AtlasFontFile {
 protected:
  explicit AtlasFontFile(std::vector<unsigned char> bytes) : file_(std::move(bytes)) {}
  std::vector<unsigned char> file_;
};

class AtlasFont : private AtlasFontFile, public FTFont {
 public:
  // Over the font file's bytes, which the font keeps and frees with itself;
  // the face size in points at 72 dpi (pixels) and the Unicode character
  // map. Error() says whether FreeType could read the file; the atlas is
  // made only if so.
  AtlasFont(std::vector<unsigned char> file, unsigned faceSize);
  ~AtlasFont() override;

  // A new size rebuilds the atlas.
  bool FaceSize(const unsigned int size, const unsigned int res = 72) override;
  unsigned int FaceSize() const override { return FTFont::FaceSize(); }

  FTPoint Render(const char* string, const int len = -1, FTPoint position = FTPoint(),
                 FTPoint spacing = FTPoint(), int renderMode = FTGL::RENDER_ALL) override;
  FTPoint Render(const wchar_t* string, const int len = -1, FTPoint position = FTPoint(),
                 FTPoint spacing = FTPoint(), int renderMode = FTGL::RENDER_ALL) override;

  unsigned texture() const { return texture_; }
  int atlasWidth() const { return width_; }
  int atlasHeight() const { return height_; }
  // Glyphs with a picture that the atlas had no room for (drawn as nothing).
  int unplaced() const { return unplaced_; }

  // Where a glyph's bitmap went in the atlas: rows from the top.
  struct Cell {
    int x = 0, y = 0, width = 0, height = 0;
    bool placed = false;  // false: no room (the glyph is laid out, not drawn)
  };

 protected:
  FTGlyph* MakeGlyph(FT_GlyphSlot slot) override;

 private:
  class Glyph;  // a textured quad into the atlas

  void build();
  // Renders the slot's outline and copies the bitmap into the atlas.
  Cell rasterise(FT_GlyphSlot slot);
  template <class Char>
  FTPoint renderWith(const Char* string, int len, FTPoint position, FTPoint spacing, int renderMode);

  unsigned texture_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool sealed_ = false;           // uploaded: the atlas takes no more glyphs
  std::vector<uint8_t> pixels_;   // the atlas until it is uploaded
  int shelfX_ = 0, shelfY_ = 0, shelfHeight_ = 0;
  int unplaced_ = 0;
};
