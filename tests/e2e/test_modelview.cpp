// The model viewer: a sample model written by the modelling kit, rendered
// headless to a picture; a file that is no model stops with code 1.
#include <gtest/gtest.h>
#include <unistd.h>

#include <stb/stb_image.h>  // the implementation is in libstb

#include <string>

#include "process.h"
#include "xvfb.h"

namespace {

const char* const kViewer = MODELVIEW_BIN;

class ModelViewer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb_.running());
    env_ = {"DISPLAY=" + xvfb_.display(), "SDL_VIDEODRIVER=x11"};
    char dir[] = "/tmp/tinlantern-modelview-XXXXXX";
    dir_ = mkdtemp(dir);
  }
  void TearDown() override {
    std::string out;
    runCapture({"rm", "-rf", dir_}, {}, out);
  }
  XvfbServer xvfb_;
  std::vector<std::string> env_;
  std::string dir_;
};

TEST_F(ModelViewer, RendersTheSampleModelToAPicture) {
  std::string out;
  // Tests run in the repository: the kit writes its sample (with every feature) here.
  ASSERT_EQ(runCapture({"/usr/bin/python3", "tools/assets/check_collada.py", "--sample", dir_}, {}, out, 60), 0)
      << out;
  std::string model;
  ASSERT_EQ(runCapture({"sh", "-c", "ls " + dir_ + "/*.dae | head -1"}, {}, model), 0);
  model.erase(model.find_last_not_of('\n') + 1);
  ASSERT_FALSE(model.empty());

  std::string png = dir_ + "/view.png";
  Child viewer = spawnProcess({kViewer, model, "--out", png, "--size", "320x180", "--gl-debug"}, env_);
  ASSERT_EQ(waitProcess(viewer, 60), 0) << readFile(viewer.stderrPath);

  int width, height, channels;
  unsigned char* pixels = stbi_load(png.c_str(), &width, &height, &channels, 3);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 180);
  // Something other than the background covers a fair part of the picture.
  int background = 0;
  for (int i = 0; i < width * height; ++i) {
    const unsigned char* p = pixels + i * 3;
    background += std::abs(p[0] - 31) < 3 && std::abs(p[1] - 33) < 3 && std::abs(p[2] - 41) < 3;
  }
  stbi_image_free(pixels);
  EXPECT_LT(background, width * height * 95 / 100) << "the model is in view";
  EXPECT_GT(background, 0) << "and framed with room around it";
}

TEST_F(ModelViewer, BrokenModelsStopWithTheReadersMessage) {
  std::string broken = dir_ + "/broken.dae";
  std::string out;
  ASSERT_EQ(runCapture({"sh", "-c", "printf '<COLLADA><library_geometries>' > " + broken}, {}, out), 0);
  Child viewer = spawnProcess({kViewer, broken, "--out", dir_ + "/no.png"}, env_);
  EXPECT_EQ(waitProcess(viewer, 60), 1);
  EXPECT_NE(readFile(viewer.stderrPath).find("Error in file src/util/objects3d/"), std::string::npos)
      << readFile(viewer.stderrPath);

  Child usage = spawnProcess({kViewer}, env_);
  EXPECT_EQ(waitProcess(usage, 20), 2);
}

}  // namespace
