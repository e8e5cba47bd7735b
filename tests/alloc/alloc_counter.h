#pragma once
// Counts the heap allocations a thread makes while the counter is armed,
// split into ours and the system's. Linked into a test program, it stands
// in front of the C library's malloc, calloc and realloc (operator new goes
// through malloc), so every allocation of the process passes it.
//
// An allocation is ours when the first caller outside the C and C++
// runtimes is the program itself or a library that does the show's own
// work at its request (fonts, text, sound decoding, XML, images). Calls
// made by the OpenGL driver, the window system and SDL are the system's:
// counted apart, and reported, but not ours to remove.
#include <cstddef>
#include <string>
#include <vector>

namespace alloc_counter {

struct Counts {
  size_t ours = 0;
  size_t system = 0;
  // Where the first of ours came from (a few call stacks, symbolised).
  std::vector<std::string> oursStacks;
};

// Counting starts for the calling thread (only that thread is watched).
void arm();
// Counting stops; what was counted since arm().
Counts disarm();

}  // namespace alloc_counter
