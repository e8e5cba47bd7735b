#include "platform/file_watch.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

// Every file's time, compared a few times a second.
struct FileWatch::State {
  std::string folder;
  std::map<std::string, fs::file_time_type> times;
  std::chrono::steady_clock::time_point lastLook;

  // The files whose time is new, and the times now.
  std::vector<std::string> look() {
    std::vector<std::string> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      if (!it->is_regular_file(error)) continue;
      std::string path = it->path().generic_string();
      const fs::file_time_type time = it->last_write_time(error);
      auto known = times.find(path);
      if (known == times.end() || known->second != time) {
        if (known != times.end() || !times.empty()) files.push_back(path);
        times[path] = time;
      }
    }
    return files;
  }
};

FileWatch::FileWatch(const std::string& folder) : state_(std::make_unique<State>()) {
  state_->folder = folder;
  state_->look();
  state_->lastLook = std::chrono::steady_clock::now();
}

FileWatch::~FileWatch() = default;

bool FileWatch::watching() const { return !state_->times.empty(); }

std::vector<std::string> FileWatch::changed() {
  const auto now = std::chrono::steady_clock::now();
  if (now - state_->lastLook < std::chrono::milliseconds(200)) return {};
  state_->lastLook = now;
  return state_->look();
}
