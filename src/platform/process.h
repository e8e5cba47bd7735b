#pragma once
// A child program fed through its standard input: the video encoder of a
// capture. It runs in a process group of its own, so an interrupt from the
// terminal reaches the show, which then stops the child itself.
#include <cstddef>
#include <string>
#include <vector>

class FeedProcess {
 public:
  FeedProcess() = default;
  ~FeedProcess();  // stops a child still running
  FeedProcess(const FeedProcess&) = delete;
  FeedProcess& operator=(const FeedProcess&) = delete;

  // Starts args[0], looked up on the PATH, with the rest as its arguments;
  // false when it could not be started.
  bool start(const std::vector<std::string>& args);
  bool running() const;
  // Hands the bytes to the child's standard input; false when it takes no more.
  bool write(const void* data, size_t size);
  // Closes its input and waits for it: true when it ended with exit code 0.
  bool finish();
  // Stops it at once and waits for it.
  void stop();

 private:
#ifdef _WIN32
  void* process_ = nullptr;  // HANDLE
  void* input_ = nullptr;    // HANDLE
#else
  int pid_ = -1;
  int input_ = -1;
#endif
};
