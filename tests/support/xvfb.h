#pragma once
// A private X server for tests: Xvfb on a free display, with Mesa's
// llvmpipe behind GLX. Started by the constructor, stopped by the destructor.
#include <sys/types.h>

#include <string>

class XvfbServer {
 public:
  XvfbServer();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool running() const { return pid_ > 0; }
  const std::string& display() const { return display_; }  // ":N"

 private:
  pid_t pid_ = -1;
  std::string display_;
};
