#pragma once
// Small helpers over the file access layer.
#include <string>
#include <vector>

class FTBufferFont;

// Appends the lines of a text file, without their line feeds. A line feed
// at the very end starts no further line.
void readLines(const char* path, std::vector<std::string>& lines);

// A buffer font over the whole font file held in memory (which the font
// library reads glyphs from for the font's lifetime); the caller sets its
// face size and character map.
FTBufferFont* loadFont(const char* path);
