#include "platform/messagebox.h"

#include <windows.h>

#include "platform/video.h"

namespace {

bool boxesEnabled = true;

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], length);
  return out;
}

}  // namespace

void setMessageBoxesEnabled(bool enabled) { boxesEnabled = enabled; }

// Windows always has a desktop to show a box on.
bool messageBoxesAvailable() { return boxesEnabled; }

bool showMessageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                    BoxIcon icon) {
  if (!messageBoxesAvailable()) return true;

  UINT type = (buttons == BoxButtons::Ok ? MB_OK : MB_OKCANCEL) |
              (icon == BoxIcon::Error ? MB_ICONERROR : MB_ICONQUESTION) |
              MB_SETFOREGROUND | MB_TOPMOST;  // never behind the show's window
  bool windowWasShown = hideVideoWindow();
  int answer = MessageBoxW(nullptr, wide(text).c_str(), wide(caption).c_str(), type);
  if (windowWasShown) showVideoWindow();
  return answer == IDOK;
}
