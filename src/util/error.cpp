#include "util/error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/messagebox.h"

namespace {

std::string vformat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return std::string();
  std::string out(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(&out[0], out.size(), format, args);
  out.resize(static_cast<size_t>(length));
  return out;
}

std::string errorLocation(const char* file, int line) {
  char location[512];
  std::snprintf(location, sizeof location, "Error in file %s:%i", file, line);
  return location;
}

[[noreturn]] void report(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  showMessageBox(caption, text, BoxButtons::Ok, BoxIcon::Error);
  std::exit(1);
}

}  // namespace

void fatalError(const char* file, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string detail = vformat(format, args);
  va_end(args);
  std::string caption = errorLocation(file, line);
  report(caption, caption + "\n\n" + detail);
}

void fatalErrorShort(const char* file, int line) {
  report("Error", errorLocation(file, line));
}
