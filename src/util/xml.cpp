#include "util/xml.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstring>

namespace {

// Past `text` up to and including `end`, or to the text's end.
const char* skipPast(const char* text, const char* end) {
  const char* found = std::strstr(text, end);
  return found ? found + std::strlen(end) : text + std::strlen(text);
}

// Past a tag's closing '>', quoted values skipped; at the text's end when
// there is none. selfClosing tells whether "/>" closed it.
const char* skipTag(const char* p, bool& selfClosing) {
  char quote = 0;
  for (; *p; ++p) {
    if (quote) {
      if (*p == quote) quote = 0;
    } else if (*p == '"' || *p == '\'') {
      quote = *p;
    } else if (*p == '>') {
      selfClosing = p[-1] == '/';
      return p + 1;
    }
  }
  selfClosing = false;
  return p;
}

// Line ends as TinyXML's file reader leaves them: CR LF and lone CR become LF.
std::string normalisedLineEnds(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size() && bytes[i]; ++i) {
    if (bytes[i] != '\r') {
      text += bytes[i];
      continue;
    }
    text += '\n';
    if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
  }
  return text;
}

bool readAll(FILE* file, std::string& bytes) {
  if (std::fseek(file, 0, SEEK_SET) != 0) return false;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  return !std::ferror(file);
}

}  // namespace

size_t xmlNestingDepth(const char* text, size_t limit) {
  size_t depth = 0, deepest = 0;
  const char* p = text;
  while ((p = std::strchr(p, '<')) != nullptr) {
    if (std::strncmp(p, "<!--", 4) == 0) {
      p = skipPast(p + 4, "-->");
    } else if (std::strncmp(p, "<![CDATA[", 9) == 0) {
      p = skipPast(p + 9, "]]>");
    } else if (p[1] == '!' || p[1] == '?') {
      p = skipPast(p + 2, ">");
    } else if (p[1] == '/') {
      if (depth) --depth;
      p = skipPast(p + 2, ">");
    } else {
      bool selfClosing;
      p = skipTag(p + 1, selfClosing);
      deepest = std::max(deepest, depth + 1);  // an empty element is a level too
      if (deepest > limit) return limit + 1;
      if (!selfClosing) ++depth;
    }
  }
  return deepest;
}

std::string loadXml(TiXmlDocument& document, FILE* file) {
  std::string bytes;
  if (!readAll(file, bytes)) return "Error reading file.";
  std::string text = normalisedLineEnds(bytes);
  if (xmlNestingDepth(text.c_str(), kMostXmlDepth) > kMostXmlDepth)
    return "Elements nested deeper than " + std::to_string(kMostXmlDepth) + " levels";
  // TinyXML steps over a UTF-8 character by the length its first byte
  // claims, also past the text's end when it is cut inside one: three more
  // NULs keep every such step inside the buffer.
  text.append(3, '\0');
  document.Parse(text.c_str());
  return document.Error() ? document.ErrorDesc() : "";
}
