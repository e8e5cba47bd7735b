// The heap prepared for the loading: its range, where large blocks and other
// threads' blocks come from, that freed memory stays, and that the kernel
// took the request for large pages. Each case runs in a child process, whose
// allocator it changes for good.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/system.h"

namespace {

constexpr size_t kHeap = size_t{64} << 20;

// Runs `check` in a child; its exit code (0 when every condition held,
// otherwise the number of the first that did not).
template <class Check>
int inChild(Check check) {
  const pid_t child = fork();
  if (child == 0) _exit(check());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool inside(const PreparedHeap& heap, const void* block, size_t bytes) {
  const auto at = reinterpret_cast<uintptr_t>(block);
  return at >= heap.begin - (uintptr_t{2} << 20) && at + bytes <= heap.end + (uintptr_t{2} << 20);
}

// The kernel's flags of the mapping holding `address` ("hg": asked for large pages).
std::string mappingFlags(uintptr_t address) {
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool holds = false;
  while (std::getline(smaps, line)) {
    unsigned long from, to;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2) {  // a mapping's first line
      holds = address >= from && address < to;
    } else if (holds && line.rfind("VmFlags:", 0) == 0) {
      return line;
    }
  }
  return "";
}

}  // namespace

TEST(PreparedHeap, LargeBlocksAndOtherThreadsTakeFromItAndWhatIsFreedStays) {
  EXPECT_EQ(inChild([] {
              const PreparedHeap heap = prepareHeapForLoading(kHeap);
              if (heap.end <= heap.begin || heap.end - heap.begin < kHeap - (size_t{4} << 20)) return 1;
              // 20 MB: far above glibc's usual threshold for a mapping of its own.
              constexpr size_t kBlock = size_t{20} << 20;
              void* volatile block = std::malloc(kBlock);
              if (!inside(heap, block, kBlock)) return 2;
              void* volatile other = nullptr;
              std::thread([&other] { other = std::malloc(size_t{1} << 20); }).join();
              if (!inside(heap, other, size_t{1} << 20)) return 3;
              const void* end = sbrk(0);
              std::free(block);
              if (sbrk(0) != end) return 4;  // nothing handed back
              void* volatile again = std::malloc(kBlock);
              if (!inside(heap, again, kBlock)) return 5;
              std::free(again);
              std::free(other);
              return 0;
            }),
            0);
}

TEST(PreparedHeap, TheKernelIsAskedForLargePagesOverTheWholeRange) {
  EXPECT_EQ(inChild([] {
              const PreparedHeap heap = prepareHeapForLoading(kHeap);
              if (!heap.largePages) return 0;  // a kernel without them: nothing to see
              const std::string first = mappingFlags(heap.begin);
              const std::string last = mappingFlags(heap.end - 1);
              if (first.find(" hg") == std::string::npos) return 1;
              if (last.find(" hg") == std::string::npos) return 2;
              return 0;
            }),
            0);
}
