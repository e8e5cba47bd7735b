#pragma once
// Failures. Everything the engine cannot go on from is reported here, in one
// form: a caption and a text, from the source line that found it.
//
//   FATAL("Loading %s failed!", path)
//     caption "Error in file src/util/music/music.cpp:42",
//     text    caption + "\n\n" + detail
//   ASSERT(tex_loading)
//     the same, with the detail "Failed assert tex_loading"
//   FATAL_SHORT()
//     for operations that must be overridden and states that must not occur:
//     caption "Error", text "Error in file src/scenes/scene.cpp:17"
//
// What a failure does is not the engine's decision but the program's: the
// handler it sets (setFailureHandler) runs, and must not return. The show
// reports it on standard error and in a box and ends with exit code 1
// (fatal_report.h). Without a handler, or on a thread inside FailuresThrown,
// the failure is thrown as a Failure, for a caller that can go on: a reader
// under a fuzzer or a test, a reload that keeps what it had.
//
// A reader that gives up by returning false (the image loaders, the ASE
// reader, a shader stage) first says why with noteFailure. The note waits on
// its thread and rides with the failure its caller then reports:
//   loader:  noteFailure("ERROR", "Could not read image data"); return false;
//   caller:  if (!loaded) FATAL("Failed to load image %s!", name);
// and the report shows the loader's note first, then the caller's failure.
#include <cstdio>
#include <string>
#include <vector>

struct FailureNote {
  std::string caption;
  std::string text;
};

struct Failure {
  std::string caption;
  std::string text;
  std::vector<FailureNote> notes;  // what readers said on the way, oldest first
};

using FailureHandler = void (*)(const Failure& failure);
// Null: failures are thrown. The handler is process-wide, set once at start.
void setFailureHandler(FailureHandler handler);

// Says the failure's text on standard error and ends with exit code 1 (for
// programs without boxes).
[[noreturn]] void exitOnFailure(const Failure& failure);

// Writes the failure to the stream as the reports do: each note as
// "caption: text", then the text.
void writeFailure(const Failure& failure, FILE* stream);

// Keeps a reader's reason for this thread's next failure (see above).
void noteFailure(std::string caption, std::string text);
// Takes this thread's waiting notes: for a caller that goes on after a false
// result (the decoding ahead, a fuzzer) and for tests that check them.
std::vector<FailureNote> takeFailureNotes();

// While one lives, failures on its thread are thrown instead of handed to
// the program's handler. Scopes nest.
class FailuresThrown {
 public:
  FailuresThrown();
  ~FailuresThrown();
  FailuresThrown(const FailuresThrown&) = delete;
  FailuresThrown& operator=(const FailuresThrown&) = delete;

 private:
  bool before_;
};

[[noreturn]] void fatalError(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
[[noreturn]] void fatalErrorShort(const char* file, int line);
// A failure caught on another thread (inside FailuresThrown), reported on
// this one as if found here: the same caption, text and notes.
[[noreturn]] void raiseFailure(Failure failure);

#define FATAL(...) fatalError(__FILE__, __LINE__, __VA_ARGS__)
#define FATAL_SHORT() fatalErrorShort(__FILE__, __LINE__)
#define ASSERT(expr) \
  ((expr) ? (void)0 : fatalError(__FILE__, __LINE__, "Failed assert %s", #expr))
