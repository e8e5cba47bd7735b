// GL tests run in one window on a private Xvfb with Mesa's llvmpipe,
// opened through the program's own video layer.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include "util/gl_debug.h"
#include "gl_window.h"
#include "util/fatal_report.h"

namespace {

void failOnGlError(const GlMessage& message) {
  printGlMessage(message);
  if (message.error)
    ADD_FAILURE() << "GL error in " << message.operation << ": " << message.text;
}

class GlEnvironment : public GlWindowEnvironment {
 public:
  GlEnvironment() : GlWindowEnvironment("gl tests", 640, 360, true) {}
  void SetUp() override {
    GlWindowEnvironment::SetUp();
    if (::testing::Test::HasFatalFailure()) return;
    // Every GL error fails the test that caused it, at the call that caused it.
    ASSERT_TRUE(enableGlDebug()) << "llvmpipe has KHR_debug";
    setGlMessageHandler(failOnGlError);
  }
};

}  // namespace

int main(int argc, char** argv) {
  setFailureHandler(reportFatally);  // as the show: the death tests see its report
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new GlEnvironment);
  return RUN_ALL_TESTS();
}
