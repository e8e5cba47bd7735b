#include "platform/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

extern char** environ;

FeedProcess::~FeedProcess() { stop(); }

bool FeedProcess::start(const std::vector<std::string>& args) {
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  for (std::string& arg : copies) argv.push_back(&arg[0]);
  argv.push_back(nullptr);

  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
  int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipeEnds[0]);
  if (failed) {
    close(pipeEnds[1]);
    return false;
  }
  pid_ = pid;
  input_ = pipeEnds[1];
  // A child that stops early makes the next write fail, not the show die.
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}

bool FeedProcess::running() const { return pid_ > 0; }

bool FeedProcess::write(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(input_, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool FeedProcess::finish() {
  if (pid_ <= 0) return false;
  if (input_ >= 0) close(input_);
  input_ = -1;
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void FeedProcess::stop() {
  if (pid_ <= 0) return;
  if (input_ >= 0) close(input_);
  input_ = -1;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}
