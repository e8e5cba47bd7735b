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

#include <cstdint>
#include <cstdio>
#include <cstdlib>

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
  constexpr uintptr_t kLargePage = 2 << 20;
  heap.begin = (before + kLargePage - 1) & ~(kLargePage - 1);
  heap.end = after & ~(kLargePage - 1);
  if (heap.end <= heap.begin) return {};
  heap.largePages = madvise(reinterpret_cast<void*>(heap.begin), heap.end - heap.begin, MADV_HUGEPAGE) == 0;
#else
  (void)bytes;
#endif
  return heap;
}
