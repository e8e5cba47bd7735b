#include "platform/system.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "platform/windows/win32.h"

namespace {

DWORD attributesOf(const std::string& path) { return GetFileAttributesW(wide(path).c_str()); }

// A fresh file in the temporary folder that the system deletes when its last
// handle closes, so nothing is left behind whatever way the process ends.
HANDLE createSelfDeletingFile() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"tl", 0, name) == 0)
    return INVALID_HANDLE_VALUE;
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

}  // namespace

std::string executableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? "" : narrow(path.substr(0, slash + 1));
}

FILE* openMemoryStream(const uint8_t* data, size_t size) {
  // The C library here has no streams over memory: the bytes go to a
  // temporary file that stays in the system's cache and is read from there.
  HANDLE file = createSelfDeletingFile();
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (!writeAll(file, data, size) || SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) {
    CloseHandle(file);
    return nullptr;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(file);
    return nullptr;
  }
  FILE* stream = _fdopen(fd, "rb");
  if (!stream) _close(fd);
  return stream;
}

UtcTime utcNow() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

bool isFile(const std::string& path) {
  DWORD attributes = attributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isFolder(const std::string& path) {
  DWORD attributes = attributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool makeFolder(const std::string& path) {
  CreateDirectoryW(wide(path).c_str(), nullptr);
  return isFolder(path);
}

bool removeFile(const std::string& path) { return DeleteFileW(wide(path).c_str()) != 0; }

bool renameFile(const std::string& from, const std::string& to) {
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::string writeTemporaryFile(const std::string& ending, const std::vector<uint8_t>& bytes) {
  wchar_t folder[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, folder) == 0) return "";
  const std::wstring base = std::wstring(folder) + L"tinlantern-" + std::to_wstring(GetCurrentProcessId());
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    std::wstring path = base + L"-" + std::to_wstring(attempt) + wide(ending);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return "";
    }
    bool written = writeAll(file, bytes.data(), bytes.size());
    CloseHandle(file);
    if (!written) {
      DeleteFileW(path.c_str());
      return "";
    }
    return narrow(path);
  }
  return "";
}

// Windows gives large pages to privileged processes only.
PreparedHeap prepareHeapForLoading(size_t) { return {}; }

void startPrefaultingHeap(const PreparedHeap&, size_t) {}
size_t stopPrefaultingHeap() { return 0; }

void lowerThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

bool programOnPath(const std::string& name) {
  wchar_t found[MAX_PATH + 1];
  return SearchPathW(nullptr, wide(name).c_str(), L".exe", MAX_PATH + 1, found, nullptr) > 0;
}
