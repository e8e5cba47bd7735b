// The show's scenes drawn with the real music clock (offline) and the
// repository's generated data, read back from the window and the shared
// render target.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <stb/stb_image_write.h>

#include "main_demo.h"
#include "main_shaders.h"
#include "platform/messagebox.h"
#include "scenes/scene_clown/scene_clown.h"
#include "scenes/scene_codescroller/scene_codescroller.h"
#include "scenes/scene_dadezaruv/scene_dadezaruv.h"
#include "scenes/scene_endtext/scene_endtext.h"
#include "scenes/scene_metaballmarch/scene_metaballmarch.h"
#include "util/data/data.h"
#include "util/fbo/fbo.h"
#include "util/music/audio.h"
#include "util/music/music.h"

namespace {

constexpr int kWidth = 640, kHeight = 360;  // the test window, exactly 16:9

// Counts of the pixels of an RGBA image by what they look like.
struct Census {
  int black = 0, green = 0, white = 0, other = 0;
};

Census census(const uint8_t* rgba, int width, int height) {
  Census c;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = rgba + (static_cast<size_t>(y) * width + x) * 4;
      if (p[0] < 8 && p[1] < 8 && p[2] < 8) {
        ++c.black;
      } else if (p[1] > 100 && p[0] < 8 && p[2] < 8) {
        ++c.green;
      } else if (p[0] > 200 && p[1] > 200 && p[2] > 200) {
        ++c.white;
      } else {
        ++c.other;
      }
    }
  return c;
}

std::vector<uint8_t> windowPixels() {
  std::vector<uint8_t> pixels(kWidth * kHeight * 4);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

Census screenCensus() {
  const std::vector<uint8_t> pixels = windowPixels();
  return census(pixels.data(), kWidth, kHeight);
}

class ShowScenes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setMessageBoxesEnabled(false);
    dataMode = kDataPlain;
    setAudioOffline(true);
    Music::resetClock();
    music_ = new Music(kSyncConfiguration);
    music_->play();
    target_ = new FBO(512, 512, 1);
    target_->resize(kWidth, kHeight);
    fonts_ = new FontLibrary;
  }
  static void TearDownTestSuite() {
    delete shaders_;
    shaders_ = nullptr;
    delete fonts_;
    fonts_ = nullptr;
    delete target_;
    delete music_;
    setAudioOffline(false);
  }

  // The scenes leave their state behind as in the show; the tests after
  // these must not see it.
  void SetUp() override {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
  }
  void TearDown() override {
    glUseProgram(0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    for (int unit = 5; unit >= 0; --unit) {
      glActiveTexture(GL_TEXTURE0 + unit);
      glBindTexture(GL_TEXTURE_2D, 0);
      glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  // Loads the scene into its slot on the show's timeline with the shared resources.
  template <class S>
  std::unique_ptr<S> make(const char* name) {
    auto scene = std::make_unique<S>();
    placeInSlot(*scene, timelineSlot(name));
    scene->music = music_;
    scene->renderTarget = target_;
    if (!shaders_) shaders_ = new ShaderLibrary;  // the 3D scenes draw with it
    scene->shaders = shaders_;
    scene->fonts = fonts_;
    scene->load();
    return scene;
  }

  // The clock afresh at the beat, with a beat step of 0.
  static void restartClockAt(float beat) {
    Music::resetClock();
    music_->seekToBeat(beat);
    for (int i = 0; i < 10; ++i) music_->update();
  }

  // One frame of the scenes at the beat, as the Demo draws it.
  void frameAt(std::initializer_list<Scene*> scenes, float beat) {
    // The clock takes a jump back for the music's loop; a test that goes
    // back to an earlier beat starts the clock afresh, with a beat step of 0.
    if (beat < music_->time()) restartClockAt(beat);
    music_->seekToBeat(beat);
    music_->update();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const FrameTime time = readFrameTime(*music_);
    for (Scene* scene : scenes) {
      const FrameTime sceneTime = time.inSlot(scene->start);
      scene->step(sceneTime);
      scene->resetState();
      scene->resizeView(kWidth, kHeight);
      scene->draw(sceneTime);
    }
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
  void frameAt(Scene& scene, float beat) { frameAt({&scene}, beat); }
  // A frame's step alone, as the show runs them while it catches up.
  void stepAt(Scene& scene, float beat) {
    if (beat < music_->time()) Music::resetClock();
    music_->seekToBeat(beat);
    music_->update();
    scene.step(readFrameTime(*music_).inSlot(scene.start));
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  // With TINLANTERN_DUMP set to a folder, the target goes there as a PNG to look at.
  void dumpTarget(const char* name) {
    const char* dir = std::getenv("TINLANTERN_DUMP");
    if (!dir) return;
    uint8_t* pixels = target_->colorTextures[0]->readPixels();
    std::string path = std::string(dir) + "/" + name + ".png";
    const int w = target_->width, h = target_->height;
    // Bottom row first in GL: flip for the file.
    stbi_write_png(path.c_str(), w, h, 4, pixels + static_cast<size_t>(h - 1) * w * 4, -w * 4);
    std::free(pixels);
  }

  Census targetCensus() {
    uint8_t* pixels = target_->colorTextures[0]->readPixels();
    Census c = census(pixels, target_->width, target_->height);
    std::free(pixels);
    return c;
  }

  static Music* music_;
  static FBO* target_;
  static ShaderLibrary* shaders_;
  static FontLibrary* fonts_;
};

Music* ShowScenes::music_ = nullptr;
FBO* ShowScenes::target_ = nullptr;
ShaderLibrary* ShowScenes::shaders_ = nullptr;
FontLibrary* ShowScenes::fonts_ = nullptr;

TEST_F(ShowScenes, CodeScrollerDrawsGreenCodeIntoTheTargetOnlyAndScrollsUp) {
  auto scroller = make<CodeScroller>("CodeScroller");
  EXPECT_EQ(scroller->lines.size() % 2, 0u);
  EXPECT_GT(scroller->lines.size(), 600u);  // three listings, twice

  frameAt(*scroller, 354.0f);
  EXPECT_FLOAT_EQ(scroller->startBeat, 354.0f);
  Census screen = screenCensus();
  EXPECT_EQ(screen.black, kWidth * kHeight) << "nothing of the code reaches the screen";

  uint8_t* first = target_->colorTextures[0]->readPixels();
  Census before = census(first, target_->width, target_->height);
  EXPECT_GT(before.green, 2000) << "the monitor starts full of code";
  EXPECT_EQ(before.white, 0);

  // Half a beat later the block has risen 100 units of the picture's 360:
  // every row of the picture shows what the row 100 below it showed.
  frameAt(*scroller, 354.5f);
  uint8_t* later = target_->colorTextures[0]->readPixels();
  const int width = target_->width;
  int same = 0, compared = 0;
  for (int y = 0; y < kHeight - 100; ++y)
    for (int x = 0; x < width; ++x, ++compared)
      same += std::memcmp(first + (static_cast<size_t>(y) * width + x) * 4,
                          later + (static_cast<size_t>(y + 100) * width + x) * 4, 4) == 0;
  EXPECT_GT(same, compared * 99 / 100);
  EXPECT_FLOAT_EQ(scroller->startBeat, 354.0f);
  std::free(first);
  std::free(later);
}

TEST_F(ShowScenes, EndTextShowsWhiteLinesAndDarkensToItsEnd) {
  auto endtext = make<Endtext>("Endtext");
  frameAt(*endtext, 546.0f);
  EXPECT_EQ(screenCensus().white, 0) << "the fade starts from black";

  frameAt(*endtext, 560.0f);
  Census full = screenCensus();
  EXPECT_GT(full.white, 2000);
  EXPECT_EQ(full.green, 0);

  frameAt(*endtext, 575.5f);
  Census fading = screenCensus();
  EXPECT_EQ(fading.white, 0) << "three beats from the end the text is at half strength";
  EXPECT_GT(fading.other, 1000);

  frameAt(*endtext, 579.0f);
  Census last = screenCensus();
  EXPECT_EQ(last.black, kWidth * kHeight);
}

// A scene draws the beat it is handed: wherever the music's clock stands,
// the frame at 560 is the frame at 560.
TEST_F(ShowScenes, AFrameShowsTheTimeItIsHandedNotTheMusicsClock) {
  auto endtext = make<Endtext>("Endtext");
  frameAt(*endtext, 560.0f);
  const std::vector<uint8_t> atBeat = windowPixels();

  restartClockAt(20.0f);
  FrameTime time;
  time.beat = 560.0f;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  endtext->resetState();
  endtext->resizeView(kWidth, kHeight);
  endtext->draw(time.inSlot(endtext->start));
  EXPECT_LT(music_->time(), 30.0f);
  EXPECT_TRUE(windowPixels() == atBeat);
}

TEST_F(ShowScenes, MetaballsDrawOverTheListingInTheTarget) {
  auto scroller = make<CodeScroller>("CodeScroller");
  auto blobs = make<Metaballmarch>("Metaballmarch");
  // Two seconds of frames at 60 per second: the balls fall together.
  for (int frame = 0; frame < 120; ++frame) {
    float beat = 380.0f + frame * (125.0f / 60.0f / 60.0f);
    frameAt({scroller.get(), blobs.get()}, beat);
  }
  EXPECT_GT(blobs->engine->indexCount(), 3000u);
  dumpTarget("metaballs");
  Census target = targetCensus();
  EXPECT_GT(target.other, 5000) << "the blobs' sky colours";
  EXPECT_GT(target.green, 500) << "the listing around them";
  EXPECT_EQ(screenCensus().black, kWidth * kHeight) << "nothing reaches the screen";
}

TEST_F(ShowScenes, TheListingAndTheBlobsScaleWithTheTargetTheShowGivesThem) {
  // The show's target is half the window each way; what is in it is laid
  // out in the window's units, so it is the same picture, smaller.
  auto shares = [&](int width, int height) {
    target_->resize(width, height);
    auto scroller = make<CodeScroller>("CodeScroller");
    auto blobs = make<Metaballmarch>("Metaballmarch");
    restartClockAt(380.0f);  // the same balls' path both times
    for (int frame = 0; frame < 30; ++frame)
      frameAt({scroller.get(), blobs.get()}, 380.0f + frame * (125.0f / 60.0f / 60.0f));
    Census c = targetCensus();
    const double pixels = static_cast<double>(width) * height;
    return std::make_pair(c.green / pixels, c.other / pixels);
  };
  const auto full = shares(kWidth, kHeight);
  const auto half = shares(sharedTargetSide(kWidth), sharedTargetSide(kHeight));
  target_->resize(kWidth, kHeight);
  EXPECT_EQ(sharedTargetSide(kWidth), kWidth / 2);
  EXPECT_GT(full.first, 0.01);
  EXPECT_GT(full.second, 0.05);
  EXPECT_NEAR(half.first, full.first, full.first * 0.15) << "the listing's lines and size";
  EXPECT_NEAR(half.second, full.second, full.second * 0.05) << "the blobs' place and size";
}

}  // namespace

namespace {

// Hides every geometry of a node and its subtree, whatever the scene shows.
void hideSubtree(Object3D& model, const Node* node) {
  for (uint32_t index : node->geometryIndices) model.geometries[index].visible = false;
  for (const auto& child : node->children) hideSubtree(model, child.get());
}
const Node* nodeNamed(const Node* node, const std::string& name) {
  if (node->name == name) return node;
  for (const auto& child : node->children)
    if (const Node* found = nodeNamed(child.get(), name)) return found;
  return nullptr;
}

// Where two pictures differ: the number of pixels and their mean height.
struct Change {
  int pixels = 0;
  double meanY = 0;
};
Change change(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  Change c;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const size_t i = (static_cast<size_t>(y) * kWidth + x) * 4;
      if (std::abs(a[i] - b[i]) + std::abs(a[i + 1] - b[i + 1]) + std::abs(a[i + 2] - b[i + 2]) > 30) {
        ++c.pixels;
        c.meanY += y;
      }
    }
  if (c.pixels) c.meanY /= c.pixels;
  return c;
}

}  // namespace

TEST_F(ShowScenes, TheClownsPartsHangOutOfSightUntilTheirBellsThenStackUpward) {
  auto clown = make<Clown>("Clown");
  // What a part adds to the picture: the frame with it minus the frame
  // with its geometry hidden, at the same beat.
  auto partAt = [&](const char* name, float beat) {
    frameAt(*clown, beat);
    std::vector<uint8_t> with = windowPixels();
    if (const char* dir = std::getenv("TINLANTERN_DUMP")) {
      std::string path = std::string(dir) + "/clown_" + name + "_" + std::to_string(beat) + ".png";
      stbi_write_png(path.c_str(), kWidth, kHeight, 4, with.data() + static_cast<size_t>(kHeight - 1) * kWidth * 4,
                     -kWidth * 4);
    }
    const Node* node = nodeNamed(clown->model.root.get(), name);
    EXPECT_NE(node, nullptr) << name;
    if (!node) return Change();
    hideSubtree(clown->model, node);
    frameAt(*clown, beat);
    clown->model.setAllGeometriesVisible(true);
    return change(with, windowPixels());
  };
  // While the first part falls it is in the air above where it lands.
  const float first = clown->bells.body[0];
  const Change falling = partAt("Body_1", first - 0.05f);  // 2.9 above its place
  const Change landed = partAt("Body_1", first + 0.5f);
  EXPECT_GT(landed.pixels, 100);
  EXPECT_GT(falling.pixels, 0) << "in view while it falls";
  EXPECT_GT(falling.meanY, landed.meanY + 20);
  const float seventh = clown->bells.body[6];
  EXPECT_EQ(partAt("Body_7", seventh - 2.0f).pixels, 0) << "the hat still hangs a hundred above";
  const Change hat = partAt("Body_7", seventh + 1.0f);
  const Change head = partAt("Body_6", seventh + 1.0f);
  const Change foot = partAt("Body_1", seventh + 1.0f);
  EXPECT_GT(hat.pixels, 100) << "the hat sits on the figure after the seventh bell";
  EXPECT_GT(head.pixels, 100);
  EXPECT_GT(foot.pixels, 100);
  // Rows count up from the bottom in GL: the hat above the head above the foot.
  EXPECT_GT(hat.meanY, head.meanY);
  EXPECT_GT(head.meanY, foot.meanY);
}

namespace {

// The canvas's painted texels (alpha above a half), as floor points.
struct Paint {
  int texels = 0;
  int strays = 0;  // painted where no brush position of the window lies
};
Paint paintOn(const Texture& canvas) {
  Paint paint;
  uint8_t* texels = canvas.readPixels();
  for (uint32_t y = 0; y < canvas.height; ++y)
    for (uint32_t x = 0; x < canvas.width; ++x) {
      if (texels[(static_cast<size_t>(y) * canvas.width + x) * 4 + 3] < 128) continue;
      ++paint.texels;
      // Back to the floor: the texel's centre, and the brush square's
      // corner lies up to 16 texels below and left of it.
      const float fx = (static_cast<float>(x) / 1024.0f - 0.5f) / 0.025f - 35.0f;
      const float fy = (static_cast<float>(y) / 1024.0f - 0.5f) / 0.025f;
      bool near = false;
      for (float travel = 0.0f; travel <= 6.0f && !near; travel += 0.05f) {
        const float r = std::hypot(fx + 35.0f + travel, fy);
        near = std::fabs(r - 6.9f) < 0.95f;  // the square reaches 0.63 along x and y
      }
      paint.strays += !near;
    }
  std::free(texels);
  return paint;
}

}  // namespace

TEST_F(ShowScenes, ThePainterPaintsItsCircleOntoTheCanvasOnlyBetween390And402) {
  auto robots = make<DadezAruv>("DadezAruv");
  // (The painting is the scene's per-frame state: its step does it.)
  frameAt(*robots, 380.0f);
  for (float beat = 380.0f; beat < 390.0f; beat += 0.5f) stepAt(*robots, beat);
  EXPECT_EQ(paintOn(robots->paintCanvas).texels, 0) << "nothing before beat 390";
  for (float beat = 390.0f; beat < 402.0f; beat += 0.05f) stepAt(*robots, beat);
  frameAt(*robots, 402.0f);
  const Paint painted = paintOn(robots->paintCanvas);
  EXPECT_GT(painted.texels, 20000) << "240 stamps of 16 x 16 texels along some 80 units of path";
  EXPECT_EQ(painted.strays, 0) << "paint off the brush's circle";
  EXPECT_GT(robots->painterTravel, 5.9f);
  for (float beat = 402.0f; beat < 410.0f; beat += 0.5f) stepAt(*robots, beat);
  EXPECT_EQ(paintOn(robots->paintCanvas).texels, painted.texels) << "the canvas keeps what was painted";
  EXPECT_GT(robots->painterTravel, 5.9f) << "kept after the window";
}
