#include "platform/file_watch.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <map>

struct FileWatch::State {
  int fd = -1;
  std::map<int, std::string> folders;  // by watch descriptor

  void watch(const std::string& folder) {
    const int wd = inotify_add_watch(fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE);
    if (wd < 0) return;
    folders[wd] = folder;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      if (entry->d_type == DT_DIR) watch(folder + "/" + name);
    }
    closedir(dir);
  }
};

FileWatch::FileWatch(const std::string& folder) : state_(std::make_unique<State>()) {
  state_->fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (state_->fd >= 0) state_->watch(folder);
}

FileWatch::~FileWatch() {
  if (state_->fd >= 0) close(state_->fd);
}

bool FileWatch::watching() const { return state_->fd >= 0 && !state_->folders.empty(); }

std::vector<std::string> FileWatch::changed() {
  std::vector<std::string> files;
  if (state_->fd < 0) return files;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t got = read(state_->fd, buffer, sizeof buffer);
    if (got <= 0) break;  // nothing more for now (EAGAIN)
    for (ssize_t at = 0; at < got;) {
      const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      auto folder = state_->folders.find(event->wd);
      if (folder == state_->folders.end() || event->len == 0) continue;
      const std::string path = folder->second + "/" + event->name;
      if (event->mask & IN_ISDIR) {
        if (event->mask & (IN_CREATE | IN_MOVED_TO)) state_->watch(path);
      } else if (event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) {
        // A file made is told when it is written and closed.
        if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
      }
    }
  }
  return files;
}
