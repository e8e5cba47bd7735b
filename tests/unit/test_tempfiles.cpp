// The tests' temporary folders: unique, and gone afterwards however the
// process that made them ends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "tempfiles.h"

namespace {

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

TEST(TempDir, UniqueAndRemovedWithEverythingInIt) {
  std::string kept;
  {
    TempDir one, two;
    ASSERT_NE(one.path(), two.path());
    EXPECT_EQ(one.path().rfind("/tmp/tinlantern-test-", 0), 0u) << one.path();
    std::string file = one.write("model.ase", "*3DSMAX_ASCIIEXPORT 200\n");
    EXPECT_TRUE(exists(file));
    kept = one.path();
  }
  EXPECT_FALSE(exists(kept));
}

TEST(TempDir, AFatalExitRemovesOnlyTheDyingProcesssOwn) {
  TempDir parents;
  std::string childs = parents.file("child-path");
  // The death test's child inherits `parents` and makes a folder of its
  // own; its exit(1) removes its own and leaves the parent's alone.
  EXPECT_EXIT(
      {
        TempDir own;
        parents.write("child-path", own.path());
        std::exit(1);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(exists(parents.path()));
  FILE* in = std::fopen(childs.c_str(), "r");
  ASSERT_NE(in, nullptr);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
  std::fclose(in);
  EXPECT_FALSE(exists(line)) << line;
}

}  // namespace
