#pragma once
// The one OpenGL window of a test program: a private Xvfb with Mesa's
// llvmpipe, and a window opened through the program's own video layer,
// with GLEW initialised. Test programs add it as their global environment
// (a subclass may do more in SetUp after calling this one's).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "xvfb.h"

class GlWindowEnvironment : public ::testing::Environment {
 public:
  GlWindowEnvironment(std::string title, int width, int height, bool debugContext)
      : title_(std::move(title)), width_(width), height_(height), debugContext_(debugContext) {}

  void SetUp() override;
  void TearDown() override;

 private:
  std::string title_;
  int width_, height_;
  bool debugContext_;
  std::unique_ptr<XvfbServer> xvfb_;
};
