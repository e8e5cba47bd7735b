// The archive tool: pack, list, extract and verify, and archives that the
// program's own reader rejects.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "process.h"

namespace {

namespace fs = std::filesystem;
const char* const kTool = MVLTOOL_BIN;

class ArchiveTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/tinlantern-mvltool-XXXXXX";
    root_ = mkdtemp(dir);
  }
  void TearDown() override { fs::remove_all(root_); }

  void write(const std::string& relative, const std::string& contents) {
    fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
  }
  std::string read(const std::string& relative) {
    std::ifstream in(root_ / relative, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  int tool(const std::vector<std::string>& args, std::string& out, std::string& errors) {
    std::vector<std::string> command = {kTool};
    command.insert(command.end(), args.begin(), args.end());
    Child child = spawnProcess(command, {});
    int code = waitProcess(child, 60);
    errors = readFile(child.stderrPath);
    out.clear();
    return code;
  }
  std::string path(const std::string& relative) { return (root_ / relative).string(); }

  fs::path root_;
};

TEST_F(ArchiveTool, PacksListsExtractsAndVerifies) {
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += static_cast<char>(i * 31);
  write("tree/common/shaders/simple.vert", "void main() {}\n");
  write("tree/scene_train/train.sgl", binary);
  write("tree/empty.txt", "");

  std::string out, errors;
  std::string log;
  ASSERT_EQ(runCapture({kTool, "pack", path("tree"), path("show.mvl")}, {}, log), 0);
  EXPECT_NE(log.find("..file: data/common/shaders/simple.vert, 15 bytes"), std::string::npos) << log;

  std::string listing;
  ASSERT_EQ(runCapture({kTool, "list", path("show.mvl")}, {}, listing), 0);
  // Name order, whatever order the directory walk gave.
  EXPECT_EQ(listing,
            "        15  data/common/shaders/simple.vert\n"
            "         0  data/empty.txt\n"
            "      5000  data/scene_train/train.sgl\n");

  std::string verified;
  ASSERT_EQ(runCapture({kTool, "verify", path("show.mvl")}, {}, verified), 0);
  EXPECT_NE(verified.find("3 entries, 5015 bytes"), std::string::npos) << verified;

  ASSERT_EQ(tool({"extract", path("show.mvl"), path("out")}, out, errors), 0) << errors;
  EXPECT_EQ(read("out/data/scene_train/train.sgl"), binary);
  EXPECT_EQ(read("out/data/common/shaders/simple.vert"), "void main() {}\n");
  EXPECT_TRUE(fs::exists(root_ / "out/data/empty.txt"));

  // Packing is repeatable byte for byte.
  ASSERT_EQ(runCapture({kTool, "pack", path("tree"), path("again.mvl")}, {}, log), 0);
  EXPECT_EQ(read("show.mvl"), read("again.mvl"));
}

TEST_F(ArchiveTool, BrokenArchivesFailVerificationWithTheReadersMessage) {
  write("tree/a.txt", "some contents to pack");
  std::string log, out, errors;
  ASSERT_EQ(runCapture({kTool, "pack", path("tree"), path("good.mvl")}, {}, log), 0);
  std::string good = read("good.mvl");

  write("version.mvl", good.substr(0, 20) + '\x03' + good.substr(21));
  EXPECT_EQ(tool({"verify", path("version.mvl")}, out, errors), 1);
  EXPECT_NE(errors.find("\n\nExpected datafile format 0.2, got 0.3\n"), std::string::npos) << errors;

  for (size_t cut : {size_t(10), size_t(30), good.size() - 3}) {
    write("short.mvl", good.substr(0, cut));
    EXPECT_EQ(tool({"verify", path("short.mvl")}, out, errors), 1) << cut;
    EXPECT_EQ(errors.rfind("Error in file src/util/data/", 0), 0u) << errors;
  }

  EXPECT_EQ(tool({"verify", path("missing.mvl")}, out, errors), 1);
  EXPECT_NE(errors.find("Failed to open data file"), std::string::npos);
  EXPECT_EQ(tool({"unpack", path("good.mvl")}, out, errors), 2);
}

TEST_F(ArchiveTool, EmptyTreeCannotBePacked) {
  fs::create_directories(root_ / "empty");
  std::string out, errors;
  EXPECT_EQ(tool({"pack", path("empty"), path("none.mvl")}, out, errors), 1);
  EXPECT_NE(errors.find("Negative or zero file length: 0"), std::string::npos) << errors;
}

}  // namespace
