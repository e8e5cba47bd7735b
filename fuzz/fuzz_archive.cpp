// libFuzzer target: arbitrary bytes as a whole data.mvl archive, through the
// same parser the program reads its archive with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "util/data/data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
  DataIndex index;
  parseArchive(bytes, length, index);
  return 0;
}

// The parser reports through its return value and never reaches these; they
// only satisfy the linker, which sees them referenced from the same module.
[[noreturn]] void fatalError(const char*, int, const char*, ...) { std::abort(); }
[[noreturn]] void fatalErrorShort(const char*, int) { std::abort(); }
void drawLoadingScreen() { std::abort(); }
