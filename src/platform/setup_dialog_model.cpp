#include "platform/setup_dialog_model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Shown when the video layer accepts any mode.
const char* const kFixedResolutions[] = {
    "640x480",  "720x480",  "720x576",   "800x600",  "1024x768", "1152x864",  "1280x768",
    "1280x800", "1280x960", "1280x1024", "1360x768", "1440x900", "1600x1200",
};

const char* const kAntialiasingEntries[] = {"None", "2x", "4x", "8x", "16x"};

int antialiasingIndexFor(int samples) {
  switch (samples) {
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    case 16: return 4;
    default: return 0;
  }
}

}  // namespace

void SetupDialogModel::open(ModeQuery query, const std::vector<DisplayMode>& modes) {
  resolutions_.clear();
  antialiasing_.clear();
  resolutionIndex_ = antialiasingIndex_ = -1;
  fullscreen_ = vsync_ = false;

  if (query == ModeQuery::None) return;  // empty lists, boxes unset, settings untouched

  if (query == ModeQuery::Any) {
    for (const char* entry : kFixedResolutions) resolutions_.push_back(entry);
    resolutionIndex_ = 0;
  } else {
    // The library lists the largest mode first; the dialog runs smallest first.
    for (auto mode = modes.rbegin(); mode != modes.rend(); ++mode) {
      char entry[32];
      std::snprintf(entry, sizeof entry, "%ix%i", mode->width, mode->height);
      resolutions_.push_back(entry);
    }
    int last = static_cast<int>(resolutions_.size()) - 1;
    if (settings_.width == -1 || settings_.height == -1) {
      resolutionIndex_ = last;
    } else {
      resolutionIndex_ = 0;
      for (int i = 0; i <= last; ++i) {
        const DisplayMode& mode = modes[static_cast<size_t>(last - i)];
        if (mode.width == settings_.width && mode.height == settings_.height) {
          resolutionIndex_ = i;
          break;
        }
      }
    }
  }

  for (const char* entry : kAntialiasingEntries) antialiasing_.push_back(entry);
  antialiasingIndex_ = antialiasingIndexFor(settings_.samples);
  fullscreen_ = settings_.videoFlags != 0;
  vsync_ = settings_.vsync != 0;

  confirmResolution(resolutionIndex_);
  confirmAntialiasing(antialiasingIndex_);
  setFullscreen(fullscreen_);
  setVsync(vsync_);
}

void SetupDialogModel::confirmResolution(int index) {
  if (index < 0 || index >= static_cast<int>(resolutions_.size())) return;
  resolutionIndex_ = index;
  const std::string& text = resolutions_[static_cast<size_t>(index)];
  size_t x = text.find('x');
  settings_.width = std::atoi(text.substr(0, x).c_str());
  settings_.height = x == std::string::npos ? 0 : std::atoi(text.c_str() + x + 1);
}

void SetupDialogModel::confirmAntialiasing(int index) {
  if (index < 0 || index >= static_cast<int>(antialiasing_.size())) return;
  antialiasingIndex_ = index;
  const std::string& text = antialiasing_[static_cast<size_t>(index)];
  settings_.samples = text == "None" ? 0 : std::atoi(text.c_str());
}

void SetupDialogModel::setFullscreen(bool checked) {
  fullscreen_ = checked;
  if (checked)
    settings_.videoFlags |= kVideoFullscreen;
  else
    settings_.videoFlags = 0;  // the whole flag word, not only the bit
}

void SetupDialogModel::setVsync(bool checked) {
  vsync_ = checked;
  settings_.vsync = checked ? 1 : 0;
}
