// Nothing of ours allocates per frame: in every slot of the show, after the
// first frame of its scenes, 60 frames of the main loop (events, the music's
// step, the scenes' steps and draws, the swap) make no heap allocation of
// their own. The driver's allocations are counted apart and only reported.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "alloc_counter.h"
#include "main_demo.h"
#include "main_startup.h"
#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/music/audio.h"
#include "util/video_settings.h"
#include "gl_window.h"
#include "util/fatal_report.h"

namespace {

constexpr int kWidth = 320, kHeight = 180;
constexpr int kFps = 10;  // 60 frames are about 12 beats: captions and cameras change on the way
constexpr int kFrames = 60;

struct SlotCase {
  const char* name;
  float beat;  // where the counted frames begin, inside the slot
};

// Each slot where its per-frame work is busiest: text on screen, tiles in
// flight, the painter painting, the scroller's listing on the robot's screen.
const SlotCase kSlots[] = {
    {"Credits", 16.0f},     {"Train", 176.0f},    {"Clown", 268.0f},
    {"ClownsRings", 330.0f}, {"Robots", 388.0f},   {"Tiles", 452.0f},
    {"TilesWalls", 516.0f}, {"Endtext", 550.0f},
};

std::string slotName(const testing::TestParamInfo<SlotCase>& info) { return info.param.name; }

class FrameAllocations : public testing::TestWithParam<SlotCase> {};

TEST_P(FrameAllocations, NoneOfOursAfterTheFirstFrame) {
  const SlotCase& slot = GetParam();
  Demo demo;
  demo.resize(kWidth, kHeight);
  Benchmark benchmark({});
  benchmark.reserve(2 * kFrames);

  // The first frame of the slot's scenes: whatever they make on first use.
  demo.startShow(slot.beat, true, kFps);
  demo.endAfter(0.0f);
  ASSERT_TRUE(demo.runBenchmark(benchmark, kFps));

  alloc_counter::arm();
  for (int frame = 0; frame < kFrames; ++frame) {
    demo.endAfter(0.0f);  // one frame each
    if (!demo.runBenchmark(benchmark, kFps)) break;
  }
  const alloc_counter::Counts counts = alloc_counter::disarm();

  ASSERT_EQ(benchmark.frames().size(), static_cast<size_t>(kFrames + 1));
  std::printf("%s from beat %.1f: %zu allocations of ours, %zu of the driver and window system in %d frames\n",
              slot.name, static_cast<double>(slot.beat), counts.ours, counts.system, kFrames);
  std::string stacks;
  for (const std::string& stack : counts.oursStacks) stacks += "allocated at\n" + stack;
  EXPECT_EQ(counts.ours, 0u) << stacks;
}

INSTANTIATE_TEST_SUITE_P(EverySlot, FrameAllocations, testing::ValuesIn(kSlots), slotName);

class ShowWindow : public GlWindowEnvironment {
 public:
  ShowWindow() : GlWindowEnvironment("allocation tests", kWidth, kHeight, false) {}
  void SetUp() override {
    GlWindowEnvironment::SetUp();
    if (::testing::Test::HasFatalFailure()) return;
    configureDriver(Options{});  // the program's texture filtering for this renderer
    setMessageBoxesEnabled(false);
    videoSettings.width = kWidth;
    videoSettings.height = kHeight;
    dataMode = kDataPlain;
    setAudioOffline(true);
  }
};

}  // namespace

int main(int argc, char** argv) {
  setFailureHandler(reportFatally);
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new ShowWindow);
  return RUN_ALL_TESTS();
}
