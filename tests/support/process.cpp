#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

std::string tempPath() {
  char path[] = "/tmp/tinlantern-test-XXXXXX";
  int fd = mkstemp(path);
  if (fd >= 0) close(fd);
  return path;
}

[[noreturn]] void execWith(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  for (const std::string& entry : env) putenv(strdup(entry.c_str()));
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

}  // namespace

Child::~Child() {
  if (!stderrPath.empty()) unlink(stderrPath.c_str());
}

Child::Child(Child&& other) noexcept : pid(other.pid), stderrPath(std::move(other.stderrPath)) {
  other.pid = -1;
  other.stderrPath.clear();
}

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    if (!stderrPath.empty()) unlink(stderrPath.c_str());
    pid = other.pid;
    stderrPath = std::move(other.stderrPath);
    other.pid = -1;
    other.stderrPath.clear();
  }
  return *this;
}

Child spawnProcess(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  Child child;
  child.stderrPath = tempPath();
  pid_t pid = fork();
  if (pid == 0) {
    int err = open(child.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, 2);
    int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    execWith(args, env);
  }
  child.pid = pid;
  return child;
}

Conversation::Conversation(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  int in[2], out[2];
  if (pipe(in) != 0) return;
  if (pipe(out) != 0) {
    close(in[0]);
    close(in[1]);
    return;
  }
  child_.stderrPath = tempPath();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    int err = open(child_.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, 2);
    close(in[1]);
    close(out[0]);
    execWith(args, env);
  }
  close(in[0]);
  close(out[1]);
  child_.pid = pid;
  input_ = in[1];
  output_ = out[0];
  signal(SIGPIPE, SIG_IGN);  // a program that has ended makes say fail, not this process
}

Conversation::~Conversation() {
  if (input_ >= 0) close(input_);
  if (child_.pid > 0) waitProcess(child_, 10.0);
  if (output_ >= 0) close(output_);
}

void Conversation::say(const std::string& line) {
  const std::string text = line + "\n";
  if (input_ >= 0 && write(input_, text.data(), text.size()) < 0) {
    close(input_);
    input_ = -1;
  }
}

std::string Conversation::nextLine(double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (pending_.find('\n') == std::string::npos && output_ >= 0) {
    const double left =
        std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return std::string();
    pollfd ready = {output_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
    char buffer[512];
    const ssize_t got = read(output_, buffer, sizeof buffer);
    if (got <= 0) {
      close(output_);
      output_ = -1;
      break;
    }
    pending_.append(buffer, static_cast<size_t>(got));
  }
  const size_t end = pending_.find('\n');
  if (end == std::string::npos) return std::string();
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  return line;
}

int waitProcess(Child& child, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (true) {
    int status = 0;
    pid_t done = waitpid(child.pid, &status, WNOHANG);
    if (done == child.pid) {
      child.pid = -1;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
      return -1;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child.pid, SIGKILL);
      waitpid(child.pid, nullptr, 0);
      child.pid = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int runCapture(const std::vector<std::string>& args, const std::vector<std::string>& env,
               std::string& output, double seconds) {
  std::string outPath = tempPath();
  Child child;
  child.stderrPath = tempPath();
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    int err = open(child.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, 2);
    execWith(args, env);
  }
  child.pid = pid;
  int code = waitProcess(child, seconds);
  output = readFile(outPath);
  unlink(outPath.c_str());
  return code;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool waitForStderr(const Child& child, const std::string& text, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (readFile(child.stderrPath).find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}
