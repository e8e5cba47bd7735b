// GL tests run in one window on a private Xvfb with Mesa's llvmpipe,
// opened through the program's own video layer.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "platform/video.h"
#include "util/gl_debug.h"
#include "xvfb.h"

namespace {

void failOnGlError(const GlMessage& message) {
  printGlMessage(message);
  if (message.error)
    ADD_FAILURE() << "GL error in " << message.operation << ": " << message.text;
}

class GlEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    xvfb_ = std::make_unique<XvfbServer>();
    ASSERT_TRUE(xvfb_->running()) << "Xvfb did not start";
    setenv("DISPLAY", xvfb_->display().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    ASSERT_TRUE(videoInit()) << videoError();
    requestGlAttributes(0, 0);
    requestGlDebugContext(true);
    ASSERT_TRUE(openVideoWindow("gl tests", 640, 360, desktopFormat(), kVideoOpenGL)) << videoError();
    ASSERT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
    // Every GL error fails the test that caused it, at the call that caused it.
    ASSERT_TRUE(enableGlDebug()) << "llvmpipe has KHR_debug";
    setGlMessageHandler(failOnGlError);
  }
  void TearDown() override {
    videoShutdown();
    xvfb_.reset();
  }

 private:
  std::unique_ptr<XvfbServer> xvfb_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new GlEnvironment);
  return RUN_ALL_TESTS();
}
