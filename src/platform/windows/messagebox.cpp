#include "platform/messagebox.h"

#include <windows.h>

#include "platform/video.h"
#include "platform/windows/win32.h"

namespace {

bool boxesEnabled = true;

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
