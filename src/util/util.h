#pragma once
// Small helpers over the file access layer.
#include <memory>
#include <string>
#include <vector>

class AtlasFont;
class FTFont;

// Whether text ends with ending (a file name with its extension, say).
bool endsWith(const std::string& text, const char* ending);
// The last `count` characters of the name (all of a shorter one),
// lower-cased byte by byte: an extension to compare in any case.
std::string lowerTail(const char* fileName, size_t count);

// Appends the lines of a text file, without their line feeds. A line feed
// at the very end starts no further line.
void readLines(const char* path, std::vector<std::string>& lines);

// One printf-formatted line (at most 255 characters; longer ones are cut)
// with the font at the modelview's origin, scaled so that text keeps its size
// relative to the picture width (the font's own size at 1280 pixels). The
// current colour is the caller's. A null format draws nothing.
void drawText(FTFont* font, int viewWidth, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// The same over a black shadow: the white text lies shadowOffset font units
// right of and above it, both with the given alpha; the colour is left white.
void drawTextShadowed(FTFont* font, int viewWidth, float shadowOffset, float alpha,
                      const char* format, ...) __attribute__((format(printf, 5, 6)));

// A font over the whole font file held in memory (which the font library
// reads glyphs from for the font's lifetime) at this face size (72 dpi),
// with the Unicode character map and its glyphs made and uploaded: drawing
// with it never allocates (see atlas_font.h). Needs the GL context.
std::unique_ptr<AtlasFont> loadFont(const char* path, unsigned faceSize);
