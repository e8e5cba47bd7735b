#pragma once
// What the engine needs of the operating system besides the video layer:
// where the program lies, memory read as a file, the time of day, files and
// folders, and a quieter thread. One implementation per system
// (platform/linux, platform/windows).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The folder the running program lies in, ending in its separator; "" when
// the system does not say.
std::string executableFolder();

// A read-only stream over `size` bytes at `data`, which must stay put while
// the stream is open (an empty range is a valid, empty stream). Null when the
// system cannot make one.
FILE* openMemoryStream(const uint8_t* data, size_t size);

struct UtcTime {
  int year, month, day, hour, minute, second, millisecond;
};
UtcTime utcNow();

bool isFile(const std::string& path);
bool isFolder(const std::string& path);
// Makes the folder unless it is there; true when it is there afterwards.
bool makeFolder(const std::string& path);
bool removeFile(const std::string& path);
// Gives the file `from` the name `to`, replacing a file of that name.
bool renameFile(const std::string& from, const std::string& to);

// A new file in the system's temporary folder whose name ends in `ending`,
// holding `bytes`; its path, or "" when it could not be written.
std::string writeTemporaryFile(const std::string& ending, const std::vector<uint8_t>& bytes);

// The calling thread gives way to the show's own threads (a background
// decoder far ahead of what it feeds).
void lowerThreadPriority();

// True when a program of this name can be started from the PATH.
bool programOnPath(const std::string& name);

// The loading touches a few hundred megabytes for the first time: decoded
// pictures, the driver's copies of them, the data file's contents. Each
// first touch of a page costs the system a fault, which on some machines
// (virtual ones above all) costs more than the work done in the page. Called
// first thing, before any thread starts: the heap is grown once by `bytes`
// and asked for large pages, so fresh memory comes a 2 MB page at a time
// where the system allows them; every thread allocates from it, large blocks
// included; and what is freed stays there for the next allocation instead of
// going back to the system and coming back as fresh pages. What it made,
// for the checks: empty where the system has no such heap (then nothing
// changed).
struct PreparedHeap {
  uintptr_t begin = 0, end = 0;  // the range asked for large pages
  bool largePages = false;        // the system took the request
};
PreparedHeap prepareHeapForLoading(size_t bytes);

// Takes the system's work on fresh pages off the loading's own threads: a
// thread faults the prepared heap's pages in ahead of the highest address the
// allocator has handed out, at most `lead` bytes beyond it, so that the
// threads allocating next find their pages ready (and the allocator, which
// all threads share, is not held while the system clears a page for one of
// them). Pages below that address, even untouched ones, are left alone; the
// cost is up to `lead` bytes faulted in that the loading may not need.
// Nothing happens where the heap was not prepared. Stopping returns how many
// bytes it faulted in.
void startPrefaultingHeap(const PreparedHeap& heap, size_t lead);
size_t stopPrefaultingHeap();
