// Maker mode's commands and keys, without a window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "main_maker.h"

namespace {

using Kind = MakerCommand::Kind;

MakerCommand parsed(const std::string& line) {
  MakerCommand command;
  std::string error;
  EXPECT_TRUE(parseMakerCommand(line, command, error)) << line << ": " << error;
  return command;
}

TEST(MakerCommands, EachCommandReadsItsArguments) {
  EXPECT_EQ(parsed("seek 200").kind, Kind::Seek);
  EXPECT_FLOAT_EQ(parsed("seek 200.25").from, 200.25f);
  EXPECT_FLOAT_EQ(parsed("  seek   -3 ").from, -3.0f);
  const MakerCommand loop = parsed("loop 354 450");
  EXPECT_EQ(loop.kind, Kind::Loop);
  EXPECT_FLOAT_EQ(loop.from, 354.0f);
  EXPECT_FLOAT_EQ(loop.to, 450.0f);
  EXPECT_EQ(parsed("loop off").kind, Kind::LoopOff);
}

TEST(MakerCommands, ShotTakesOnePngName) {
  MakerCommand command;
  std::string error;
  ASSERT_TRUE(parseMakerCommand("shot out/frame.png", command, error));
  EXPECT_EQ(command.kind, Kind::Shot);
  EXPECT_EQ(command.file, "out/frame.png");
  for (const char* line : {"shot", "shot a.jpg", "shot .png", "shot a.png b.png"})
    EXPECT_FALSE(parseMakerCommand(line, command, error)) << line;
}

TEST(MakerCommands, PlainCommandsTakeNothingMore) {
  EXPECT_EQ(parsed("pause").kind, Kind::Pause);
  EXPECT_EQ(parsed("play").kind, Kind::Play);
  EXPECT_EQ(parsed("beat").kind, Kind::Beat);
  EXPECT_EQ(parsed("quit").kind, Kind::Quit);
  MakerCommand command;
  std::string error;
  EXPECT_FALSE(parseMakerCommand("quit now", command, error));
  EXPECT_EQ(error, "quit takes nothing after it");
}

TEST(MakerCommands, AnythingElseSaysWhatIsWrong) {
  MakerCommand command;
  std::string error;
  for (const char* line : {"", "   ", "jump 3", "seek", "seek x", "seek 3x", "seek nan", "seek 3 4",
                           "loop", "loop 5", "loop 9 2", "loop 4 4", "loop off now", "Seek 3"}) {
    error.clear();
    EXPECT_FALSE(parseMakerCommand(line, command, error)) << line;
    EXPECT_FALSE(error.empty()) << line;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << line;
  }
}

TEST(MakerKeys, ArrowsGoABeatOrABarAndThePageKeysGoToSlotStarts) {
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::Right, false, 200.5f, 4), 201.5f);
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::Left, false, 200.5f, 4), 199.5f);
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::Right, true, 200.5f, 4), 204.5f);
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::Left, true, 200.5f, 3), 197.5f);
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::Home, false, 200.5f, 4), 0.0f);
  // The slots start at 0, 114, 258, 354, 450 and 546.
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::PageDown, false, 200.0f, 4), 258.0f);
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::PageDown, false, 258.0f, 4), 354.0f);
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::PageDown, false, 560.0f, 4), 560.0f) << "no slot after the last";
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::PageUp, false, 200.0f, 4), 114.0f) << "the slot's own start";
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::PageUp, false, 114.2f, 4), 0.0f) << "just past a start: the one before";
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::PageUp, false, 0.1f, 4), 0.0f);
  EXPECT_FLOAT_EQ(beatForKey(WindowKey::Space, false, 42.0f, 4), 42.0f);
}

TEST(MakerKeys, TheSlotPlayingIsTheOneThatBeganLast) {
  float start = -1, end = -1;
  ASSERT_TRUE(slotAt(400.0f, start, end));
  EXPECT_FLOAT_EQ(start, 354.0f);
  EXPECT_FLOAT_EQ(end, 450.0f);
  ASSERT_TRUE(slotAt(450.0f, start, end)) << "a boundary belongs to the slot that begins there";
  EXPECT_FLOAT_EQ(start, 450.0f);
  EXPECT_FALSE(slotAt(600.0f, start, end));
  EXPECT_EQ(scenesAt(400.0f), (std::vector<std::string>{"CodeScroller", "Metaballmarch", "DadezAruv"}));
  EXPECT_EQ(scenesAt(114.0f), (std::vector<std::string>{"Credits", "Train"}));
  EXPECT_TRUE(scenesAt(-5.0f).empty());
}

}  // namespace

namespace {

TEST(MakerOverlay, SaysTheBeatTheBarTheScenesTheTimesAndTheLastReload) {
  OverlayState state;
  state.beat = 401.9f;
  state.framesPerSecond = 24.96;
  state.frameMilliseconds = 38.04;
  state.paused = true;
  state.looping = true;
  state.loopStart = 354.0f;
  state.loopEnd = 450.0f;
  state.lastReload = "reloaded Credits";
  char lines[kOverlayLines][kOverlayLineLength];
  overlayLines(state, lines);
  EXPECT_STREQ(lines[0], "beat 401.90  bar 101 beat 2.90");
  EXPECT_STREQ(lines[1], "scenes: CodeScroller Metaballmarch DadezAruv");
  EXPECT_STREQ(lines[2], "25.0 fps  38.0 ms a frame");
  EXPECT_STREQ(lines[3], "paused, looping 354.00 to 450.00");
  EXPECT_STREQ(lines[4], "last reload: reloaded Credits");

  state.beat = 0.1f;
  state.beatsPerBar = 3;
  state.paused = state.looping = false;
  state.lastReload = "";
  overlayLines(state, lines);
  EXPECT_STREQ(lines[0], "beat 0.10  bar 1 beat 1.10");
  EXPECT_STREQ(lines[1], "scenes: Credits");
  EXPECT_STREQ(lines[3], "playing");
  EXPECT_STREQ(lines[4], "last reload: none yet");
}

TEST(MakerOverlay, ALongReloadIsCutToTheLine) {
  OverlayState state;
  const std::string said = "kept the previous show (loaded at 12:00:00); " + std::string(200, 'x');
  state.lastReload = said.c_str();
  char lines[kOverlayLines][kOverlayLineLength];
  overlayLines(state, lines);
  EXPECT_EQ(std::strlen(lines[4]), kOverlayLineLength - 1);
  EXPECT_EQ(std::string(lines[4]).rfind("last reload: kept the previous show", 0), 0u);
}

}  // namespace
