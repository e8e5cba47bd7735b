#pragma once
// Which files changed under a folder, for maker mode: the Linux build asks
// the kernel (inotify), the Windows build compares the files' times.
#include <memory>
#include <string>
#include <vector>

class FileWatch {
 public:
  // Watches `folder` ("data") and every folder in it, new ones included.
  explicit FileWatch(const std::string& folder);
  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  // False when the system would not watch (the show then says so and
  // reloads only when asked).
  bool watching() const;
  // The files written, made or moved in since the last call, each once, as
  // "folder/sub/name" with forward slashes; never waits.
  std::vector<std::string> changed();

 private:
  struct State;
  std::unique_ptr<State> state_;
};
