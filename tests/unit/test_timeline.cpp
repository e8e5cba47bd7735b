// The timeline's slots and the 16:9 letterbox every scene starts from.
#include <gtest/gtest.h>

#include "main_demo.h"
#include "util/letterbox.h"

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
