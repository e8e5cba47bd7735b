#include "util/util.h"

#include <FTGL/ftgl.h>

#include <cstdio>

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

FTBufferFont* loadFont(const char* path) {
  FILE* file = dataFopen(path, "rb");
  if (!file) FATAL("fp is NULL");
  std::fseek(file, 0, SEEK_END);
  long length = std::ftell(file);
  std::rewind(file);
  if (length < 0) length = 0;
  // Owned by the font for the rest of the process.
  unsigned char* bytes = new unsigned char[static_cast<size_t>(length) + 1];
  size_t got = std::fread(bytes, 1, static_cast<size_t>(length), file);
  std::fclose(file);
  if (got < 1)
    FATAL("Tried to read %i bytes from %s, got %i", static_cast<int>(length), path,
          static_cast<int>(got));
  FTBufferFont* font = new FTBufferFont(bytes, got);
  if (font->Error()) FATAL("Failed to load font %s (FreeType error %i)", path, font->Error());
  return font;
}
