#include "util/util.h"

#include <FTGL/ftgl.h>

#include <GL/glew.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "util/atlas_font.h"
#include "util/data/data.h"
#include "util/error.h"

void readLines(const char* path, std::vector<std::string>& lines) {
  FILE* file = dataFopen(path, "rt");
  if (!file) FATAL("Failed to open file %s\n", path);
  std::string line;
  bool open = false;  // a line has started and not ended yet
  for (int c; (c = std::fgetc(file)) != EOF;) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
    } else {
      line += static_cast<char>(c);
      open = true;
    }
  }
  if (open) lines.push_back(line);
  std::fclose(file);
}

namespace {

const int kTextBuffer = 256;

// What both text operations do first: format the line (cut to the buffer),
// keep units 1 to 4 from tinting the glyphs on unit 0, and scale with the
// picture's width.
void beginText(char (&text)[kTextBuffer], int viewWidth, const char* format, va_list args) {
  std::vsnprintf(text, sizeof text, format, args);
  for (GLenum unit = 1; unit <= 4; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  glActiveTexture(GL_TEXTURE0);
  glPushMatrix();
  float s = viewWidth * 0.00078125f;  // 1 / 1280
  glScalef(s, s, s);
}

void renderLine(FTFont* font, const char* text) {
  font->Render(text, -1, FTPoint(0, 0, 0), FTPoint(0, 0, 0), FTGL::RENDER_ALL);
}

}  // namespace

void drawText(FTFont* font, int viewWidth, const char* format, ...) {
  if (!format) return;
  char text[kTextBuffer];
  va_list args;
  va_start(args, format);
  beginText(text, viewWidth, format, args);
  va_end(args);
  renderLine(font, text);
  glPopMatrix();
}

void drawTextShadowed(FTFont* font, int viewWidth, float shadowOffset, float alpha,
                      const char* format, ...) {
  if (!format) return;
  char text[kTextBuffer];
  va_list args;
  va_start(args, format);
  beginText(text, viewWidth, format, args);
  va_end(args);
  glColor4f(0.0f, 0.0f, 0.0f, alpha);
  renderLine(font, text);
  glTranslatef(shadowOffset, shadowOffset, 0.0f);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  renderLine(font, text);
  glPopMatrix();
}

std::unique_ptr<AtlasFont> loadFont(const char* path, unsigned faceSize) {
  FILE* file = dataFopen(path, "rb");
  if (!file) FATAL("fp is NULL");
  std::fseek(file, 0, SEEK_END);
  long length = std::ftell(file);
  std::rewind(file);
  if (length < 0) length = 0;
  std::vector<unsigned char> bytes(static_cast<size_t>(length) + 1);
  size_t got = std::fread(bytes.data(), 1, static_cast<size_t>(length), file);
  std::fclose(file);
  if (got < 1)
    FATAL("Tried to read %i bytes from %s, got %i", static_cast<int>(length), path,
          static_cast<int>(got));
  bytes.resize(got);
  auto font = std::make_unique<AtlasFont>(std::move(bytes), faceSize);  // the font keeps the bytes
  if (font->Error()) FATAL("Failed to load font %s (FreeType error %i)", path, font->Error());
  return font;
}

std::string lowerTail(const char* fileName, size_t count) {
  size_t length = std::strlen(fileName);
  std::string tail(fileName + (length > count ? length - count : 0));
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail;
}

bool endsWith(const std::string& text, const char* ending) {
  const size_t n = std::strlen(ending);
  return text.size() >= n && text.compare(text.size() - n, n, ending) == 0;
}
