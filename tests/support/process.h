#pragma once
// Runs programs for end-to-end tests: the binary under test and X tools.
#include <sys/types.h>

#include <string>
#include <vector>

// A started program. Its standard error is kept in a file of its own, which
// lives as long as the Child (moved along with it, removed with it).
struct Child {
  Child() = default;
  ~Child();
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid = -1;
  std::string stderrPath;
};

// Starts `args` with `env` ("NAME=value") added to this process's environment.
Child spawnProcess(const std::vector<std::string>& args, const std::vector<std::string>& env);

// Waits up to `seconds`: the exit code, 128 + signal when killed by one, or
// -1 on time-out (the child is then killed).
int waitProcess(Child& child, double seconds);

// Runs a command to completion, returning its exit code and standard output.
int runCapture(const std::vector<std::string>& args, const std::vector<std::string>& env,
               std::string& output, double seconds = 30.0);

std::string readFile(const std::string& path);

// A started program spoken to a line at a time: lines to its standard
// input, answers read from its standard output. Killed if still running
// when the conversation ends.
class Conversation {
 public:
  Conversation(const std::vector<std::string>& args, const std::vector<std::string>& env);
  ~Conversation();
  Conversation(const Conversation&) = delete;
  Conversation& operator=(const Conversation&) = delete;

  void say(const std::string& line);
  // The next line of standard output without its newline; empty when none
  // came within `seconds` or the output ended.
  std::string nextLine(double seconds = 60.0);
  // say, then nextLine.
  std::string ask(const std::string& line, double seconds = 60.0) {
    say(line);
    return nextLine(seconds);
  }
  Child& child() { return child_; }

 private:
  Child child_;
  int input_ = -1;   // the child's standard input
  int output_ = -1;  // the child's standard output
  std::string pending_;
};

// Waits until the child's standard error holds `text`; false after `seconds`.
bool waitForStderr(const Child& child, const std::string& text, double seconds);
