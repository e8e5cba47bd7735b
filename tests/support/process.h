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

// Waits until the child's standard error holds `text`; false after `seconds`.
bool waitForStderr(const Child& child, const std::string& text, double seconds);
