// Render targets: the four configurations, drawing into one and reading its
// colour back, the draw buffers a pass selects, and resizing.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "util/fbo/fbo.h"

namespace {

GLint integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

void endPass() {
  glPopAttrib();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

TEST(Fbo, EveryTypeIsCompleteWithItsAttachments) {
  struct Case {
    int type;
    size_t colours;
    GLint colourFormat;
    bool depthTexture;
  } cases[] = {{1, 1, GL_RGBA8, false}, {2, 3, GL_RGBA32F, false}, {3, 1, GL_RGBA32F, false},
               {4, 1, GL_RGBA8, true}};
  for (const Case& c : cases) {
    FBO target(64, 32, c.type);
    ASSERT_EQ(target.colorTextures.size(), c.colours) << c.type;
    EXPECT_EQ(target.colorTextures[0]->internalFormat, c.colourFormat);
    EXPECT_EQ(target.depthTexture != nullptr, c.depthTexture);
    EXPECT_EQ(target.depthRenderbuffer != 0, !c.depthTexture);
    EXPECT_GE(target.maxDrawBuffers, 3);

    target.bind(true);
    EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_EQ(view[2], 64);
    EXPECT_EQ(view[3], 32);
    // One draw buffer per colour texture, none beyond.
    EXPECT_EQ(integer(GL_DRAW_BUFFER0), GL_COLOR_ATTACHMENT0_EXT);
    EXPECT_EQ(integer(GL_DRAW_BUFFER2), c.colours == 3 ? GL_COLOR_ATTACHMENT2_EXT : GL_NONE);
    endPass();
    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_EQ(view[2], 640) << "the pass's viewport is popped";
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Fbo, DrawsIntoItsColourTexture) {
  FBO target(16, 16, 1);
  target.bind(false);
  glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  endPass();
  glClearColor(0, 0, 0, 0);
  uint8_t* pixels = target.colorTextures[0]->readPixels();
  EXPECT_EQ(pixels[0], 255);
  EXPECT_NEAR(pixels[1], 128, 1);
  EXPECT_EQ(pixels[2], 0);
  EXPECT_EQ(pixels[16 * 16 * 4 - 1], 255);
  std::free(pixels);

  // Shown full screen, it covers the current viewport.
  glViewport(0, 0, 640, 360);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor4f(1, 1, 1, 1);
  target.drawFullscreen();
  GLubyte rgba[4];
  glReadPixels(600, 300, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  EXPECT_EQ(rgba[0], 255);
  EXPECT_EQ(rgba[2], 0);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
}

TEST(Fbo, DepthTextureGoesToUnitTwo) {
  FBO target(32, 32, 4);
  target.bindDepthTexture();
  EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE2);
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(target.depthTexture->id));
  glActiveTexture(GL_TEXTURE0);
}

TEST(Fbo, ResizeRecreatesOnlyOnChangeAndKeepsPowersOfTwoWhenNeeded) {
  FBO target(64, 64, 4);
  target.resize(1280, 720, true);
  EXPECT_EQ(target.width, 1280);
  EXPECT_EQ(target.height, 720);
  EXPECT_EQ(target.colorTextures[0]->width, 1280u);
  EXPECT_EQ(target.depthTexture->height, 720u);
  GLuint colour = target.colorTextures[0]->id;
  target.resize(1280, 720, true);
  EXPECT_EQ(target.colorTextures[0]->id, colour) << "the same size recreates nothing";

  target.resize(1280, 720, false);  // without non-power-of-two textures
  EXPECT_EQ(target.width, 1024);
  EXPECT_EQ(target.height, 1024);
  target.resize(1024, 768, false);
  EXPECT_EQ(target.width, 512);
  EXPECT_EQ(target.height, 512);
  target.bind(true);
  EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
  endPass();
  EXPECT_EQ(powerOfTwoSide(800), 512);
}

TEST(Fbo, FilterStaysThroughAResize) {
  FBO target(64, 64, 1);
  auto filters = [&] {
    glBindTexture(GL_TEXTURE_2D, target.colorTextures[0]->id);
    GLint min = 0, mag = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
    glBindTexture(GL_TEXTURE_2D, 0);
    return std::make_pair(min, mag);
  };
  EXPECT_EQ(filters(), std::make_pair(GL_LINEAR, GL_LINEAR));
  target.setFilter(GL_NEAREST);
  EXPECT_EQ(filters(), std::make_pair(GL_NEAREST, GL_NEAREST));
  target.resize(96, 32, true);  // new textures
  EXPECT_EQ(filters(), std::make_pair(GL_NEAREST, GL_NEAREST));
  target.setFilter(GL_LINEAR);
  EXPECT_EQ(filters(), std::make_pair(GL_LINEAR, GL_LINEAR));
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0);
}

}  // namespace
