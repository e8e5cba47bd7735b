#include "platform/setup_dialog.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/video.h"
#include "platform/windows/dialog_template.h"
#include "platform/windows/win32.h"

static_assert(kStylePopup == WS_POPUP && kStyleChild == WS_CHILD && kStyleVisible == WS_VISIBLE &&
                  kStyleCaption == WS_CAPTION && kStyleSysMenu == WS_SYSMENU &&
                  kStyleMinimizeBox == WS_MINIMIZEBOX && kStyleTabStop == WS_TABSTOP &&
                  kStyleModalFrame == DS_MODALFRAME && kExStyleControlParent == WS_EX_CONTROLPARENT,
              "window styles");
static_assert(kStyleStaticLeft == SS_LEFT && kStyleDropDownList == CBS_DROPDOWNLIST &&
                  kStylePushButton == BS_PUSHBUTTON && kStyleDefPushButton == BS_DEFPUSHBUTTON &&
                  kStyleAutoCheckBox == BS_AUTOCHECKBOX,
              "control styles");
static_assert(kSetupDialogStyle == 0x80CA0080u, "the dialog's style word");
static_assert(kSetupRunId == IDOK && kSetupCancelId == IDCANCEL,
              "closing the dialog arrives as IDCANCEL, the cancel button's id");

namespace {

constexpr UINT_PTR kQuitTimer = 1;
constexpr UINT kQuitPollMs = 100;

std::u16string utf16(const char* utf8) {
  std::wstring text = wide(utf8);
  return std::u16string(text.begin(), text.end());
}

DialogTemplate setupDialogTemplate() {
  DialogTemplate dialog(kSetupDialogStyle, kSetupDialogExStyle, kSetupDialogRect,
                        utf16(SetupDialogModel::kCaption));
  for (const DialogControl& control : kSetupDialogControls)
    dialog.addControl(control.id, control.type, control.style, control.rect, utf16(control.text));
  return dialog;
}

void fillList(HWND dialog, int id, const std::vector<std::string>& entries, int selected) {
  for (const std::string& entry : entries)
    SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(entry).c_str()));
  if (selected >= 0) SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void setCheck(HWND dialog, int id, bool checked) {
  SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool checked(HWND dialog, int id) {
  return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int selection(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

SetupDialogModel& modelOf(HWND dialog) {
  return *reinterpret_cast<SetupDialogModel*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// The model has opened before the dialog: it only shows what the model holds.
void showModel(HWND dialog, const SetupDialogModel& model) {
  fillList(dialog, kSetupResolutionId, model.resolutions(), model.resolutionIndex());
  fillList(dialog, kSetupAntialiasingId, model.antialiasing(), model.antialiasingIndex());
  setCheck(dialog, kSetupFullscreenId, model.fullscreenChecked());
  setCheck(dialog, kSetupVsyncId, model.vsyncChecked());
}

void command(HWND dialog, int id, int notification) {
  // Controls may speak before the dialog has been given its model.
  if (GetWindowLongPtrW(dialog, DWLP_USER) == 0) return;
  SetupDialogModel& model = modelOf(dialog);
  switch (id) {
    case kSetupResolutionId:
      if (notification == CBN_SELENDOK) model.confirmResolution(selection(dialog, id));
      break;
    case kSetupAntialiasingId:
      if (notification == CBN_SELENDOK) model.confirmAntialiasing(selection(dialog, id));
      break;
    case kSetupFullscreenId:
      model.setFullscreen(checked(dialog, id));
      break;
    case kSetupVsyncId:
      model.setVsync(checked(dialog, id));
      break;
    case kSetupRunId:
    case kSetupCancelId:  // also Escape and the system menu's Close
      EndDialog(dialog, id);
      break;
    default:
      break;
  }
}

INT_PTR CALLBACK setupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      showModel(dialog, *reinterpret_cast<SetupDialogModel*>(lParam));
      // The video layer turns an interrupt or terminate signal into a quit
      // request; while the dialog runs, that request closes it like "&Nah".
      SetTimer(dialog, kQuitTimer, kQuitPollMs, nullptr);
      SetForegroundWindow(dialog);
      SetFocus(GetDlgItem(dialog, kSetupRunId));
      return FALSE;  // the focus is set
    case WM_TIMER:
      if (wParam == kQuitTimer && quitSignalled()) EndDialog(dialog, SetupDialogModel::kCancel);
      return TRUE;
    case WM_COMMAND:
      command(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, SetupDialogModel::kCancel);
      return TRUE;
    case WM_DESTROY:
      KillTimer(dialog, kQuitTimer);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int runSetupDialog(VideoSettings& settings, ModeQuery query, const std::vector<DisplayMode>& modes) {
  SetupDialogModel model(settings);
  model.open(query, modes);

  DialogTemplate dialog = setupDialogTemplate();
  INT_PTR result = DialogBoxIndirectParamW(
      GetModuleHandleW(nullptr), static_cast<LPCDLGTEMPLATEW>(dialog.data()), nullptr,
      setupDialogProc, reinterpret_cast<LPARAM>(&model));
  if (result == -1 || result == 0) {
    DWORD error = GetLastError();
    std::fprintf(stderr,
                 "tinlantern: no set-up dialog (the dialog could not be opened, error %lu); starting "
                 "with its defaults: %s at %ix%i, %ix anti-aliasing, vertical sync %s\n",
                 static_cast<unsigned long>(error),
                 settings.fullscreen() ? "full screen" : "a window", settings.width, settings.height,
                 settings.samples, settings.vsync ? "on" : "off");
    return SetupDialogModel::kRun;
  }
  return result == SetupDialogModel::kRun ? SetupDialogModel::kRun : SetupDialogModel::kCancel;
}
