// The set-up dialog's in-memory template (Windows): the byte layout the
// system reads, the buffer's growth and the dialog's frame and controls.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/windows/dialog_template.h"

namespace {

int word(const DialogTemplate& t, size_t at) { return t.bytes()[at] | t.bytes()[at + 1] << 8; }
uint32_t dword(const DialogTemplate& t, size_t at) {
  return static_cast<uint32_t>(word(t, at)) | static_cast<uint32_t>(word(t, at + 2)) << 16;
}
int16_t signedWord(const DialogTemplate& t, size_t at) { return static_cast<int16_t>(word(t, at)); }

// The NUL-terminated UTF-16 text at `at`, moving `at` past it.
std::u16string text(const DialogTemplate& t, size_t& at) {
  std::u16string out;
  for (int c; (c = word(t, at)) != 0; at += 2) out += static_cast<char16_t>(c);
  at += 2;
  return out;
}

std::u16string ascii(const char* s) { return std::u16string(s, s + std::strlen(s)); }

TEST(DialogTemplate, HeaderHasNoMenuTheDefaultClassAndTheCaption) {
  DialogTemplate t(0x80CA0080u, 0x10000u, {300, 300, 135, 55}, u"Caption");
  EXPECT_EQ(dword(t, 0), 0x80CA0080u);
  EXPECT_EQ(dword(t, 4), 0x10000u);
  EXPECT_EQ(t.controls(), 0);
  EXPECT_EQ(signedWord(t, 10), 300);
  EXPECT_EQ(signedWord(t, 12), 300);
  EXPECT_EQ(signedWord(t, 14), 135);
  EXPECT_EQ(signedWord(t, 16), 55);
  EXPECT_EQ(word(t, 18), 0);  // menu
  EXPECT_EQ(word(t, 20), 0);  // class
  size_t at = 22;
  EXPECT_EQ(text(t, at), u"Caption");
  EXPECT_EQ(t.size(), at);
  EXPECT_EQ(t.capacity(), kDialogTemplateCapacity);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(t.data()) % 4, 0u);
}

TEST(DialogTemplate, ControlsStartOnDwordBoundariesAndNameTheirClassByAtom) {
  DialogTemplate t(0, 0, {0, 0, 10, 10}, u"ab");  // header ends at 28: already aligned
  t.addControl(7, DialogClass::Static, 0x50000000u, {-5, 20, 65, 10}, u"Labels", 0x4u);
  t.addControl(100, DialogClass::ComboBox, 0x50010003u, {75, 5, 55, 500}, u"");
  EXPECT_EQ(t.controls(), 2);

  size_t first = 28;
  EXPECT_EQ(dword(t, first), 0x50000000u);
  EXPECT_EQ(dword(t, first + 4), 0x4u);
  EXPECT_EQ(signedWord(t, first + 8), -5);
  EXPECT_EQ(signedWord(t, first + 10), 20);
  EXPECT_EQ(signedWord(t, first + 12), 65);
  EXPECT_EQ(signedWord(t, first + 14), 10);
  EXPECT_EQ(word(t, first + 16), 7);
  EXPECT_EQ(word(t, first + 18), 0xFFFF);
  EXPECT_EQ(word(t, first + 20), 0x0082);
  size_t at = first + 22;
  EXPECT_EQ(text(t, at), u"Labels");
  EXPECT_EQ(word(t, at), 0);  // no creation data
  at += 2;                    // 66: the next control is padded to 68

  size_t second = dwordAligned(at);
  EXPECT_EQ(second, 68u);
  EXPECT_EQ(word(t, at), 0);  // padding
  EXPECT_EQ(dword(t, second), 0x50010003u);
  EXPECT_EQ(word(t, second + 16), 100);
  EXPECT_EQ(word(t, second + 20), 0x0085);
  EXPECT_EQ(word(t, second + 22), 0);  // no text
  EXPECT_EQ(word(t, second + 24), 0);  // no creation data
  EXPECT_EQ(t.size(), second + 26);
}

TEST(DialogTemplate, BufferDoublesWhenAControlWouldNotFit) {
  EXPECT_EQ(grownCapacity(4096, 4096), 4096u);
  EXPECT_EQ(grownCapacity(4096, 4097), 8192u);
  EXPECT_EQ(grownCapacity(4096, 20000), 32768u);
  EXPECT_EQ(dwordAligned(61), 64u);
  EXPECT_EQ(dwordAligned(64), 64u);

  DialogTemplate t(0, 0, {0, 0, 1, 1}, u"", 64);
  EXPECT_EQ(t.capacity(), 64u);
  std::u16string long_text(40, u'x');  // 22 + 82 + 2 bytes after the 24-byte header
  t.addControl(1, DialogClass::Button, 0, {0, 0, 1, 1}, long_text);
  EXPECT_EQ(t.capacity(), 256u);
  for (int i = 0; i < 20; ++i) t.addControl(2, DialogClass::Button, 0, {0, 0, 1, 1}, long_text);
  EXPECT_EQ(t.capacity(), 4096u);
  EXPECT_EQ(t.controls(), 21);
  size_t at = 24 + 22;
  EXPECT_EQ(text(t, at), long_text);  // the first control survived the moves
}

TEST(DialogTemplate, SetupDialogFrameAndControlsInTemplateOrder) {
  EXPECT_EQ(kSetupDialogStyle, 0x80CA0080u);
  EXPECT_EQ(kSetupDialogExStyle, 0x00010000u);
  EXPECT_EQ(kSetupDialogRect.x, 300);
  EXPECT_EQ(kSetupDialogRect.y, 300);
  EXPECT_EQ(kSetupDialogRect.width, 135);
  EXPECT_EQ(kSetupDialogRect.height, 55);

  struct Expected {
    int id;
    DialogClass type;
    const char* text;
    uint32_t style;
    DialogRect rect;
  };
  const uint32_t base = 0x50000000u, tab = 0x00010000u;
  const Expected expected[] = {
      {0, DialogClass::Static, "Choose resolution", base, {5, 5, 65, 10}},
      {100, DialogClass::ComboBox, "", base | tab | 0x3u, {75, 5, 55, 500}},
      {0, DialogClass::Static, "Anti-aliasing", base, {5, 20, 65, 10}},
      {102, DialogClass::ComboBox, "", base | tab | 0x3u, {75, 20, 55, 500}},
      {1, DialogClass::Button, "&Runit", base | tab | 0x1u, {5, 35, 30, 15}},
      {2, DialogClass::Button, "&Nah", base | tab, {40, 35, 30, 15}},
      {101, DialogClass::Button, "&Fullscreen", base | tab | 0x3u, {75, 35, 55, 10}},
      {103, DialogClass::Button, "&Vsync enable", base | tab | 0x3u, {75, 45, 55, 10}},
  };
  ASSERT_EQ(std::size(kSetupDialogControls), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const DialogControl& c = kSetupDialogControls[i];
    EXPECT_EQ(c.id, expected[i].id);
    EXPECT_EQ(c.type, expected[i].type);
    EXPECT_STREQ(c.text, expected[i].text);
    EXPECT_EQ(c.style, expected[i].style);
    EXPECT_EQ(c.rect.x, expected[i].rect.x);
    EXPECT_EQ(c.rect.y, expected[i].rect.y);
    EXPECT_EQ(c.rect.width, expected[i].rect.width);
    EXPECT_EQ(c.rect.height, expected[i].rect.height);
  }

  // The whole template as the dialog builds it: eight controls, well under 4096 bytes.
  DialogTemplate t(kSetupDialogStyle, kSetupDialogExStyle, kSetupDialogRect,
                   ascii(SetupDialogModel::kCaption));
  for (const DialogControl& c : kSetupDialogControls)
    t.addControl(c.id, c.type, c.style, c.rect, ascii(c.text));
  EXPECT_EQ(t.controls(), 8);
  EXPECT_EQ(t.capacity(), kDialogTemplateCapacity);
  size_t at = 22;
  EXPECT_EQ(text(t, at), u"Morvella - Tin Lantern");
}

}  // namespace
