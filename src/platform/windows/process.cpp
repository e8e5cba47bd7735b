#include "platform/process.h"

#include <windows.h>

#include <string>

#include "platform/windows/win32.h"

namespace {

// One argument as the C runtime's command-line parser reads it back:
// quoted, with backslashes doubled only where they precede a quote.
std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

}  // namespace

FeedProcess::~FeedProcess() { stop(); }

bool FeedProcess::start(const std::vector<std::string>& args) {
  std::wstring commandLine;
  for (const std::string& arg : args) commandLine += (commandLine.empty() ? L"" : L" ") + quoted(wide(arg));

  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 1 << 20)) return false;
  SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);  // only the child's end is inherited

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = readEnd;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child = {};
  BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE,
                                CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW, nullptr, nullptr,
                                &startup, &child);
  CloseHandle(readEnd);
  if (!started) {
    CloseHandle(writeEnd);
    return false;
  }
  CloseHandle(child.hThread);
  process_ = child.hProcess;
  input_ = writeEnd;
  return true;
}

bool FeedProcess::running() const { return process_ != nullptr; }

bool FeedProcess::write(const void* data, size_t size) {
  return writeAll(static_cast<HANDLE>(input_), data, size);
}

bool FeedProcess::finish() {
  if (!process_) return false;
  if (input_) CloseHandle(static_cast<HANDLE>(input_));
  input_ = nullptr;
  HANDLE process = static_cast<HANDLE>(process_);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  process_ = nullptr;
  return code == 0;
}

void FeedProcess::stop() {
  if (!process_) return;
  if (input_) CloseHandle(static_cast<HANDLE>(input_));
  input_ = nullptr;
  HANDLE process = static_cast<HANDLE>(process_);
  TerminateProcess(process, 1);
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
  process_ = nullptr;
}
