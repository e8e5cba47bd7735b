#include "platform/system.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>

std::string executableFolder() {
  char exe[4096];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length <= 0) return "";
  std::string path(exe, static_cast<size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

FILE* openMemoryStream(const uint8_t* data, size_t size) {
  // glibc would allocate (and write past) a buffer of its own for a null
  // one, which an empty range may have.
  static uint8_t nothing;
  return fmemopen(size == 0 ? &nothing : const_cast<uint8_t*>(data), size, "rb");
}

UtcTime utcNow() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm utc;
  gmtime_r(&now.tv_sec, &utc);
  return {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
          static_cast<int>(now.tv_nsec / 1000000)};
}

bool isFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool makeFolder(const std::string& path) {
  mkdir(path.c_str(), 0755);
  return isFolder(path);
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool renameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string writeTemporaryFile(const std::string& ending, const std::vector<uint8_t>& bytes) {
  const char* folder = std::getenv("TMPDIR");
  std::string path = std::string(folder && *folder ? folder : "/tmp") + "/tinlantern-XXXXXX" + ending;
  int fd = mkstemps(&path[0], static_cast<int>(ending.size()));
  if (fd < 0) return "";
  bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  if (close(fd) != 0 || !written) {
    unlink(path.c_str());
    return "";
  }
  return path;
}

void lowerThreadPriority() {
  // A thread's own nice value (Linux schedules threads as tasks).
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
}

bool programOnPath(const std::string& name) {
  return std::system(("command -v '" + name + "' >/dev/null 2>&1").c_str()) == 0;
}

namespace {
constexpr uintptr_t kLargePage = 2 << 20;
}

PreparedHeap prepareHeapForLoading(size_t bytes) {
  PreparedHeap heap;
#if defined(__GLIBC__)
  // Large blocks come from the heap too (up to the most glibc allows), one
  // arena serves every thread, and nothing is handed back.
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, INT32_MAX);
  // The next growth adds `bytes` beyond what it needs: a block grows the
  // heap once, and stays there, free, when it is freed. Only its addresses
  // are taken; no page of it is touched.
  mallopt(M_TOP_PAD, static_cast<int>(bytes));
  const uintptr_t before = reinterpret_cast<uintptr_t>(sbrk(0));
  void* volatile block = malloc(1 << 20);
  free(block);
  const uintptr_t after = reinterpret_cast<uintptr_t>(sbrk(0));
  mallopt(M_TOP_PAD, 128 << 10);  // later growth in modest steps again
  heap.begin = (before + kLargePage - 1) & ~(kLargePage - 1);
  heap.end = after & ~(kLargePage - 1);
  if (heap.end <= heap.begin) return {};
  heap.largePages = madvise(reinterpret_cast<void*>(heap.begin), heap.end - heap.begin, MADV_HUGEPAGE) == 0;
#else
  (void)bytes;
#endif
  return heap;
}

namespace {

struct Prefaulting {
  std::thread thread;
  std::atomic<bool> stop{false};
  std::atomic<size_t> faulted{0};
} prefaulting;

#if defined(__GLIBC__)
// The highest address the allocator has handed out: where the free block at
// the heap's top begins.
uintptr_t heapReached() {
#if __GLIBC_PREREQ(2, 33)
  const size_t topBlock = mallinfo2().keepcost;
#else
  const size_t topBlock = static_cast<unsigned>(mallinfo().keepcost);
#endif
  return reinterpret_cast<uintptr_t>(sbrk(0)) - topBlock;
}

void prefault(PreparedHeap heap, size_t lead) {
  // Each page is touched by a locked add of nothing, which leaves whatever
  // another thread wrote there as it was, and faults it in through the
  // ordinary path. (Asking the kernel to populate a range holds the lock on
  // the whole address space while it clears the pages, and the loading's
  // threads map memory all the time.) It runs at the loading's own priority:
  // it only does work they would otherwise do themselves, and it reads the
  // allocator's figures under the allocator's lock.
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  uintptr_t next = heap.begin, seen = 0;
  int pause = 1;  // milliseconds; longer while the allocator stands still (a dialog)
  while (!prefaulting.stop.load(std::memory_order_relaxed)) {
    const uintptr_t reached = heapReached() & ~(kLargePage - 1);
    if (next < reached) next = reached;
    if (next >= heap.end) return;
    if (next >= reached + lead) {
      pause = reached == seen ? std::min(pause * 2, 32) : 1;
      seen = reached;
      std::this_thread::sleep_for(std::chrono::milliseconds(pause));
      continue;
    }
    for (uintptr_t at = next; at < next + kLargePage; at += page)
      __atomic_fetch_add(reinterpret_cast<volatile char*>(at), 0, __ATOMIC_RELAXED);
    prefaulting.faulted.fetch_add(kLargePage, std::memory_order_relaxed);
    next += kLargePage;
  }
}
#endif

}  // namespace

void startPrefaultingHeap(const PreparedHeap& heap, size_t lead) {
#if defined(__GLIBC__)
  if (heap.end <= heap.begin || prefaulting.thread.joinable()) return;
  // An exit while loading (a fatal error, Escape) stops the thread first.
  static const bool registered = std::atexit([] { stopPrefaultingHeap(); }) == 0;
  (void)registered;
  prefaulting.stop = false;
  prefaulting.faulted = 0;
  try {
    prefaulting.thread = std::thread(prefault, heap, lead);
  } catch (const std::system_error&) {
    // No thread to be had: the loading faults its pages itself.
  }
#else
  (void)heap;
  (void)lead;
#endif
}

size_t stopPrefaultingHeap() {
  prefaulting.stop = true;
  if (prefaulting.thread.joinable()) prefaulting.thread.join();
  return prefaulting.faulted;
}
