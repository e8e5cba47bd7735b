// libFuzzer target: arbitrary bytes as a whole data.mvl archive, through the
// same parser the program reads its archive with.
// Built with -DARCHIVE_FUZZ_SEEDS instead, it writes a few archives made by
// the packer into the directory named on its command line.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "util/data/data.h"

#ifndef ARCHIVE_FUZZ_SEEDS

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
  DataIndex index;
  parseArchive(bytes, length, index);
  return 0;
}

// The parser reports through its return value and never reaches this; it
// only satisfies the linker, which sees it referenced from the same module.
void drawLoadingScreen() { std::abort(); }

#else

#include "seed_files.h"

#include "util/error.h"

void drawLoadingScreen() {}

namespace {

void add(DataIndex& index, const std::string& name, const std::string& text) {
  auto entry = std::make_unique<DataEntry>();
  entry->name = name;
  entry->data.assign(text.begin(), text.end());
  index.push_back(std::move(entry));
}

}  // namespace

int main(int argc, char** argv) {
  setFailureHandler(exitOnFailure);
  const std::string dir = seedDirectory(argc, argv);
  std::freopen("/dev/null", "w", stdout);  // the packer's log

  DataIndex one;
  add(one, "data/a.txt", "a lantern");
  writeArchive(dir + "/one_file.mvl", one);

  DataIndex several;
  add(several, "data/common/music/sp10-invite.xml", "<modulators stream_filename=\"x.ogg\"/>");
  add(several, "data/empty", "");
  std::string skewed;
  for (int i = 0; i < 4000; ++i) skewed += static_cast<char>(i % 7 == 0 ? i : 'e');
  add(several, "data/train/skewed.bin", skewed);
  writeArchive(dir + "/several_files.mvl", several);

  DataIndex emptyName;
  add(emptyName, "", "x");
  writeArchive(dir + "/empty_name.mvl", emptyName);
  return 0;
}

#endif
