#include "gl_window.h"

#include <GL/glew.h>

#include <cstdlib>

#include "platform/video.h"
#include "util/gl_debug.h"

void GlWindowEnvironment::SetUp() {
  xvfb_ = std::make_unique<XvfbServer>();
  ASSERT_TRUE(xvfb_->running()) << "Xvfb did not start";
  setenv("DISPLAY", xvfb_->display().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  ASSERT_TRUE(videoInit()) << videoError();
  requestGlAttributes(0, 0);
  if (debugContext_) requestGlDebugContext(true);
  ASSERT_TRUE(openVideoWindow(title_.c_str(), width_, height_, desktopFormat(), kVideoOpenGL))
      << videoError();
  showVideoWindow();
  ASSERT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
}

void GlWindowEnvironment::TearDown() {
  videoShutdown();
  xvfb_.reset();
}
