#include "util/error.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<FailureHandler> failureHandler{nullptr};

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

[[noreturn]] void fail(Failure failure) {
  if (FailureHandler handler = failureHandler.load()) handler(failure);
  throw failure;  // no handler, or one that returned
}

}  // namespace

void setFailureHandler(FailureHandler handler) { failureHandler.store(handler); }

void exitOnFailure(const Failure& failure) {
  std::fprintf(stderr, "%s\n", failure.text.c_str());
  std::fflush(stderr);
  std::exit(1);
}

void fatalError(const char* file, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string detail = vformat(format, args);
  va_end(args);
  std::string caption = errorLocation(file, line);
  fail({caption, caption + "\n\n" + detail});
}

void fatalErrorShort(const char* file, int line) { fail({"Error", errorLocation(file, line)}); }
