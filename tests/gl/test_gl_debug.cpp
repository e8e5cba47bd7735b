// GL debug reports: every error reaches the handler with the operations in
// progress, through KHR_debug at the faulty call or through glGetError at
// the next check.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/gl_debug.h"

namespace {

struct Seen {
  bool error;
  std::string source;
  std::string operation;
  std::string text;
};
std::vector<Seen> seen;

void keep(const GlMessage& message) {
  seen.push_back({message.error, message.source, message.operation, message.text});
}

// Takes the messages over for one test, then gives them back.
class GlDebug : public ::testing::Test {
 protected:
  void SetUp() override {
    seen.clear();
    previous_ = setGlMessageHandler(keep);
  }
  void TearDown() override {
    disableGlDebug();
    enableGlDebug();
    setGlMessageHandler(previous_);
  }
  GlMessageHandler previous_ = nullptr;
};

TEST_F(GlDebug, KhrDebugReportsAtTheFaultyCallWithTheOperations) {
  ASSERT_TRUE(glDebugEnabled());
  uint32_t before = glErrorCount();
  {
    GlOperation scene("Credits");
    GlOperation step("texture", "data/credits/rain.png");
    glEnable(0x1234);  // not a capability
    ASSERT_EQ(seen.size(), 1u) << "reported inside the call";
  }
  EXPECT_TRUE(seen[0].error);
  EXPECT_EQ(seen[0].source, "API");
  EXPECT_EQ(seen[0].operation, "Credits / texture data/credits/rain.png");
  EXPECT_EQ(glErrorCount(), before + 1);
  EXPECT_EQ(glDebugExitCode(0), 1) << "any error makes the exit code 1";
  checkGlErrors();
  EXPECT_EQ(seen.size(), 1u) << "nothing polled twice";
}

TEST_F(GlDebug, WithoutKhrDebugTheNextCheckReportsUnderItsOperation) {
  disableGlDebug();
  ASSERT_FALSE(enableGlDebug(GlDebugMode::Poll));
  {
    GlOperation scene("Metaballmarch");
    GlOperation step("draw");
    glEnable(0x1234);
    glBindTexture(0x4321, 0);
    EXPECT_TRUE(seen.empty()) << "no callback while polling";
    checkGlErrors();
  }
  ASSERT_GE(seen.size(), 1u);
  EXPECT_TRUE(seen[0].error);
  EXPECT_EQ(seen[0].source, "glGetError");
  EXPECT_EQ(seen[0].text, "GL_INVALID_ENUM");
  EXPECT_EQ(seen[0].operation, "Metaballmarch / draw");
  seen.clear();
  checkGlErrors();
  EXPECT_TRUE(seen.empty()) << "each error once";
}

TEST_F(GlDebug, SwitchedOffNothingIsReportedOrPolled) {
  disableGlDebug();
  EXPECT_FALSE(glDebugEnabled());
  glEnable(0x1234);
  checkGlErrors();
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM)) << "the flag is left alone";
}

}  // namespace
