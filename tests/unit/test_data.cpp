// The packed data file, the file access layer over it and the loading
// progress that every open advances.
#include <gtest/gtest.h>
#include <unistd.h>


#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/messagebox.h"
#include "tempfiles.h"
#include "util/atlas_font.h"
#include "util/data/data.h"
#include "util/data/huffman.h"
#include "util/data/loadingscreen.h"
#include "util/util.h"
#include "data_index.h"

namespace {

using ::testing::ExitedWithCode;
using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

void appendLe32(Bytes& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

Bytes chunk(const std::string& name, const std::string& contents, const char* tag = "MVLDFC") {
  Bytes out(tag, tag + 7);
  appendLe32(out, static_cast<uint32_t>(name.size()));
  appendLe32(out, static_cast<uint32_t>(contents.size()));
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), contents.begin(), contents.end());
  return out;
}

// A whole archive around a chunk stream, however broken the stream is.
Bytes archiveOf(const Bytes& stream, uint8_t major = 0, uint8_t minor = 2) {
  Bytes out = bytesOf(std::string("Morvella Data File", 19));
  out.push_back(major);
  out.push_back(minor);
  Bytes block(huffmanBlockLength(stream.data(), stream.size()));
  block.resize(huffmanCompress(stream.data(), stream.size(), block.data()));
  out.insert(out.end(), block.begin(), block.end());
  return out;
}

std::string parse(const Bytes& archive, DataIndex& index) {
  return parseArchive(archive.data(), archive.size(), index);
}

std::string parse(const Bytes& archive) {
  DataIndex index;
  return parse(archive, index);
}

std::string readAll(FILE* file) {
  std::string out;
  for (int c; (c = std::fgetc(file)) != EOF;) out += static_cast<char>(c);
  return out;
}

Bytes contentsOf(const DataEntry& entry) { return Bytes(entry.bytes(), entry.bytes() + entry.size()); }

void addEntry(DataIndex& index, const std::string& name, const std::string& contents) {
  auto entry = std::make_unique<DataEntry>();
  entry->name = name;
  entry->data = bytesOf(contents);
  index.push_back(std::move(entry));
}

class DataFiles : public DataIndexTest {
 protected:
  std::string temporary(const std::string& contents) {
    return dir_.write("file" + std::to_string(++count_), contents);
  }
  TempDir dir_;
  int count_ = 0;
};

TEST_F(DataFiles, ArchiveRoundTripKeepsNamesContentsAndOrder) {
  DataIndex written;
  addEntry(written, "data/common/shaders/simple.vert", "void main() {}\n");
  addEntry(written, "data/empty.txt", "");
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7919) >> 3);
  addEntry(written, "data/scene_train/train.sgl", binary);
  std::string path = temporary("");
  writeArchive(path, written);

  DataIndex read;
  readArchive(path, read);
  ASSERT_EQ(read.size(), 3u);
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i]->name, written[i]->name);
    EXPECT_EQ(contentsOf(*read[i]), written[i]->data);
    EXPECT_FALSE(read[i]->used);
  }
}

TEST_F(DataFiles, EntriesKeepTheDecodedStreamTheyShare) {
  DataIndex written;
  std::string big;
  for (int i = 0; i < 300000; ++i) big += static_cast<char>('a' + (i * 31 + i / 7) % 26);
  addEntry(written, "data/big.txt", big);
  addEntry(written, "data/small.txt", "small");
  addEntry(written, "data/empty.txt", "");
  std::string path = temporary("");
  writeArchive(path, written);

  // Entries outlive the archive's bytes and the other entries.
  std::unique_ptr<DataEntry> kept, empty;  // the small one and the empty one
  {
    DataIndex read;
    readArchive(path, read);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(contentsOf(*read[0]), bytesOf(big));
    kept = std::move(read[1]);
    empty = std::move(read[2]);
  }
  EXPECT_EQ(contentsOf(*kept), bytesOf("small"));
  EXPECT_EQ(empty->size(), 0u);
  dataIndex.push_back(std::move(empty));
  FILE* file = dataFopen("data/empty.txt", "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fgetc(file), EOF);
  std::fclose(file);
}

TEST_F(DataFiles, ArchiveReadAheadFillsTheIndexWhenOpened) {
  DataIndex written;
  addEntry(written, "data/a.txt", "alpha");
  addEntry(written, "data/b.txt", "beta");
  std::string path = temporary("");
  writeArchive(path, written);
  // The thread hands over the entries where they stay: the worker decoding
  // ahead holds on to them.
  std::vector<std::string> handed;
  const DataEntry* second = nullptr;
  startReadingDataFile(path, [&](const DataIndex& read) {
    for (const auto& entry : read) handed.push_back(entry->name);
    second = read[1].get();
  });
  addEntry(dataIndex, "data/before.txt", "x");  // the archive's entries come after it
  openDataFile();
  ASSERT_EQ(dataIndex.size(), 3u);
  EXPECT_EQ(dataIndex[1]->name, "data/a.txt");
  EXPECT_EQ(contentsOf(*dataIndex[2]), bytesOf("beta"));
  EXPECT_EQ(handed, std::vector<std::string>({"data/a.txt", "data/b.txt"}));
  EXPECT_EQ(second, dataIndex[2].get());
  // Taken: a second read ahead may start.
  startReadingDataFile(path);
  openDataFile();
  EXPECT_EQ(dataIndex.size(), 5u);
}

TEST_F(DataFiles, ArchiveReadAheadFailsWhereItIsOpened) {
  std::string broken = temporary("Morvella Data File");
  // The thread is long done when the main thread goes on, and says nothing.
  EXPECT_EXIT(
      {
        startReadingDataFile(broken, [](const DataIndex&) { std::abort(); });  // nothing to hand over
        usleep(200000);
        std::fprintf(stderr, "opening\n");
        openDataFile();
      },
      ExitedWithCode(1), "^opening\n(.|\n)*\n\nFailed to read header!\n$");
  EXPECT_EXIT(
      {
        startReadingDataFile("/nonexistent/data.mvl");
        openDataFile();
      },
      ExitedWithCode(1), "Failed to open data file /nonexistent/data.mvl for reading.\n\n$");
  // Other modes read nothing ahead.
  dataMode = kDataPlain;
  startReadingDataFile(broken);
  openDataFile();
  EXPECT_TRUE(dataIndex.empty());
}

TEST_F(DataFiles, WriterLogsEachFileWithUtcTimeStamps) {
  DataIndex written;
  addEntry(written, "data/a.txt", "aaaa");
  std::string path = temporary("");
  ::testing::internal::CaptureStdout();
  writeArchive(path, written);
  std::string log = ::testing::internal::GetCapturedStdout();
  const std::string stamp = "[0-9]{4}-[0-9]{2}-[0-9]{2} [ 0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]{3} ";
  EXPECT_TRUE(::testing::internal::RE::PartialMatch(
      log, ::testing::internal::RE("^" + stamp + "Writing datafile [^\n]+:\n" + stamp +
                                   "\\.\\.file: data/a\\.txt, 4 bytes\n" + stamp +
                                   "Done writing datafile \"[^\"]+\" of 0\\.0MB!\n")))
      << log;
  EXPECT_NE(log.find(" ..original file size:         29 bytes\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" ..compression rate:"), std::string::npos) << log;
}

TEST_F(DataFiles, StreamEndingExactlyAfterAChunkEndsNormally) {
  Bytes stream = chunk("data/a", "first");
  Bytes second = chunk("data/b", "second");
  stream.insert(stream.end(), second.begin(), second.end());
  DataIndex index;
  EXPECT_EQ(parse(archiveOf(stream), index), "");
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[1]->name, "data/b");

  // Fewer than a tag's 7 bytes left: the stream is finished.
  Bytes tail = stream;
  tail.insert(tail.end(), {'M', 'V', 'L'});
  EXPECT_EQ(parse(archiveOf(tail)), "");
}

TEST_F(DataFiles, BrokenChunkStreamsAreReported) {
  Bytes whole = chunk("data/a", "contents");
  for (size_t cut : {size_t(9), size_t(15), size_t(17), whole.size() - 1}) {
    Bytes truncated(whole.begin(), whole.begin() + static_cast<long>(cut));
    EXPECT_EQ(parse(archiveOf(truncated)), "Unexpected end of datafile!") << cut;
  }
  // Lengths that claim far more than there is fail before anything is allocated.
  Bytes lying = chunk("data/a", "x");
  lying[7] = lying[8] = lying[9] = lying[10] = 0xff;
  EXPECT_EQ(parse(archiveOf(lying)), "Unexpected end of datafile!");
  lying = chunk("data/a", "x");
  lying[14] = 0xff;
  EXPECT_EQ(parse(archiveOf(lying)), "Unexpected end of datafile!");

  Bytes stream = chunk("data/a", "ok");
  Bytes bad = chunk("data/b", "no", "MVLDFX");
  stream.insert(stream.end(), bad.begin(), bad.end());
  EXPECT_EQ(parse(archiveOf(stream)),
            "Unrecognized chunk header: MVLDFX. \nRead 1 chunks, 0.0 MB before this\n");
}

TEST_F(DataFiles, BrokenHeadersAreReported) {
  Bytes good = archiveOf(chunk("data/a", "x"));
  EXPECT_EQ(parse(Bytes()), "Negative or zero file length: 0");
  EXPECT_EQ(parse(Bytes(good.begin(), good.begin() + 18)), "Failed to read header!");
  EXPECT_EQ(parse(Bytes(good.begin(), good.begin() + 19)), "Failed to read major version!");
  EXPECT_EQ(parse(Bytes(good.begin(), good.begin() + 20)), "Failed to read minor version!");
  Bytes other = good;
  other[9] = 'X';
  EXPECT_EQ(parse(other), "Unrecognized datafile header: Morvella Xata File");
  EXPECT_EQ(parse(archiveOf(chunk("data/a", "x"), 0, 3)), "Expected datafile format 0.2, got 0.3\n");
  EXPECT_EQ(parse(archiveOf(chunk("data/a", "x"), 1, 2)), "Expected datafile format 0.2, got 1.2\n");
  // A header with no block after it is the decoder's to report.
  EXPECT_FALSE(parse(Bytes(good.begin(), good.begin() + 21)).empty());
}

TEST_F(DataFiles, ReaderFailuresAreFatal) {
  EXPECT_EXIT(readArchive("/nonexistent/data.mvl", dataIndex), ExitedWithCode(1),
              "Failed to open data file /nonexistent/data.mvl for reading.\n\n$");
  std::string broken = temporary("Morvella Data File");
  EXPECT_EXIT(readArchive(broken, dataIndex), ExitedWithCode(1), "\n\nFailed to read header!\n$");
}

TEST_F(DataFiles, PackingWithNothingOpenedFails) {
  DataIndex empty;
  EXPECT_EXIT(writeArchive(temporary(""), empty), ExitedWithCode(1),
              "\n\nNegative or zero file length: 0\n$");
}

TEST_F(DataFiles, ReadingModeServesIndependentStreamsFromMemory) {
  addEntry(dataIndex, "data/a.txt", "alpha");
  addEntry(dataIndex, "data/b.txt", "beta");
  FILE* first = dataFopen("data/a.txt", "rb");
  FILE* second = dataFopen("data/a.txt", "rt");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(std::fgetc(first), 'a');
  EXPECT_EQ(readAll(second), "alpha");
  EXPECT_EQ(readAll(first), "lpha");
  std::fseek(first, 0, SEEK_END);
  EXPECT_EQ(std::ftell(first), 5);
  std::fclose(first);
  std::fclose(second);
  EXPECT_TRUE(dataIndex[0]->used);
  EXPECT_FALSE(dataIndex[1]->used);
  // Reopening redraws without advancing: one entry of two is used.
  EXPECT_EQ(loadingProgress().done, 1u);
  EXPECT_EQ(loadingProgress().total, 2u);

  addEntry(dataIndex, "data/empty.txt", "");
  FILE* empty = dataFopen("data/empty.txt", "rb");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(std::fgetc(empty), EOF);
  std::fclose(empty);

  // Names match byte for byte; there is no fall-back to the plain tree.
  EXPECT_EQ(dataFopen("data/A.txt", "rb"), nullptr);
  EXPECT_EQ(dataFopen("data\\a.txt", "rb"), nullptr);
  EXPECT_EQ(dataFopen("/etc/hostname", "rb"), nullptr);
}

TEST_F(DataFiles, DuplicateEntriesAreFatalWhenOpened) {
  addEntry(dataIndex, "data/a.txt", "one");
  addEntry(dataIndex, "data/a.txt", "two");
  EXPECT_EXIT(dataFopen("data/a.txt", "rb"), ExitedWithCode(1),
              "Ouch, found more than one entry for data/a.txt in datafile. Duplicates make no "
              "sense here.\n$");
}

TEST_F(DataFiles, PackingModeRecordsEachFileOnce) {
  dataMode = kDataPacking;
  std::string path = temporary("packed contents");
  FILE* file = dataFopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(readAll(file), "packed contents");  // rewound after recording
  std::fclose(file);
  ASSERT_EQ(dataIndex.size(), 1u);
  EXPECT_EQ(dataIndex[0]->name, path);
  EXPECT_EQ(dataIndex[0]->data, bytesOf("packed contents"));

  uint32_t done = loadingProgress().done;
  ::testing::internal::CaptureStdout();
  file = dataFopen(path.c_str(), "rb");
  std::string log = ::testing::internal::GetCapturedStdout();
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_EQ(dataIndex.size(), 1u);
  EXPECT_EQ(loadingProgress().done, done);  // no redraw for a duplicate
  EXPECT_NE(log.find(" [DATA] Skipping duplicate entry for " + path + "\n"), std::string::npos);

  EXPECT_EQ(dataFopen("/nonexistent/file", "rb"), nullptr);
  std::string empty = temporary("");
  EXPECT_EXIT(dataFopen(empty.c_str(), "rb"), ExitedWithCode(1),
              "Tried to read 0 bytes from " + empty + ", got 0\n$");
}

TEST(LoadingProgress, ReadingModeCountsUsedEntries) {
  DataIndex index;
  for (int i = 0; i < 4; ++i) addEntry(index, "data/" + std::to_string(i), "x");
  LoadingProgress progress;
  index[0]->used = index[3]->used = true;
  progress.advance(kDataReading, index);
  EXPECT_EQ(progress.done, 2u);
  EXPECT_EQ(progress.total, 4u);
  EXPECT_FLOAT_EQ(progress.fraction(), 0.5f);  // the fill ends at x = 0.1 + 0.8 * 0.5
  EXPECT_FLOAT_EQ(progress.brightness(), 1.0f);
  index[1]->used = true;
  progress.advance(kDataReading, index);
  EXPECT_FLOAT_EQ(progress.brightness(), 0.5f);
  index[2]->used = true;
  progress.advance(kDataReading, index);
  EXPECT_FLOAT_EQ(progress.brightness(), 0.0f);  // all opened: black again

  LoadingProgress nothing;
  nothing.advance(kDataReading, DataIndex());
  EXPECT_EQ(nothing.total, 0u);
  EXPECT_EQ(nothing.brightness(), 0.0f);
}

TEST(LoadingProgress, OtherModesGrowTheTotal) {
  LoadingProgress progress;
  for (int i = 0; i < 75; ++i) progress.advance(kDataPlain, DataIndex());
  EXPECT_FLOAT_EQ(progress.brightness(), 1.0f);  // half of the expected 150
  for (int i = 75; i < 200; ++i) progress.advance(kDataPacking, DataIndex());
  EXPECT_EQ(progress.done, 200u);
  EXPECT_EQ(progress.total, 200u);
  EXPECT_FLOAT_EQ(progress.fraction(), 1.0f);
  EXPECT_FLOAT_EQ(progress.brightness(), 0.0f);  // full and dark from the 150th file on
}

TEST(LoadingProgress, TheScreenIsRedrawnEveryFiftyMillisecondsAndAtTheLastFile) {
  LoadingProgress halfway;
  halfway.total = 90;
  halfway.done = 45;
  EXPECT_FALSE(loadingRedrawDue(0.0, halfway));
  EXPECT_FALSE(loadingRedrawDue(0.049, halfway));
  EXPECT_TRUE(loadingRedrawDue(0.05, halfway));
  LoadingProgress last = halfway;
  last.done = 90;
  EXPECT_TRUE(loadingRedrawDue(0.0, last)) << "the full bar is always shown";
  LoadingProgress nothing;
  nothing.total = 0;
  nothing.done = 0;
  EXPECT_FALSE(loadingRedrawDue(0.01, nothing));
}

TEST(LoadingProgress, TheStepsAfterTheFilesFillTheRestOfTheBar) {
  LoadingProgress progress;
  progress.total = 90;
  progress.done = 90;
  progress.steps = 30;
  EXPECT_FLOAT_EQ(progress.fraction(), 0.75f);
  EXPECT_FLOAT_EQ(progress.brightness(), 0.5f) << "still fading out";
  EXPECT_FALSE(loadingRedrawDue(0.0, progress)) << "the last file is not the end any more";
  progress.stepsDone = 30;
  EXPECT_FLOAT_EQ(progress.fraction(), 1.0f);
  EXPECT_FLOAT_EQ(progress.brightness(), 0.0f);
  EXPECT_TRUE(loadingRedrawDue(0.0, progress)) << "the full bar is always shown";
}

TEST_F(DataFiles, ReadLinesSplitsAtLineFeeds) {
  addEntry(dataIndex, "data/blank.txt", "a\n\nb");
  addEntry(dataIndex, "data/ended.txt", "a\nb\n");
  addEntry(dataIndex, "data/empty.txt", "");
  std::vector<std::string> lines;
  readLines("data/blank.txt", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "", "b"}));
  lines.clear();
  readLines("data/ended.txt", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
  readLines("data/empty.txt", lines);  // appends nothing
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_EXIT(readLines("data/missing.txt", lines), ExitedWithCode(1),
              "Failed to open file data/missing.txt\n\n$");
}

// Loading a font that reads is a GL test (its glyphs are uploaded); the
// failures come first.
TEST_F(DataFiles, LoadFontFailsOnAMissingOrBrokenFile) {
  addEntry(dataIndex, "data/common/fonts/broken.ttf", "not a font at all");
  EXPECT_EXIT(loadFont("data/common/fonts/missing.ttf", 24), ExitedWithCode(1), "\n\nfp is NULL\n$");
  EXPECT_EXIT(loadFont("data/common/fonts/broken.ttf", 24), ExitedWithCode(1),
              "Failed to load font data/common/fonts/broken.ttf");
}

}  // namespace
