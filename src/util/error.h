#pragma once
// The fatal error report. Every failure that ends the program goes through
// here: one message in one form, on standard error and (unless message boxes
// are off, see platform/messagebox.h) in a modal box, then exit code 1.
//
//   FATAL("Loading %s failed!", path)
//     caption "Error in file src/util/music/music.cpp:42",
//     text    caption + "\n\n" + detail
//   ASSERT(tex_loading)
//     the same, with the detail "Failed assert tex_loading"
//   FATAL_SHORT()
//     for operations that must be overridden and states that must not occur:
//     caption "Error", text "Error in file src/scenes/scene.cpp:17"

[[noreturn]] void fatalError(const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
[[noreturn]] void fatalErrorShort(const char* file, int line);

#define FATAL(...) fatalError(__FILE__, __LINE__, __VA_ARGS__)
#define FATAL_SHORT() fatalErrorShort(__FILE__, __LINE__)
#define ASSERT(expr) \
  ((expr) ? (void)0 : fatalError(__FILE__, __LINE__, "Failed assert %s", #expr))
