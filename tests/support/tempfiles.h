#pragma once
// Unique temporary names for tests. A TempDir is a fresh folder under /tmp;
// it is removed with everything in it when it goes out of scope, and also
// when its process ends through exit() (a fatal error inside a death test),
// but never by another process that inherited it (a death test's fork).
#include <sys/types.h>

#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path()/name.
  std::string file(const std::string& name) const;
  // Writes `contents` to path()/name and returns that path.
  std::string write(const std::string& name, const std::string& contents) const;

 private:
  void remove();

  std::string path_;
  pid_t owner_;
  friend void removeTempDirsAtExit();
};
