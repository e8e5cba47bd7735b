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
// (fatal_report.h). Without a handler the failure is thrown as a Failure,
// for a caller that can go on: a reader under a fuzzer, a reload that keeps
// what it had.
#include <string>

struct Failure {
  std::string caption;
  std::string text;
};

using FailureHandler = void (*)(const Failure& failure);
// Null: failures are thrown. The handler is process-wide, set once at start.
void setFailureHandler(FailureHandler handler);

// Says the failure's text on standard error and ends with exit code 1 (for
// programs without boxes).
[[noreturn]] void exitOnFailure(const Failure& failure);

[[noreturn]] void fatalError(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
[[noreturn]] void fatalErrorShort(const char* file, int line);

#define FATAL(...) fatalError(__FILE__, __LINE__, __VA_ARGS__)
#define FATAL_SHORT() fatalErrorShort(__FILE__, __LINE__)
#define ASSERT(expr) \
  ((expr) ? (void)0 : fatalError(__FILE__, __LINE__, "Failed assert %s", #expr))
