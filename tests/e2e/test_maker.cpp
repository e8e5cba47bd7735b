// Maker mode driven as a maker's script or editor drives it: commands on
// standard input, answers on standard output, keys through the X server.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <string>
#include <vector>

#include "picture.h"
#include "process.h"
#include "tempfiles.h"
#include "xvfb.h"

namespace {

// The beat in an answer "ok beat B ...", or -1.
double beatOf(const std::string& answer) {
  const std::string lead = "ok beat ";
  if (answer.compare(0, lead.size(), lead) != 0) return -1.0;
  return std::atof(answer.c_str() + lead.size());
}

class Maker : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb_.running()) << "Xvfb did not start";
    env_ = {"DISPLAY=" + xvfb_.display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"};
  }

  // The show in maker mode in a 320x180 window, with its first answer read.
  std::unique_ptr<Conversation> startShow() {
    auto show = std::make_unique<Conversation>(
        std::vector<std::string>{TINLANTERN_BIN, "--dev", "--gl-debug", "--window", "320x180"}, env_);
    EXPECT_EQ(beatOf(show->ask("beat")) >= 0.0, true) << readFile(show->child().stderrPath);
    return show;
  }

  double beatNow(Conversation& show) { return beatOf(show.ask("beat")); }

  // The show in maker mode working in a copy of the data/ tree (which it
  // edits), paused at `beat`.
  std::unique_ptr<Conversation> startShowOnACopy(double beat) {
    std::string ignored;
    EXPECT_EQ(runCapture({"cp", "-r", "data", dir_.path() + "/"}, {}, ignored), 0);
    auto show = std::make_unique<Conversation>(
        std::vector<std::string>{"sh", "-c", "cd \"$0\" && exec \"$1\" --dev --gl-debug --window 320x180",
                                 dir_.path(), TINLANTERN_BIN},
        env_);
    show->ask("pause");
    EXPECT_NEAR(beatOf(show->ask("seek " + std::to_string(beat))), beat, 0.05)
        << readFile(show->child().stderrPath);
    return show;
  }

  // Writes a file of the copy as an editor saves it.
  void save(const std::string& path, const std::string& text) {
    const std::string temporary = dir_.file(path + ".saving");
    FILE* file = std::fopen(temporary.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    ASSERT_EQ(std::rename(temporary.c_str(), dir_.file(path).c_str()), 0);
  }

  // Waits until the show's standard error says `text` for the n-th time.
  bool saidTimes(Conversation& show, const std::string& text, int n, double seconds = 10.0) {
    for (double waited = 0; waited < seconds; waited += 0.05) {
      const std::string said = readFile(show.child().stderrPath);
      int count = 0;
      for (size_t at = said.find(text); at != std::string::npos; at = said.find(text, at + 1)) ++count;
      if (count >= n) return true;
      usleep(50000);
    }
    return false;
  }

  // The picture of the next frame.
  Picture shot(Conversation& show, const std::string& name) {
    const std::string file = dir_.file(name);
    EXPECT_EQ(show.ask("shot " + file).rfind("ok ", 0), 0u);
    return readPng(file);
  }

  // Ends the show with quit: "ok", then exit code 0 with no GL error.
  void quit(std::unique_ptr<Conversation> show) {
    EXPECT_EQ(show->ask("quit"), "ok");
    EXPECT_EQ(waitProcess(show->child(), 30), 0) << readFile(show->child().stderrPath);
  }

  XvfbServer xvfb_;
  std::vector<std::string> env_;
  TempDir dir_;
};

// Paused, a seek shows exactly the picture --frame renders at that beat,
// also after going past every scene and back: every scene's state is put
// back and caught up with again.
TEST_F(Maker, APausedSeekShowsWhatFrameShowsThereAfterGoingBackToo) {
  const std::vector<int> beats = {100, 200, 330, 400, 456, 560};
  std::vector<Child> frames;
  for (int beat : beats)
    frames.push_back(spawnProcess({TINLANTERN_BIN, "--batch", "--frame", std::to_string(beat), "--out",
                                   dir_.file("frame" + std::to_string(beat) + ".png"), "--size", "320x180"},
                                  env_));
  auto show = startShow();
  EXPECT_EQ(show->ask("pause").rfind("ok paused at beat ", 0), 0u);
  EXPECT_GT(beatOf(show->ask("seek 575")), 574.0);  // every scene has stepped
  for (int beat : {560, 456, 400, 330, 200, 100}) {
    SCOPED_TRACE(beat);
    EXPECT_NEAR(beatOf(show->ask("seek " + std::to_string(beat))), beat, 0.05);
    const std::string shot = dir_.file("shot" + std::to_string(beat) + ".png");
    EXPECT_EQ(show->ask("shot " + shot).rfind("ok " + shot + " at beat ", 0), 0u);
  }
  quit(std::move(show));
  for (size_t i = 0; i < beats.size(); ++i) {
    SCOPED_TRACE(beats[i]);
    ASSERT_EQ(waitProcess(frames[i], 120), 0) << readFile(frames[i].stderrPath);
    const std::string name = std::to_string(beats[i]) + ".png";
    Picture frame = readPng(dir_.file("frame" + name));
    Picture shot = readPng(dir_.file("shot" + name));
    ASSERT_EQ(shot.width, 320);
    ASSERT_EQ(shot.height, 180);
    EXPECT_EQ(differingShare(frame, shot), 0.0);
  }
}

TEST_F(Maker, WithoutADataFolderItSaysWhereToRunIt) {
  std::string output;
  const int code = runCapture({"sh", "-c", "cd \"$0\" && exec \"$1\" --dev 2>&1", dir_.path(), TINLANTERN_BIN},
                              env_, output);
  EXPECT_EQ(code, 1);
  EXPECT_NE(output.find("--dev plays from the data/ folder of the working folder, and there is none here"),
            std::string::npos)
      << output;
}

TEST_F(Maker, PlayingALoopWrapsBackToItsStart) {
  auto show = startShow();
  EXPECT_EQ(show->ask("loop 400 401.5"), "ok looping 400.000 to 401.500");
  double last = 0.0;
  bool wrapped = false;
  for (int i = 0; i < 30; ++i) {  // three seconds: about six beats
    const double beat = beatNow(*show);
    EXPECT_GE(beat, 399.99);
    EXPECT_LE(beat, 402.5);  // past the end by at most a (slow) frame's beats
    if (beat < last) wrapped = true;
    last = beat;
    usleep(100000);
  }
  EXPECT_TRUE(wrapped);
  EXPECT_EQ(show->ask("loop off"), "ok loop off");
  usleep(1500000);
  EXPECT_GT(beatNow(*show), 401.5) << "it plays on";
  quit(std::move(show));
}

TEST_F(Maker, PauseHoldsTheShowAndPlayGoesOnFromThere) {
  auto show = startShow();
  EXPECT_GT(beatOf(show->ask("seek 300")), 299.9);
  show->ask("pause");
  const double held = beatNow(*show);
  usleep(600000);
  EXPECT_EQ(beatNow(*show), held);
  EXPECT_EQ(show->ask("play").rfind("ok playing from beat ", 0), 0u);
  usleep(600000);
  const double playing = beatNow(*show);
  EXPECT_GT(playing, held + 0.5);
  EXPECT_LT(playing, held + 3.0);
  quit(std::move(show));
}

TEST_F(Maker, WhatIsNoCommandIsAnsweredWithAnError) {
  auto show = startShow();
  for (const char* line : {"jump 3", "seek", "seek x", "seek 3 4", "loop 5", "loop 9 2", "shot",
                           "shot picture.jpg", "pause now", ""}) {
    SCOPED_TRACE(line);
    EXPECT_EQ(show->ask(line).rfind("error ", 0), 0u);
  }
  EXPECT_EQ(show->ask("shot /no/such/folder/x.png"), "error cannot write /no/such/folder/x.png");
  const std::string answer = show->ask("seek 400");
  EXPECT_NEAR(beatOf(answer), 400.0, 0.05) << "still answering";
  quit(std::move(show));
}

TEST_F(Maker, KeysPauseAndMoveTheShow) {
  auto show = startShow();
  std::string window;
  ASSERT_EQ(runCapture({"xdotool", "search", "--sync", "--onlyvisible", "--name", "Morvella - Tin Lantern"}, env_, window), 0);
  window = window.substr(0, window.find('\n'));
  auto press = [&](const char* key) {
    std::string ignored;
    ASSERT_EQ(runCapture({"xdotool", "key", "--window", window, key}, env_, ignored), 0);
    usleep(500000);  // a few frames: keys are read between them
  };
  show->ask("seek 200");
  press("space");
  const double held = beatNow(*show);
  usleep(400000);
  EXPECT_EQ(beatNow(*show), held) << "Space pauses";
  press("Right");
  EXPECT_NEAR(beatNow(*show), held + 1.0, 0.05);
  press("shift+Left");
  EXPECT_NEAR(beatNow(*show), held - 3.0, 0.05) << "a bar of four beats";
  press("Next");
  EXPECT_NEAR(beatNow(*show), 258.0, 0.05) << "Page Down: the next slot's start (the clown)";
  press("Prior");
  EXPECT_NEAR(beatNow(*show), 114.0, 0.05) << "Page Up from a slot's start: the one before";
  press("Home");
  EXPECT_NEAR(beatNow(*show), 0.1, 0.05);
  press("space");
  usleep(600000);
  EXPECT_GT(beatNow(*show), 0.5) << "Space again plays on";
  quit(std::move(show));
}

// A shader saved while the show runs changes the picture within half a
// second or so; one that does not compile is kept out, the failure said on
// standard error, and the picture stays; the file put back brings back the
// first picture.
TEST_F(Maker, ASavedShaderIsLoadedAgainAndOneThatDoesNotCompileIsKeptOut) {
  auto show = startShowOnACopy(100);  // the storm: the sky dome covers the picture
  const Picture first = shot(*show, "first.png");
  const std::string sky = "data/effects/skydome/skydome.frag";
  const std::string original = readFile(dir_.file(sky));
  const size_t last = original.rfind("gl_FragColor");
  ASSERT_NE(last, std::string::npos);
  save(sky, original.substr(0, last) + "gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0);\n}\n");
  ASSERT_TRUE(saidTimes(*show, "tinlantern: reloaded Credits", 1)) << readFile(show->child().stderrPath);
  const Picture red = shot(*show, "red.png");
  EXPECT_GT(meanDifference(first, red), 20.0);
  EXPECT_EQ(beatNow(*show), 100.031) << "still paused there";

  save(sky, original.substr(0, last) + "gl_FragColor = vec4(1.0, 0.0 0.0, 1.0);\n}\n");
  ASSERT_TRUE(saidTimes(*show, "kept the previous Credits", 1)) << readFile(show->child().stderrPath);
  const std::string said = readFile(show->child().stderrPath);
  EXPECT_NE(said.find("Fragment shader compile failed"), std::string::npos) << said;
  EXPECT_EQ(differingShare(red, shot(*show, "kept.png")), 0.0);

  save(sky, original);
  ASSERT_TRUE(saidTimes(*show, "tinlantern: reloaded Credits", 2)) << readFile(show->child().stderrPath);
  EXPECT_EQ(differingShare(first, shot(*show, "back.png")), 0.0);
  quit(std::move(show));
}

// A shader of the shared library is made again in place: every model drawn
// with it changes, and a broken one is kept out.
TEST_F(Maker, TheSharedShaderLibraryIsLoadedAgainInPlace) {
  auto show = startShowOnACopy(330);  // the clown's room: lit, textured models
  const Picture first = shot(*show, "first.png");
  const std::string shader = "data/common/shaders/multi_material_tex.frag";
  const std::string original = readFile(dir_.file(shader));
  const size_t last = original.rfind("gl_FragColor");
  ASSERT_NE(last, std::string::npos);
  save(shader, original.substr(0, last) + "gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0);\n}\n");
  ASSERT_TRUE(saidTimes(*show, "tinlantern: reloaded the shader library\n", 1))
      << readFile(show->child().stderrPath);
  const Picture green = shot(*show, "green.png");
  EXPECT_GT(differingShare(first, green), 0.05);
  save(shader, "void main() { gl_FragColor = vec4(1.0 0.0); }\n");
  ASSERT_TRUE(saidTimes(*show, "tinlantern: kept the previous shader library (loaded at ", 1))
      << readFile(show->child().stderrPath);
  EXPECT_EQ(differingShare(green, shot(*show, "kept.png")), 0.0);
  save(shader, original);
  ASSERT_TRUE(saidTimes(*show, "tinlantern: reloaded the shader library\n", 2));
  EXPECT_EQ(differingShare(first, shot(*show, "back.png")), 0.0);
  quit(std::move(show));
}

// The sync configuration saved: the music is made again (the stream plays
// on) with the scenes that read its notes; broken, the music is kept.
TEST_F(Maker, TheMusicsFilesReloadTheMusicAndTheScenesThatReadItsNotes) {
  auto show = startShowOnACopy(330);  // the clown, whose rings fall on the music's bells
  const Picture first = shot(*show, "first.png");
  const std::string sync = "data/common/music/sp10-invite.xml";
  const std::string original = readFile(dir_.file(sync));
  save(sync, original);
  ASSERT_TRUE(saidTimes(*show, "tinlantern: reloaded the music, Credits, Clown\n", 1))
      << readFile(show->child().stderrPath);
  EXPECT_EQ(differingShare(first, shot(*show, "again.png")), 0.0);
  save(sync, original.substr(0, original.size() / 2));
  ASSERT_TRUE(saidTimes(*show, "tinlantern: kept the previous music (loaded at ", 1))
      << readFile(show->child().stderrPath);
  EXPECT_EQ(differingShare(first, shot(*show, "kept.png")), 0.0);
  EXPECT_EQ(show->ask("play").rfind("ok playing from beat 330.0", 0), 0u);
  usleep(800000);
  EXPECT_GT(beatNow(*show), 330.5) << "the music plays on";
  quit(std::move(show));
}

// A font is made again for the scenes that read it, and a broken one is
// kept out like a broken shader; reload (everything) says it could not
// while the file is broken, and loads everything once it is whole.
TEST_F(Maker, AFontIsMadeAgainForItsScenesAndABrokenOneIsKeptOut) {
  auto show = startShowOnACopy(400);
  const Picture first = shot(*show, "first.png");
  const std::string font = "data/common/fonts/times.ttf";  // the robots' and the tiles' captions
  const std::string original = readFile(dir_.file(font));
  save(font, original);
  ASSERT_TRUE(saidTimes(*show, "tinlantern: reloaded DadezAruv, Tiles\n", 1)) << readFile(show->child().stderrPath);
  save(font, original.substr(0, 100));
  ASSERT_TRUE(saidTimes(*show, "tinlantern: kept the previous DadezAruv (loaded at ", 1))
      << readFile(show->child().stderrPath);
  EXPECT_EQ(differingShare(first, shot(*show, "kept.png")), 0.0);
  EXPECT_EQ(show->ask("reload").rfind("error kept the previous show (loaded at ", 0), 0u);
  save(font, original);
  ASSERT_TRUE(saidTimes(*show, "tinlantern: reloaded DadezAruv, Tiles\n", 2)) << readFile(show->child().stderrPath);
  EXPECT_EQ(show->ask("reload"), "ok reloaded everything");
  EXPECT_EQ(differingShare(first, shot(*show, "again.png")), 0.0);
  quit(std::move(show));
}

}  // namespace
