// The set-up dialog's rules: list contents, selection on opening and the
// write-back of every control into the video settings.
#include <gtest/gtest.h>

#include "platform/setup_dialog_model.h"
#include "platform/video.h"

namespace {

using Strings = std::vector<std::string>;

// As the video layer reports them: largest first.
const std::vector<DisplayMode> kModes = {{1920, 1080}, {1280, 1024}, {1024, 768}, {800, 600}};

TEST(SetupDialogModel, DefaultsSelectTheLargestModeAnd4xWithBothBoxes) {
  VideoSettings settings;
  SetupDialogModel model(settings);
  model.open(ModeQuery::List, kModes);

  EXPECT_EQ(model.resolutions(), (Strings{"800x600", "1024x768", "1280x1024", "1920x1080"}));
  EXPECT_EQ(model.resolutionIndex(), 3);
  EXPECT_EQ(model.antialiasing(), (Strings{"None", "2x", "4x", "8x", "16x"}));
  EXPECT_EQ(model.antialiasingIndex(), 2);
  EXPECT_TRUE(model.fullscreenChecked());
  EXPECT_TRUE(model.vsyncChecked());

  // Opening writes the shown state back.
  EXPECT_EQ(settings.width, 1920);
  EXPECT_EQ(settings.height, 1080);
  EXPECT_EQ(settings.samples, 4);
  EXPECT_EQ(settings.videoFlags, kVideoFullscreen);
  EXPECT_EQ(settings.vsync, 1);
}

TEST(SetupDialogModel, SelectsTheModeMatchingTheSettingsElseTheFirst) {
  VideoSettings settings;
  settings.width = 1280;
  settings.height = 1024;
  SetupDialogModel model(settings);
  model.open(ModeQuery::List, kModes);
  EXPECT_EQ(model.resolutionIndex(), 2);

  settings.width = 1280;
  settings.height = 720;  // not listed
  model.open(ModeQuery::List, kModes);
  EXPECT_EQ(model.resolutionIndex(), 0);
  EXPECT_EQ(settings.width, 800);
  EXPECT_EQ(settings.height, 600);

  settings.width = 1024;
  settings.height = -1;  // either one unset picks the largest
  model.open(ModeQuery::List, kModes);
  EXPECT_EQ(model.resolutionIndex(), 3);
}

TEST(SetupDialogModel, AnyModeShowsTheFixedListWith640x480Selected) {
  VideoSettings settings;
  settings.width = 1600;
  settings.height = 1200;  // in the list, but the first entry is selected all the same
  SetupDialogModel model(settings);
  model.open(ModeQuery::Any, {});
  EXPECT_EQ(model.resolutions(),
            (Strings{"640x480", "720x480", "720x576", "800x600", "1024x768", "1152x864",
                     "1280x768", "1280x800", "1280x960", "1280x1024", "1360x768", "1440x900",
                     "1600x1200"}));
  EXPECT_EQ(model.resolutionIndex(), 0);
  EXPECT_EQ(settings.width, 640);
  EXPECT_EQ(settings.height, 480);
}

TEST(SetupDialogModel, NoModesLeavesEverythingEmptyAndTheSettingsAsTheyWere) {
  VideoSettings settings;
  settings.samples = 8;
  settings.vsync = 0;
  SetupDialogModel model(settings);
  model.open(ModeQuery::None, {});
  EXPECT_TRUE(model.resolutions().empty());
  EXPECT_TRUE(model.antialiasing().empty());
  EXPECT_EQ(model.resolutionIndex(), -1);
  EXPECT_FALSE(model.fullscreenChecked());
  EXPECT_FALSE(model.vsyncChecked());
  EXPECT_EQ(settings.width, -1);
  EXPECT_EQ(settings.height, -1);
  EXPECT_EQ(settings.samples, 8);
  EXPECT_EQ(settings.videoFlags, kVideoFullscreen);
  EXPECT_EQ(settings.vsync, 0);
  // Nothing to confirm in empty lists.
  model.confirmResolution(0);
  model.confirmAntialiasing(0);
  EXPECT_EQ(settings.width, -1);
  EXPECT_EQ(settings.samples, 8);
}

TEST(SetupDialogModel, FullscreenBoxClearsTheWholeFlagWordAndSetsOnlyItsBit) {
  VideoSettings settings;
  settings.videoFlags = kVideoFullscreen | kVideoOpenGL | kVideoResizable;
  SetupDialogModel model(settings);
  model.open(ModeQuery::List, kModes);
  EXPECT_TRUE(model.fullscreenChecked());
  EXPECT_EQ(settings.videoFlags, kVideoFullscreen | kVideoOpenGL | kVideoResizable);

  model.setFullscreen(false);
  EXPECT_EQ(settings.videoFlags, 0u);
  model.setFullscreen(true);
  EXPECT_EQ(settings.videoFlags, kVideoFullscreen);

  // Any non-zero flag word ticks the box on opening.
  settings.videoFlags = kVideoOpenGL;
  model.open(ModeQuery::List, kModes);
  EXPECT_TRUE(model.fullscreenChecked());
  EXPECT_EQ(settings.videoFlags, kVideoOpenGL | kVideoFullscreen);
  settings.videoFlags = 0;
  model.open(ModeQuery::List, kModes);
  EXPECT_FALSE(model.fullscreenChecked());
  EXPECT_EQ(settings.videoFlags, 0u);
}

TEST(SetupDialogModel, AntialiasingEntriesWriteTheirSampleCount) {
  VideoSettings settings;
  SetupDialogModel model(settings);
  model.open(ModeQuery::List, kModes);
  const int expected[] = {0, 2, 4, 8, 16};
  for (int i = 0; i < 5; ++i) {
    model.confirmAntialiasing(i);
    EXPECT_EQ(settings.samples, expected[i]) << model.antialiasing()[i];
  }
  // A count the list does not have shows, and so writes, "None".
  for (int odd : {1, 3, 32, -4}) {
    settings.samples = odd;
    model.open(ModeQuery::List, kModes);
    EXPECT_EQ(model.antialiasingIndex(), 0);
    EXPECT_EQ(settings.samples, 0);
  }
}

TEST(SetupDialogModel, ResolutionAndVsyncWriteBack) {
  VideoSettings settings;
  settings.vsync = 0;
  SetupDialogModel model(settings);
  model.open(ModeQuery::List, kModes);
  EXPECT_FALSE(model.vsyncChecked());
  EXPECT_EQ(settings.vsync, 0);
  model.setVsync(true);
  EXPECT_EQ(settings.vsync, 1);
  settings.vsync = 7;
  model.open(ModeQuery::List, kModes);
  EXPECT_TRUE(model.vsyncChecked());
  EXPECT_EQ(settings.vsync, 1);

  model.confirmResolution(1);
  EXPECT_EQ(settings.width, 1024);
  EXPECT_EQ(settings.height, 768);
  model.confirmResolution(4);  // out of range: ignored
  EXPECT_EQ(settings.width, 1024);
}

TEST(VideoModes, DistinctSizesLargestFirst) {
  // One entry per refresh rate and format, as the video layer reports them.
  std::vector<DisplayMode> reported = {{1280, 1024}, {1920, 1080}, {1920, 1080}, {640, 480},
                                       {1920, 1200}, {1280, 1024}, {1280, 720}};
  std::vector<DisplayMode> modes = distinctModes(reported);
  ASSERT_EQ(modes.size(), 5u);
  const int expected[][2] = {{1920, 1200}, {1920, 1080}, {1280, 1024}, {1280, 720}, {640, 480}};
  for (size_t i = 0; i < modes.size(); ++i) {
    EXPECT_EQ(modes[i].width, expected[i][0]);
    EXPECT_EQ(modes[i].height, expected[i][1]);
  }

  VideoSettings settings;
  SetupDialogModel model(settings);
  model.open(ModeQuery::List, modes);
  EXPECT_EQ(model.resolutions(),
            (Strings{"640x480", "1280x720", "1280x1024", "1920x1080", "1920x1200"}));
}

}  // namespace
