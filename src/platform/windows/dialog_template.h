#pragma once
// The set-up dialog's template, built in memory instead of read from a
// resource: the classic DLGTEMPLATE byte layout, and the dialog's frame and
// controls in template order. Nothing here needs <windows.h>, so the layout
// can be checked on any system; setup_dialog.cpp checks the style values
// below against the system's own.
//
// Layout (little-endian, WORD = 16 bits, DWORD = 32 bits):
//   header: DWORD style, DWORD extended style, WORD control count,
//           short x, y, cx, cy, WORD menu (0: none), WORD class (0: the
//           default dialog class), the caption as NUL-terminated UTF-16
//           (no font: the style has no DS_SETFONT);
//   each control, starting on a DWORD boundary: DWORD style, DWORD extended
//           style, short x, y, cx, cy, WORD id, WORD 0xFFFF and the class
//           atom, the text as NUL-terminated UTF-16, WORD 0 (no creation data).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/setup_dialog_model.h"

// Style bits, with the system's values.
constexpr uint32_t kStylePopup = 0x80000000u;        // WS_POPUP
constexpr uint32_t kStyleChild = 0x40000000u;        // WS_CHILD
constexpr uint32_t kStyleVisible = 0x10000000u;      // WS_VISIBLE
constexpr uint32_t kStyleCaption = 0x00C00000u;      // WS_CAPTION
constexpr uint32_t kStyleSysMenu = 0x00080000u;      // WS_SYSMENU
constexpr uint32_t kStyleMinimizeBox = 0x00020000u;  // WS_MINIMIZEBOX
constexpr uint32_t kStyleTabStop = 0x00010000u;      // WS_TABSTOP
constexpr uint32_t kStyleModalFrame = 0x00000080u;   // DS_MODALFRAME
constexpr uint32_t kExStyleControlParent = 0x00010000u;  // WS_EX_CONTROLPARENT
constexpr uint32_t kStyleStaticLeft = 0x0u;          // SS_LEFT
constexpr uint32_t kStyleDropDownList = 0x3u;        // CBS_DROPDOWNLIST
constexpr uint32_t kStylePushButton = 0x0u;          // BS_PUSHBUTTON
constexpr uint32_t kStyleDefPushButton = 0x1u;       // BS_DEFPUSHBUTTON
constexpr uint32_t kStyleAutoCheckBox = 0x3u;        // BS_AUTOCHECKBOX

// The predefined control classes, by atom.
enum class DialogClass : uint16_t { Button = 0x0080, Static = 0x0082, ComboBox = 0x0085 };

// Position and size in dialog units.
struct DialogRect {
  int16_t x, y, width, height;
};

struct DialogControl {
  uint16_t id;
  DialogClass type;
  const char* text;  // UTF-8, "" for none
  uint32_t style;    // child and visible included
  DialogRect rect;
};

constexpr size_t kDialogTemplateCapacity = 4096;

// Control ids; 1 and 2 are also the dialog's results (IDOK and IDCANCEL).
constexpr uint16_t kSetupRunId = SetupDialogModel::kRun;
constexpr uint16_t kSetupCancelId = SetupDialogModel::kCancel;
constexpr uint16_t kSetupResolutionId = 100;
constexpr uint16_t kSetupFullscreenId = 101;
constexpr uint16_t kSetupAntialiasingId = 102;
constexpr uint16_t kSetupVsyncId = 103;

constexpr uint32_t kSetupDialogStyle =
    kStylePopup | kStyleCaption | kStyleSysMenu | kStyleMinimizeBox | kStyleModalFrame;
constexpr uint32_t kSetupDialogExStyle = kExStyleControlParent;
constexpr DialogRect kSetupDialogRect = {300, 300, 135, 55};

constexpr uint32_t kControlBase = kStyleChild | kStyleVisible;
inline const DialogControl kSetupDialogControls[] = {
    {0, DialogClass::Static, SetupDialogModel::kResolutionLabel, kControlBase | kStyleStaticLeft,
     {5, 5, 65, 10}},
    {kSetupResolutionId, DialogClass::ComboBox, "",
     kControlBase | kStyleDropDownList | kStyleTabStop, {75, 5, 55, 500}},
    {0, DialogClass::Static, SetupDialogModel::kAntialiasingLabel, kControlBase | kStyleStaticLeft,
     {5, 20, 65, 10}},
    {kSetupAntialiasingId, DialogClass::ComboBox, "",
     kControlBase | kStyleDropDownList | kStyleTabStop, {75, 20, 55, 500}},
    {kSetupRunId, DialogClass::Button, SetupDialogModel::kRunText,
     kControlBase | kStyleDefPushButton | kStyleTabStop, {5, 35, 30, 15}},
    {kSetupCancelId, DialogClass::Button, SetupDialogModel::kCancelText,
     kControlBase | kStylePushButton | kStyleTabStop, {40, 35, 30, 15}},
    {kSetupFullscreenId, DialogClass::Button, SetupDialogModel::kFullscreenText,
     kControlBase | kStyleAutoCheckBox | kStyleTabStop, {75, 35, 55, 10}},
    {kSetupVsyncId, DialogClass::Button, SetupDialogModel::kVsyncText,
     kControlBase | kStyleAutoCheckBox | kStyleTabStop, {75, 45, 55, 10}},
};

// `offset` rounded up to the next DWORD boundary.
constexpr size_t dwordAligned(size_t offset) { return (offset + 3) & ~size_t{3}; }

// The buffer size that holds `needed` bytes: `capacity`, doubled as often
// as it takes.
constexpr size_t grownCapacity(size_t capacity, size_t needed) {
  if (capacity == 0) capacity = 4;
  while (capacity < needed) capacity *= 2;
  return capacity;
}

// A dialog template in a DWORD-aligned buffer that starts at `capacity`
// bytes and doubles whenever the header or a control would not fit.
class DialogTemplate {
 public:
  DialogTemplate(uint32_t style, uint32_t exStyle, DialogRect rect, const std::u16string& caption,
                 size_t capacity = kDialogTemplateCapacity)
      : words_(dwordAligned(capacity) / 4, 0u) {
    size_t end = 22 + textBytes(caption);
    reserve(end);
    size_t at = 0;
    putDword(at, style);
    putDword(at, exStyle);
    putWord(at, 0);  // control count, raised by addControl
    putRect(at, rect);
    putWord(at, 0);  // no menu
    putWord(at, 0);  // the default dialog class
    putText(at, caption);
    size_ = at;
  }

  void addControl(uint16_t id, DialogClass type, uint32_t style, DialogRect rect,
                  const std::u16string& text, uint32_t exStyle = 0) {
    size_t at = dwordAligned(size_);
    reserve(at + 22 + textBytes(text) + 2);
    putDword(at, style);
    putDword(at, exStyle);
    putRect(at, rect);
    putWord(at, id);
    putWord(at, 0xFFFF);  // the class follows as an atom
    putWord(at, static_cast<uint16_t>(type));
    putText(at, text);
    putWord(at, 0);  // no creation data
    size_ = at;
    size_t countAt = 8;
    putWord(countAt, static_cast<uint16_t>(controls() + 1));
  }

  // The template as the system reads it; DWORD-aligned.
  const void* data() const { return words_.data(); }
  const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(words_.data()); }
  size_t size() const { return size_; }
  size_t capacity() const { return words_.size() * 4; }
  int controls() const { return bytes()[8] | bytes()[9] << 8; }

 private:
  static size_t textBytes(const std::u16string& text) { return 2 * (text.size() + 1); }

  void reserve(size_t end) {
    size_t grown = grownCapacity(capacity(), end);
    if (grown != capacity()) words_.resize(grown / 4, 0u);
  }

  unsigned char* out() { return reinterpret_cast<unsigned char*>(words_.data()); }
  void putWord(size_t& at, uint16_t value) {
    out()[at++] = static_cast<unsigned char>(value & 0xFF);
    out()[at++] = static_cast<unsigned char>(value >> 8);
  }
  void putDword(size_t& at, uint32_t value) {
    putWord(at, static_cast<uint16_t>(value & 0xFFFF));
    putWord(at, static_cast<uint16_t>(value >> 16));
  }
  void putRect(size_t& at, DialogRect rect) {
    putWord(at, static_cast<uint16_t>(rect.x));
    putWord(at, static_cast<uint16_t>(rect.y));
    putWord(at, static_cast<uint16_t>(rect.width));
    putWord(at, static_cast<uint16_t>(rect.height));
  }
  void putText(size_t& at, const std::u16string& text) {
    for (char16_t c : text) putWord(at, static_cast<uint16_t>(c));
    putWord(at, 0);
  }

  std::vector<uint32_t> words_;
  size_t size_ = 0;
};
