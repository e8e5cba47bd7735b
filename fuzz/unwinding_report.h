#pragma once
// The engine's fatal report as a reader's target sees it: it unwinds with
// the message instead of ending the process, so that every input either
// reads or stops with the reader's own message and the fuzzer goes on.
// Include in the target's one source file: it defines the report.
#include <cstdarg>
#include <cstdio>
#include <string>

struct Stop {
  std::string message;
};

[[noreturn]] void fatalError(const char*, int, const char* format, ...) {
  char message[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  throw Stop{message};
}

[[noreturn]] void fatalErrorShort(const char*, int) { throw Stop{"(short report)"}; }
