// The heap prepared for the loading: its range, where large blocks and other
// threads' blocks come from, that freed memory stays, and that the kernel
// took the request for large pages. Each case runs in a child process, whose
// allocator it changes for good.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

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

// Whether the page holding `address` is in memory.
bool resident(uintptr_t address) {
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  unsigned char in = 0;
  if (mincore(reinterpret_cast<void*>(address & ~(page - 1)), page, &in) != 0) return false;
  return (in & 1) != 0;
}

// Waits (at most a few seconds) until the page holding `address` is in memory.
bool becomesResident(uintptr_t address) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!resident(address)) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
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

// The faulting thread goes ahead of what the allocator has handed out, by
// the lead and no further, and leaves what lies below alone: a large block
// handed out before it started and never written stays out of memory.
TEST(PreparedHeap, PagesAreFaultedInAheadOfTheAllocatorByTheLeadOnly) {
  EXPECT_EQ(inChild([] {
              const PreparedHeap heap = prepareHeapForLoading(kHeap);
              if (heap.end <= heap.begin) return 0;  // no such heap here
              constexpr size_t kUntouched = size_t{16} << 20, kLead = size_t{8} << 20;
              char* const untouched = static_cast<char*>(std::malloc(kUntouched));
              const auto above = reinterpret_cast<uintptr_t>(untouched + kUntouched);
              startPrefaultingHeap(heap, kLead);
              if (!becomesResident(above + (size_t{5} << 20))) return 1;
              // Give it time to overrun, were it to.
              std::this_thread::sleep_for(std::chrono::milliseconds(50));
              const size_t faulted = stopPrefaultingHeap();
              if (faulted < (size_t{4} << 20) || faulted > kLead + (size_t{4} << 20)) return 2;
              if (resident(above + kLead + (size_t{4} << 20))) return 3;
              if (resident(reinterpret_cast<uintptr_t>(untouched) + kUntouched / 2)) return 4;
              std::free(untouched);
              return 0;
            }),
            0);
}

// Threads allocating and writing while pages are faulted in under them lose
// nothing, and memory the allocator says is cleared still reads as zeros.
TEST(PreparedHeap, FaultingInBesideWritingThreadsChangesNoByte) {
  EXPECT_EQ(inChild([] {
              const PreparedHeap heap = prepareHeapForLoading(kHeap);
              if (heap.end <= heap.begin) return 0;
              startPrefaultingHeap(heap, size_t{8} << 20);
              constexpr int kThreads = 2, kBlocks = 40;
              constexpr size_t kBlock = size_t{384} << 10;
              std::vector<std::vector<unsigned char*>> blocks(kThreads);
              std::vector<std::thread> writers;
              for (int t = 0; t < kThreads; ++t)
                writers.emplace_back([t, &blocks] {
                  for (int b = 0; b < kBlocks; ++b) {
                    auto* block = static_cast<unsigned char*>(std::malloc(kBlock));
                    for (size_t i = 0; i < kBlock; ++i) block[i] = static_cast<unsigned char>(t * 31 + b + i);
                    blocks[t].push_back(block);
                  }
                });
              for (std::thread& writer : writers) writer.join();
              auto* cleared = static_cast<unsigned char*>(std::calloc(size_t{3} << 20, 1));
              stopPrefaultingHeap();
              for (int t = 0; t < kThreads; ++t)
                for (int b = 0; b < kBlocks; ++b)
                  for (size_t i = 0; i < kBlock; ++i)
                    if (blocks[t][b][i] != static_cast<unsigned char>(t * 31 + b + i)) return 1;
              for (size_t i = 0; i < (size_t{3} << 20); ++i)
                if (cleared[i] != 0) return 2;
              return 0;
            }),
            0);
}

// An exit while it runs (a fatal error in the loading) ends the program
// with its own code, not in the runtime's abort.
TEST(PreparedHeap, AnExitWhileFaultingInEndsCleanly) {
  EXPECT_EQ(inChild([] {
              startPrefaultingHeap(prepareHeapForLoading(kHeap), size_t{8} << 20);
              std::this_thread::sleep_for(std::chrono::milliseconds(5));
              std::exit(7);
              return 0;
            }),
            7);
}
