#pragma once
// The packed data file and the one way every loader opens a file.
//
// All assets can ship as one archive, data.mvl, next to the program: a
// signature, a version (0.2) and one Huffman block holding a stream of
// "MVLDFC" chunks, one per file (name and contents). In reading mode the
// archive is read whole at start-up into the data index, and dataFopen
// serves every open from memory. In packing mode dataFopen opens the plain
// data/ tree and records every file it opens; writeDataFile then writes
// them all into a new archive.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// dataMode: how files are found. Fixed before the first file is opened.
constexpr int kDataPlain = 0;    // plain files only
constexpr int kDataReading = 1;  // every open is served from the archive
constexpr int kDataPacking = 2;  // plain files, recorded and written to a new archive
extern int dataMode;

struct DataEntry {
  std::string name;  // the path exactly as the program asks for it: "data/..."
  // The contents are either the entry's own bytes (packing, the tools) or,
  // read from an archive, its piece of the decoded chunk stream, which all
  // the archive's entries share and keep: no copy each. Read them through
  // bytes() and size().
  std::vector<uint8_t> data;
  std::shared_ptr<const uint8_t> piece;  // the piece's first byte; null for own bytes
  size_t pieceLength = 0;
  bool used = false;  // opened at least once

  const uint8_t* bytes() const { return piece ? piece.get() : data.data(); }
  uint32_t size() const { return static_cast<uint32_t>(piece ? pieceLength : data.size()); }
};

// The data index: archive order when reading, order of first opening when
// packing. Entries live until the process exits.
using DataIndex = std::vector<std::unique_ptr<DataEntry>>;
extern DataIndex dataIndex;

// Where the archive is: next to the executable, else in the working directory.
std::string dataFilePath();

// Reading mode: starts reading the archive at `path` (dataFilePath() for
// the show) on a thread of its own, so that it is read while the window
// opens. Once it is read, and unless the program is exiting, that thread
// hands the entries to `whenRead` (when there is one) before openDataFile
// takes them: the work that needs them can begin there too. Other modes, a
// second call, or no thread to be had: nothing.
void startReadingDataFile(const std::string& path,
                          std::function<void(const DataIndex&)> whenRead = nullptr);
// Reading mode: reads the archive into the data index, or takes what the
// thread read (waiting for it); a failure there is reported here, as if it
// were met here. Other modes: nothing.
void openDataFile();
// Packing mode: writes every entry of the data index into the archive.
// Other modes: nothing.
void writeDataFile();

// Opens a file like fopen. Reading mode: a read-only stream over the
// archive entry's memory (the mode is ignored), or null when there is no
// such entry. Other modes: the plain file, recorded when packing. Every
// open redraws the loading screen.
FILE* dataFopen(const char* path, const char* mode);

// While one lives (main thread), every path dataFopen opens, and every one
// a cache serves again (noteFileUse), is added to `paths`: maker mode learns
// which part of the show reads which file. They nest; the innermost records.
class RecordFileUse {
 public:
  explicit RecordFileUse(std::vector<std::string>& paths);
  ~RecordFileUse();
  RecordFileUse(const RecordFileUse&) = delete;
  RecordFileUse& operator=(const RecordFileUse&) = delete;

 private:
  std::vector<std::string>* outer_;
};
// A file used without opening it again (a cache's hit).
void noteFileUse(const char* path);

// Everything left in an open stream, read in steps so that no length from
// elsewhere is trusted; the stream is closed.
std::vector<uint8_t> readAndClose(FILE* file);

// The archive itself, for the program, the archive tool and the tests.
// Reading and writing report every failure as a fatal error.
void readArchive(const std::string& path, DataIndex& index);
void writeArchive(const std::string& path, const DataIndex& index);

// Parses an archive's bytes into entries (appended to `index`). Returns an
// empty string on success, else the reader's message; never reads outside
// `bytes` and allocates nothing larger than what the archive really holds.
std::string parseArchive(const uint8_t* bytes, size_t length, DataIndex& index);

// Packing-mode log line on standard output, after a UTC time stamp.
void dataLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
