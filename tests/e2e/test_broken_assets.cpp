// Assets broken as a person editing the show's files might break them: the
// archive extracted, one file changed, packed again and the show started on
// it. Each ends the program with exit code 1 and a report that names the
// file and what is wrong, however deep or large the damage; none crashes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "process.h"
#include "xvfb.h"

namespace {

namespace fs = std::filesystem;

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Elements nested `levels` deep inside a root element.
std::string nested(const std::string& root, const std::string& element, int levels) {
  std::string text = "<?xml version=\"1.0\"?><" + root + ">";
  for (int i = 0; i < levels; ++i) text += "<" + element + ">";
  for (int i = 0; i < levels; ++i) text += "</" + element + ">";
  return text + "</" + root + ">";
}

uint32_t be32(const std::string& bytes, size_t at) {
  return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
         uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
}

// The PNG with its compressed image data cut to half, every chunk still
// whole (lengths right, CRCs as they were: they are not checked).
std::string pngWithDataCutShort(const std::string& png) {
  std::string out = png.substr(0, 8);
  bool cut = false;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t length = be32(png, at);
    const std::string type = png.substr(at + 4, 4);
    std::string chunk = png.substr(at, 12 + length);
    at += 12 + length;
    if (type == "IDAT") {
      if (cut) continue;  // later parts of the stream go too
      const uint32_t half = length / 2;
      chunk = std::string{char(half >> 24), char(half >> 16), char(half >> 8), char(half)} +
              "IDAT" + chunk.substr(8, half) + chunk.substr(8 + length, 4);
      cut = true;
    }
    out += chunk;
  }
  return out;
}

struct Breakage {
  std::string name;
  std::string file;                                   // under data/
  std::function<std::string(const std::string&)> change;
  std::string beat;                                   // of the scene that uses it
  std::vector<std::string> said;                      // on standard error
};

TEST(BrokenAssets, EndTheShowWithAReportNamingTheFileAndWhatIsWrong) {
  XvfbServer xvfb;
  ASSERT_TRUE(xvfb.running()) << "Xvfb did not start";
  char dir[] = "/tmp/tinlantern-broken-XXXXXX";
  const fs::path root = mkdtemp(dir);
  std::string out;
  ASSERT_EQ(runCapture({MVLTOOL_BIN, "extract", "build/data.mvl", (root / "original").string()},
                       {}, out),
            0);

  const std::vector<Breakage> breakages = {
      {"deep-collada", "train/train.dae",
       [](const std::string&) { return nested("COLLADA", "node", 50000); }, "150",
       {"Could not load data/train/train.dae. Error='Elements nested deeper than 1024 levels'"}},
      {"deep-sync", "common/music/sp10-invite.xml",
       [](const std::string&) { return nested("sync", "track", 50000); }, "30",
       {"Could not load data/common/music/sp10-invite.xml. Error='Elements nested deeper than "
        "1024 levels'"}},
      {"png-cut-short", "credits/rain.png", pngWithDataCutShort, "30",
       {"Image data ends early", "Failed to load image data/credits/rain.png!"}},
      {"nan-in-collada", "tiles/Shower Head.dae",
       [](const std::string& text) {
         const size_t array = text.find('>', text.find("<float_array"));
         const size_t number = text.find_first_not_of(" \n\t", array + 1);
         const size_t end = text.find_first_of(" \n\t<", number);
         return text.substr(0, number) + "nan" + text.substr(end);
       },
       "500", {"Error in file src/util/objects3d/dae_loader.cpp:", "holds \"nan\", which is not a number"}},
  };

  const std::vector<std::string> env = {"DISPLAY=" + xvfb.display(), "SDL_VIDEODRIVER=x11",
                                        "SDL_AUDIODRIVER=dummy"};
  std::vector<Child> runs;
  for (const Breakage& b : breakages) {
    const fs::path folder = root / b.name;
    fs::copy(root / "original", folder, fs::copy_options::recursive);
    const fs::path file = folder / "data" / b.file;
    writeBytes(file, b.change(readBytes(file)));
    ASSERT_EQ(runCapture({MVLTOOL_BIN, "pack", (folder / "data").string(),
                          (folder / "data.mvl").string()},
                         {}, out),
              0);
    fs::copy_file(TINLANTERN_BIN, folder / "tinlantern");
    runs.push_back(spawnProcess({(folder / "tinlantern").string(), "--batch", "--frame", b.beat,
                                 "--out", (folder / "frame.png").string(), "--size", "160x90"},
                                env));
  }
  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(breakages[i].name);
    EXPECT_EQ(waitProcess(runs[i], 120), 1);
    const std::string errors = readFile(runs[i].stderrPath);
    for (const std::string& text : breakages[i].said)
      EXPECT_NE(errors.find(text), std::string::npos) << "expected \"" << text << "\" in:\n" << errors;
    EXPECT_FALSE(fs::exists(root / breakages[i].name / "frame.png"));
  }
  fs::remove_all(root);
}

}  // namespace
