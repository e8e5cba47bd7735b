#include "tempfiles.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

std::vector<TempDir*>& live() {
  static std::vector<TempDir*>* dirs = new std::vector<TempDir*>;  // outlives every TempDir
  return *dirs;
}

}  // namespace

void removeTempDirsAtExit() {
  for (TempDir* dir : live()) dir->remove();
}

TempDir::TempDir() : owner_(getpid()) {
  char name[] = "/tmp/tinlantern-test-XXXXXX";
  if (mkdtemp(name)) path_ = name;
  static bool registered = std::atexit(removeTempDirsAtExit) == 0;
  (void)registered;
  live().push_back(this);
}

TempDir::~TempDir() {
  remove();
  auto& dirs = live();
  dirs.erase(std::remove(dirs.begin(), dirs.end(), this), dirs.end());
}

void TempDir::remove() {
  if (path_.empty() || owner_ != getpid()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const { return path_ + "/" + name; }

std::string TempDir::write(const std::string& name, const std::string& contents) const {
  std::string path = file(name);
  std::ofstream(path, std::ios::binary) << contents;
  return path;
}
