// The fatal error report's forms and exit code, and the scene base's
// operations that every scene must override.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/messagebox.h"
#include "scenes/scene.h"
#include "util/error.h"
#include "util/fatal_report.h"

namespace {

using ::testing::ExitedWithCode;

void quietly() { setMessageBoxesEnabled(false); }

TEST(ErrorReportDeathTest, FormattedMessageUnderItsLocation) {
  EXPECT_EXIT((quietly(), FATAL("Loading %s failed!", "data/x.mid")), ExitedWithCode(1),
              "^Error in file tests/unit/test_error_report.cpp:[0-9]+\n\nLoading data/x.mid failed!\n$");
}

TEST(ErrorReportDeathTest, FailedAssertionNamesTheExpression) {
  bool tex_loading = false;
  EXPECT_EXIT((quietly(), ASSERT(tex_loading)), ExitedWithCode(1),
              "^Error in file tests/unit/test_error_report.cpp:[0-9]+\n\nFailed assert tex_loading\n$");
}

TEST(ErrorReportDeathTest, PercentSignsInTheExpressionAreNotFormats) {
  int frames = 3;
  EXPECT_EXIT((quietly(), ASSERT(frames % 2 == 0)), ExitedWithCode(1),
              "Failed assert frames % 2 == 0\n$");
}

TEST(ErrorReportDeathTest, PassingAssertionDoesNothing) {
  int calls = 0;
  ASSERT(++calls == 1);
  EXPECT_EQ(calls, 1);
}

TEST(ErrorReportDeathTest, ShortFormIsTheLocationAlone) {
  EXPECT_EXIT((quietly(), FATAL_SHORT()), ExitedWithCode(1),
              "^Error in file tests/unit/test_error_report.cpp:[0-9]+\n$");
}

// Without the program's answer a failure is thrown, with the report's
// caption and text, for a caller that can go on.
TEST(ErrorReport, WithoutAHandlerAFailureIsThrown) {
  setFailureHandler(nullptr);
  try {
    FATAL("Couldn't find node %s!", "Skull");
    ADD_FAILURE() << "not thrown";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.caption.rfind("Error in file tests/unit/test_error_report.cpp:", 0), 0u) << failure.caption;
    EXPECT_EQ(failure.text, failure.caption + "\n\nCouldn't find node Skull!");
  }
  try {
    FATAL_SHORT();
    ADD_FAILURE() << "not thrown";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.caption, "Error");
  }
  setFailureHandler(reportFatally);
}

// A reader's notes ride with the next failure on its thread, oldest first,
// and the show's report says them before the failure itself.
TEST(ErrorReport, NotesRideWithTheNextFailureOfTheirThread) {
  FailuresThrown thrown;
  noteFailure("ERROR", "Could not read image data");
  std::thread([] { noteFailure("ERROR", "another thread's"); }).join();
  noteFailure("Error.", "Failed to load ASE materials");
  try {
    FATAL("Failed to load image %s!", "a.tga");
    ADD_FAILURE() << "not thrown";
  } catch (const Failure& failure) {
    ASSERT_EQ(failure.notes.size(), 2u);
    EXPECT_EQ(failure.notes[0].caption, "ERROR");
    EXPECT_EQ(failure.notes[0].text, "Could not read image data");
    EXPECT_EQ(failure.notes[1].caption, "Error.");
  }
  EXPECT_TRUE(takeFailureNotes().empty()) << "taken by the failure";
}

TEST(ErrorReportDeathTest, TheReportSaysTheNotesFirst) {
  EXPECT_EXIT((quietly(), noteFailure("ERROR", "Could not read file header"),
               FATAL("Failed to load image %s!", "a.tga")),
              ExitedWithCode(1),
              "^ERROR: Could not read file header\n"
              "Error in file tests/unit/test_error_report.cpp:[0-9]+\n\nFailed to load image a.tga!\n$");
}

// Inside the scope a failure is thrown even though the program has a
// handler; scopes nest, and after the outer one the handler answers again.
TEST(ErrorReportDeathTest, FailuresAreThrownOnlyInsideTheScope) {
  auto thrownInside = [] {
    FailuresThrown outer;
    { FailuresThrown inner; }
    try {
      FATAL_SHORT();
    } catch (const Failure&) {
      return true;
    }
    return false;
  };
  EXPECT_TRUE(thrownInside());
  EXPECT_EXIT((quietly(), FATAL("after the scope")), ExitedWithCode(1), "after the scope\n$");
}

TEST(ErrorReportDeathTest, AProgramWithoutBoxesSaysItAndEndsWithOne) {
  EXPECT_EXIT((setFailureHandler(exitOnFailure), FATAL("Loading %s failed!", "x")), ExitedWithCode(1),
              "^Error in file tests/unit/test_error_report.cpp:[0-9]+\n\nLoading x failed!\n$");
}

TEST(ErrorReportDeathTest, WithoutADisplayNoBoxWaits) {
  EXPECT_EXIT((unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY"), setMessageBoxesEnabled(true),
               FATAL("Video mode set failed: %s\n", "no mode")),
              ExitedWithCode(1), "Video mode set failed: no mode\n\n$");
}

TEST(SceneBaseDeathTest, LoadAndDrawMustBeOverridden) {
  Scene scene;
  EXPECT_EXIT((quietly(), scene.load()), ExitedWithCode(1),
              "^Error in file src/scenes/scene.cpp:[0-9]+\n$");
  EXPECT_EXIT((quietly(), scene.draw(FrameTime{})), ExitedWithCode(1),
              "^Error in file src/scenes/scene.cpp:[0-9]+\n$");
}

}  // namespace
