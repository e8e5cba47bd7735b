// The timeline's slots and the 16:9 letterbox every scene starts from.
#include <gtest/gtest.h>

#include "main_demo.h"
#include "platform/messagebox.h"
#include "util/data/loadingscreen.h"
#include "scenes/plywood_floor.h"
#include "util/letterbox.h"
#include "util/texture/texturecube.h"

namespace {

using Names = std::vector<std::string>;

Names scenesAt(float time) {
  Names names;
  for (const TimelineSlot& slot : timeline())
    if (slotContains(slot.start, slot.end, time)) names.push_back(slot.scene);
  return names;
}

TEST(Timeline, EightSlotsInDrawingOrder) {
  Names order;
  for (const TimelineSlot& slot : timeline()) order.push_back(slot.scene);
  EXPECT_EQ(order, (Names{"Credits", "Train", "Clown", "CodeScroller", "Metaballmarch",
                          "DadezAruv", "Tiles", "Endtext"}));
}

TEST(Timeline, SlotsAreClosedAtBothEnds) {
  EXPECT_EQ(scenesAt(-0.01f), Names{});
  EXPECT_EQ(scenesAt(0.0f), Names{"Credits"});
  EXPECT_EQ(scenesAt(113.99f), Names{"Credits"});
  EXPECT_EQ(scenesAt(114.0f), (Names{"Credits", "Train"}));
  EXPECT_EQ(scenesAt(114.01f), Names{"Train"});
  EXPECT_EQ(scenesAt(258.0f), (Names{"Train", "Clown"}));
  EXPECT_EQ(scenesAt(546.0f), (Names{"Tiles", "Endtext"}));
  EXPECT_EQ(scenesAt(579.0f), Names{"Endtext"});
  EXPECT_EQ(scenesAt(579.01f), Names{});  // black frames until the music stops
}

TEST(Timeline, SharedSlotDrawsAllThreeThroughout) {
  const Names three = {"CodeScroller", "Metaballmarch", "DadezAruv"};
  EXPECT_EQ(scenesAt(353.99f), Names{"Clown"});
  Names at354 = {"Clown"};
  at354.insert(at354.end(), three.begin(), three.end());
  EXPECT_EQ(scenesAt(354.0f), at354);
  for (float t = 354.01f; t < 450.0f; t += 7.3f) EXPECT_EQ(scenesAt(t), three) << t;
  Names at450 = three;
  at450.push_back("Tiles");
  EXPECT_EQ(scenesAt(450.0f), at450);
  EXPECT_EQ(scenesAt(450.01f), Names{"Tiles"});
}

// Slots follow one another without a gap and only the three robot scenes
// share one; the fades lie inside their slots and do not overlap; what the
// scenes get as fade beats are the floats of the decimals in the table.
TEST(Timeline, SlotsMeetAndFadesFitInside) {
  const std::vector<TimelineSlot>& slots = timeline();
  for (size_t i = 1; i < slots.size(); ++i) {
    const TimelineSlot& before = slots[i - 1];
    const TimelineSlot& slot = slots[i];
    const bool shared = slot.start == before.start && slot.end == before.end;
    EXPECT_TRUE(shared || slot.start == before.end) << before.scene << " then " << slot.scene;
  }
  for (const TimelineSlot& slot : slots) {
    EXPECT_LT(slot.start, slot.end) << slot.scene;
    EXPECT_GE(slot.fadeIn, 0.0) << slot.scene;
    EXPECT_GE(slot.fadeOut, 0.0) << slot.scene;
    EXPECT_LE(slot.fadeInEnd(), slot.fadeOutStart()) << slot.scene;
  }
  EXPECT_EQ(timelineSlot("DadezAruv").fadeOutStart(), 449.8f);
  EXPECT_EQ(timelineSlot("Clown").fadeInEnd(), 270.0f);
  EXPECT_EQ(timelineSlot("Endtext").fadeOutStart(), 573.0f);
}

TEST(Timeline, PlacingASceneGivesItsSlotAndFades) {
  struct Probe : Scene {
    void load() override {}
    void draw(const FrameTime&) override {}
  } scene;
  placeInSlot(scene, timelineSlot("Train"));
  EXPECT_EQ(scene.start, 114.0f);
  EXPECT_EQ(scene.end, 258.0f);
  EXPECT_EQ(scene.fadeInEnd, 120.0f);
  EXPECT_EQ(scene.fadeOutStart, 255.0f);
}

TEST(TimelineDeathTest, AnUnknownSceneIsFatal) {
  EXPECT_EXIT((setMessageBoxesEnabled(false), timelineSlot("Trian")), ::testing::ExitedWithCode(1),
              "No scene Trian on the timeline");
}

// The time a scene sees is the frame's reading, in the scene's own slot.
TEST(Timeline, TheWorkerGetsTheFilesInTheOrderTheLoadingReadsThem) {
  DataIndex index;
  const char* face = TextureCube::kFaceFiles[2];
  for (const char* name : {"data/clown/a.dae", "data/common/images/asciichart.png", "data/credits/b.png",
                           "data/effects/skydome/cloud.png", "data/elsewhere/c.png", kLoadingLogoPath,
                           "data/train/d.jpg", face, kPlywoodFloorTexture}) {
    index.push_back(std::make_unique<DataEntry>());
    index.back()->name = name;
  }
  // The logo first, once; the shared folders; the scenes' as the timeline
  // has them (Credits, Train, Clown, ..., Metaballmarch); no other folder.
  // What a scene reads from another's folder comes again after its own:
  // the cube map's faces (the one here) for the train, then the metaballs;
  // the plywood floor for the train, then the clown.
  EXPECT_EQ(filesInLoadingOrder(index),
            std::vector<std::string>({kLoadingLogoPath, "data/common/images/asciichart.png",
                                      "data/effects/skydome/cloud.png", "data/credits/b.png", "data/train/d.jpg",
                                      kPlywoodFloorTexture, face, "data/clown/a.dae", kPlywoodFloorTexture,
                                      face}));
}

TEST(FrameTime, InSlotCountsFromTheSlotsFirstBeat) {
  FrameTime time;
  time.beat = 300.25f;
  time.beatStep = 0.125f;
  const FrameTime clown = time.inSlot(258.0f);
  EXPECT_EQ(clown.beat, 300.25f);
  EXPECT_EQ(clown.beatStep, 0.125f);
  EXPECT_EQ(clown.slotBeat, 42.25f);
  EXPECT_EQ(time.slotBeat, 0.0f);
}

TEST(Letterbox, SpansTheWidthAndCentresTheSixteenByNinePicture) {
  struct Case {
    int width, height, y, pictureHeight;
  } cases[] = {
      {1024, 768, 96, 576},    // 4:3: bands above and below
      {1920, 1080, 0, 1080},   // exactly 16:9
      {1280, 1024, 152, 720},  // 5:4
      {1024, 1023, 223, 576},  // odd difference rounds toward zero
      {1000, 400, -81, 562},   // wider than 16:9: top and bottom cut off
  };
  for (const Case& c : cases) {
    Viewport view = letterbox(c.width, c.height);
    EXPECT_EQ(view.x, 0);
    EXPECT_EQ(view.y, c.y) << c.width << "x" << c.height;
    EXPECT_EQ(view.width, c.width);
    EXPECT_EQ(view.height, c.pictureHeight) << c.width << "x" << c.height;
  }
}

}  // namespace
