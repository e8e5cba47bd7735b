#include "util/error.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

std::atomic<FailureHandler> failureHandler{nullptr};
thread_local bool failuresThrown = false;
// Made by a thread's first note. Only trivial thread-locals here: a thread
// that never notes (a worker, the decoding ahead) leaves nothing to destroy
// when it ends, and MinGW's handling of thread-local destructors is best
// not relied on. A thread that noted leaves its empty list behind.
thread_local std::vector<FailureNote>* waitingNotes = nullptr;

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

[[noreturn]] void fail(std::string caption, std::string text) {
  raiseFailure(Failure{std::move(caption), std::move(text), takeFailureNotes()});
}

}  // namespace

void setFailureHandler(FailureHandler handler) { failureHandler.store(handler); }

void writeFailure(const Failure& failure, FILE* stream) {
  for (const FailureNote& note : failure.notes)
    std::fprintf(stream, "%s: %s\n", note.caption.c_str(), note.text.c_str());
  std::fprintf(stream, "%s\n", failure.text.c_str());
  std::fflush(stream);
}

void exitOnFailure(const Failure& failure) {
  writeFailure(failure, stderr);
  std::exit(1);
}

void noteFailure(std::string caption, std::string text) {
  if (!waitingNotes) waitingNotes = new std::vector<FailureNote>;
  waitingNotes->push_back({std::move(caption), std::move(text)});
}

std::vector<FailureNote> takeFailureNotes() {
  std::vector<FailureNote> notes;
  if (waitingNotes) notes.swap(*waitingNotes);
  return notes;
}

FailuresThrown::FailuresThrown() : before_(failuresThrown) { failuresThrown = true; }
FailuresThrown::~FailuresThrown() { failuresThrown = before_; }

void fatalError(const char* file, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string detail = vformat(format, args);
  va_end(args);
  std::string caption = errorLocation(file, line);
  std::string text = caption + "\n\n" + detail;
  fail(std::move(caption), std::move(text));
}

void fatalErrorShort(const char* file, int line) { fail("Error", errorLocation(file, line)); }

void raiseFailure(Failure failure) {
  if (!failuresThrown)
    if (FailureHandler handler = failureHandler.load()) handler(failure);
  throw failure;  // thrown here, no handler, or one that returned
}
