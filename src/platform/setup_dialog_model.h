#pragma once
// The set-up dialog's rules without any toolkit: what its lists hold, what
// is selected when it opens, and how every control writes back into the
// VideoSettings. The views (setup_dialog.h: GTK 3 on Linux, Win32 on
// Windows) only show this model and forward the user's actions to it.
#include <string>
#include <vector>

#include "util/video_settings.h"

struct DisplayMode {
  int width;
  int height;
};

// The video layer's answer to "which full-screen modes are there?".
enum class ModeQuery {
  None,  // no modes at all
  Any,   // any mode is accepted (or the modes cannot be enumerated)
  List,  // the modes given, largest first
};

class SetupDialogModel {
 public:
  // Texts of the controls; "&" marks the mnemonic letter.
  static constexpr const char* kCaption = "Morvella - Tin Lantern";
  static constexpr const char* kResolutionLabel = "Choose resolution";
  static constexpr const char* kAntialiasingLabel = "Anti-aliasing";
  static constexpr const char* kRunText = "&Runit";
  static constexpr const char* kCancelText = "&Nah";
  static constexpr const char* kFullscreenText = "&Fullscreen";
  static constexpr const char* kVsyncText = "&Vsync enable";

  // Dialog results.
  static constexpr int kRun = 1;
  static constexpr int kCancel = 2;

  explicit SetupDialogModel(VideoSettings& settings) : settings_(settings) {}

  // Opening: fills the lists, selects from the current settings, ticks the
  // boxes and then confirms every control once, so that the settings match
  // what the dialog shows. `modes` is the video layer's list, largest first.
  void open(ModeQuery query, const std::vector<DisplayMode>& modes);

  // The user's actions; each writes back at once.
  void confirmResolution(int index);
  void confirmAntialiasing(int index);
  void setFullscreen(bool checked);
  void setVsync(bool checked);

  const std::vector<std::string>& resolutions() const { return resolutions_; }
  const std::vector<std::string>& antialiasing() const { return antialiasing_; }
  int resolutionIndex() const { return resolutionIndex_; }  // -1: none
  int antialiasingIndex() const { return antialiasingIndex_; }
  bool fullscreenChecked() const { return fullscreen_; }
  bool vsyncChecked() const { return vsync_; }

 private:
  VideoSettings& settings_;
  std::vector<std::string> resolutions_;
  std::vector<std::string> antialiasing_;
  int resolutionIndex_ = -1;
  int antialiasingIndex_ = -1;
  bool fullscreen_ = false;
  bool vsync_ = false;
};
