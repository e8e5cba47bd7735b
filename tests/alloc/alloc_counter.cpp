#include "alloc_counter.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
}

namespace alloc_counter {
namespace {

constexpr int kDepth = 32;
constexpr int kKeptStacks = 4;
// Frames of the counter itself at the top of every stack: note() and the
// allocation function that called it.
constexpr int kOwnFrames = 2;

// The runtimes that allocate for whoever called them: look past them.
const char* const kRuntimes[] = {"/libc.so", "/libstdc++.so", "/libgcc_s.so", "/libm.so",
                                 "/ld-linux"};
// The libraries that do the show's own work when it asks them to.
const char* const kOurLibraries[] = {"/libftgl.so",    "/libfreetype.so", "/libvorbisfile.so",
                                     "/libvorbis.so",  "/libogg.so",      "/libmpg123.so",
                                     "/libtinyxml.so", "/libjpeg.so",     "/libpng16.so",
                                     "/libstb.so"};

thread_local bool watching = false;
thread_local bool inside = false;  // the counter's own work allocates nothing counted
std::atomic<size_t> ours{0};
std::atomic<size_t> others{0};
void* stacks[kKeptStacks][kDepth];
int stackDepths[kKeptStacks];

bool nameHasAny(const char* name, const char* const* parts, size_t count) {
  if (!name) return false;
  for (size_t i = 0; i < count; ++i)
    if (std::strstr(name, parts[i])) return true;
  return false;
}

const void* programBase() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&arm), &info);
  return info.dli_fbase;
}

bool isOurs(void* const* frames, int depth) {
  static const void* const program = programBase();
  for (int i = kOwnFrames; i < depth; ++i) {
    Dl_info info{};
    if (!dladdr(frames[i], &info)) return false;  // generated code: the driver's
    if (nameHasAny(info.dli_fname, kRuntimes, std::size(kRuntimes))) continue;
    return info.dli_fbase == program ||
           nameHasAny(info.dli_fname, kOurLibraries, std::size(kOurLibraries));
  }
  return false;
}

__attribute__((noinline)) void note() {
  if (!watching || inside) return;
  inside = true;
  void* frames[kDepth];
  const int depth = backtrace(frames, kDepth);
  if (isOurs(frames, depth)) {
    const size_t k = ours++;
    if (k < kKeptStacks) {
      std::memcpy(stacks[k], frames, sizeof frames);
      stackDepths[k] = depth;
    }
  } else {
    ++others;
  }
  inside = false;
}

std::string describe(void* address) {
  Dl_info info{};
  if (!dladdr(address, &info)) return "  ?";
  std::string name = info.dli_sname ? info.dli_sname : "?";
  int status = 0;
  if (char* demangled = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status)) {
    name = demangled;
    std::free(demangled);
  }
  char offset[64];
  std::snprintf(offset, sizeof offset, " +0x%zx",
                static_cast<size_t>(static_cast<char*>(address) -
                                    static_cast<char*>(info.dli_saddr ? info.dli_saddr
                                                                      : info.dli_fbase)));
  const char* file = info.dli_fname ? std::strrchr(info.dli_fname, '/') : nullptr;
  return "  " + name + offset + " (" + (file ? file + 1 : "?") + ")";
}

}  // namespace

void arm() {
  // backtrace() loads the unwinder on its first call; let that happen now.
  void* frames[kDepth];
  backtrace(frames, kDepth);
  programBase();
  ours = 0;
  others = 0;
  watching = true;
}

Counts disarm() {
  watching = false;
  Counts counts;
  counts.ours = ours;
  counts.system = others;
  for (size_t k = 0; k < counts.ours && k < kKeptStacks; ++k) {
    std::string text;
    for (int i = kOwnFrames; i < stackDepths[k]; ++i) text += describe(stacks[k][i]) + "\n";
    counts.oursStacks.push_back(text);
  }
  return counts;
}

}  // namespace alloc_counter

extern "C" {

void* malloc(size_t size) {
  void* pointer = __libc_malloc(size);
  alloc_counter::note();
  return pointer;
}

void* calloc(size_t count, size_t size) {
  void* pointer = __libc_calloc(count, size);
  alloc_counter::note();
  return pointer;
}

void* realloc(void* pointer, size_t size) {
  void* moved = __libc_realloc(pointer, size);
  alloc_counter::note();
  return moved;
}

}  // extern "C"
