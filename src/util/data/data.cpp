#include "util/data/data.h"

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <future>
#include <system_error>

#include "platform/system.h"
#include "util/data/huffman.h"
#include "util/data/loadingscreen.h"
#include "util/error.h"

int dataMode = kDataPlain;
DataIndex dataIndex;

namespace {

const char kSignature[19] = "Morvella Data File";  // 18 characters and the zero byte
const uint8_t kMajorVersion = 0;
const uint8_t kMinorVersion = 2;
const size_t kHeaderLength = sizeof kSignature + 2;
const char kChunkTag[7] = "MVLDFC";  // 6 characters and the zero byte

uint32_t readLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void appendLe32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buffer, sizeof buffer, fmt, args);
  va_end(args);
  return buffer;
}

// Bytes read from a broken file, shown as text: up to `length`, stopping at a zero byte.
std::string shown(const uint8_t* bytes, size_t length) {
  return std::string(reinterpret_cast<const char*>(bytes), strnlen(reinterpret_cast<const char*>(bytes), length));
}

// The chunk stream parsed from the decompressed block. The entries keep
// the stream and point into it.
std::string parseChunks(const std::shared_ptr<const uint8_t[]>& stream, size_t length, DataIndex& index) {
  const uint8_t* const bytes = stream.get();
  size_t at = 0;
  uint32_t chunks = 0;
  double megabytes = 0.0;
  while (length - at >= sizeof kChunkTag) {
    const uint8_t* tag = bytes + at;
    if (std::memcmp(tag, kChunkTag, sizeof kChunkTag) != 0)
      return format("Unrecognized chunk header: %s. \nRead %i chunks, %.1f MB before this\n",
                    shown(tag, sizeof kChunkTag).c_str(), chunks, megabytes);
    at += sizeof kChunkTag;
    if (length - at < 8) return "Unexpected end of datafile!";
    uint32_t nameLength = readLe32(bytes + at);
    uint32_t contentLength = readLe32(bytes + at + 4);
    at += 8;
    // Both lengths are checked against what is really there before any use.
    if (length - at < nameLength) return "Unexpected end of datafile!";
    std::string name(reinterpret_cast<const char*>(bytes + at), nameLength);
    at += nameLength;
    if (length - at < contentLength) return "Unexpected end of datafile!";
    auto entry = std::make_unique<DataEntry>();
    entry->name = std::move(name);
    entry->piece = std::shared_ptr<const uint8_t>(stream, bytes + at);
    entry->pieceLength = contentLength;
    at += contentLength;
    index.push_back(std::move(entry));
    ++chunks;
    megabytes += contentLength / 1048576.0;
  }
  return std::string();
}

DataEntry* findEntry(const char* path) {
  DataEntry* found = nullptr;
  for (auto& entry : dataIndex) {
    if (entry->name != path) continue;
    if (found)
      FATAL("Ouch, found more than one entry for %s in datafile. Duplicates make no sense here.",
            path);
    found = entry.get();
  }
  return found;
}

// Opens the plain file and, in packing mode, records it in the index.
// `fresh` tells whether something new was loaded (false for a duplicate).
FILE* openPlain(const char* path, const char* mode, bool& fresh) {
  fresh = true;
  FILE* file = std::fopen(path, mode);
  if (!file || dataMode != kDataPacking) return file;

  for (auto& entry : dataIndex) {
    if (entry->name == path) {
      dataLog("[DATA] Skipping duplicate entry for %s\n", path);
      fresh = false;
      return file;
    }
  }
  std::fseek(file, 0, SEEK_END);
  long length = std::ftell(file);
  std::rewind(file);
  if (length < 0) FATAL("Negative file length: %i", static_cast<int>(length));
  auto entry = std::make_unique<DataEntry>();
  entry->name = path;
  entry->data.resize(static_cast<size_t>(length));
  size_t got = length > 0 ? std::fread(entry->data.data(), 1, entry->data.size(), file) : 0;
  if (got < 1)
    FATAL("Tried to read %i bytes from %s, got %i", static_cast<int>(length), path,
          static_cast<int>(got));
  entry->data.resize(got);
  std::rewind(file);
  dataIndex.push_back(std::move(entry));
  return file;
}

}  // namespace

void dataLog(const char* fmt, ...) {
  const UtcTime now = utcNow();
  std::printf("%04d-%02d-%02d %2d:%02d:%02d:%03d ", now.year, now.month, now.day, now.hour,
              now.minute, now.second, now.millisecond);
  va_list args;
  va_start(args, fmt);
  std::vprintf(fmt, args);
  va_end(args);
  std::fflush(stdout);
}

std::vector<uint8_t> readAndClose(FILE* file) {
  std::vector<uint8_t> bytes;
  uint8_t block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0)
    bytes.insert(bytes.end(), block, block + got);
  std::fclose(file);
  return bytes;
}

std::string dataFilePath() {
  const std::string dir = executableFolder();
  if (!dir.empty()) {
    if (isFile(dir + "data.mvl")) return dir + "data.mvl";
    if (dataMode == kDataPacking) return dir + "data.mvl";
  }
  return "data.mvl";
}

std::string parseArchive(const uint8_t* bytes, size_t length, DataIndex& index) {
  if (length < 1) return format("Negative or zero file length: %i", static_cast<int>(length));
  if (length < sizeof kSignature) return "Failed to read header!";
  if (std::memcmp(bytes, kSignature, sizeof kSignature) != 0)
    return format("Unrecognized datafile header: %s", shown(bytes, sizeof kSignature).c_str());
  if (length < sizeof kSignature + 1) return "Failed to read major version!";
  if (length < kHeaderLength) return "Failed to read minor version!";
  uint8_t major = bytes[sizeof kSignature];
  uint8_t minor = bytes[sizeof kSignature + 1];
  if (major != kMajorVersion || minor != kMinorVersion)
    return format("Expected datafile format %i.%i, got %i.%i\n", kMajorVersion, kMinorVersion,
                  major, minor);

  // Decoded straight into a buffer nobody clears first: every byte of it is written.
  const uint8_t* const block = bytes + kHeaderLength;
  const size_t blockLength = length - kHeaderLength;
  size_t streamLength;
  std::string error = huffmanDecodedLength(block, blockLength, streamLength);
  if (!error.empty()) return error;
  std::shared_ptr<uint8_t[]> stream(new uint8_t[streamLength]);
  error = huffmanDecompressInto(block, blockLength, stream.get());
  if (!error.empty()) return error;
  return parseChunks(stream, streamLength, index);
}

void readArchive(const std::string& path, DataIndex& index) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) FATAL("Failed to open data file %s for reading.\n", path.c_str());
  std::fseek(file, 0, SEEK_END);
  long length = std::ftell(file);
  std::rewind(file);
  if (length < 1) FATAL("Negative or zero file length: %i", static_cast<int>(length));
  // Not cleared first: fread fills it, and what it does not fill is never read.
  const size_t size = static_cast<size_t>(length);
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
  size_t got = std::fread(bytes.get(), 1, size, file);
  std::fclose(file);
  if (got != size) FATAL("Failed to read %i bytes from %s.", static_cast<int>(length), path.c_str());
  std::string error = parseArchive(bytes.get(), size, index);
  if (!error.empty()) FATAL("%s", error.c_str());
}

void writeArchive(const std::string& path, const DataIndex& index) {
  dataLog("Writing datafile %s:\n", path.c_str());
  std::vector<uint8_t> stream;
  for (const auto& entry : index) {
    dataLog("..file: %s, %i bytes\n", entry->name.c_str(), static_cast<int>(entry->size()));
    stream.insert(stream.end(), kChunkTag, kChunkTag + sizeof kChunkTag);
    appendLe32(stream, static_cast<uint32_t>(entry->name.size()));
    appendLe32(stream, entry->size());
    stream.insert(stream.end(), entry->name.begin(), entry->name.end());
    stream.insert(stream.end(), entry->bytes(), entry->bytes() + entry->size());
  }
  if (stream.empty()) FATAL("Negative or zero file length: %i", 0);
  if (stream.size() > 0xffffffffu)
    FATAL("Datafile contents of %zu bytes do not fit the format's 4 GB.", stream.size());

  std::vector<uint8_t> block(huffmanBlockLength(stream.data(), stream.size()));
  size_t blockLength = huffmanCompress(stream.data(), stream.size(), block.data());

  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file)
    FATAL("Failed to open data file %s for writing. Gimme permissions, bitch!\n", path.c_str());
  if (std::fwrite(kSignature, sizeof kSignature, 1, file) != 1) FATAL("Failed to write header!");
  if (std::fwrite(&kMajorVersion, 1, 1, file) != 1) FATAL("Failed to write major version!");
  if (std::fwrite(&kMinorVersion, 1, 1, file) != 1) FATAL("Failed to write minor version!");
  if (std::fwrite(block.data(), blockLength, 1, file) != 1 || std::fclose(file) != 0)
    FATAL("Failed to write file contents!");

  int original = static_cast<int>(stream.size());
  int compressed = static_cast<int>(blockLength);
  dataLog("Done writing datafile \"%s\" of %.1fMB!\n", path.c_str(), original / 1048576.0);
  dataLog(" ..original file size:  %9i bytes\n", original);
  dataLog(" ..compressed file size:%9i bytes\n", compressed);
  dataLog(" ..lost in compression: %9i bytes\n", original - compressed);
  dataLog(" ..compression rate:      %7.2f %%\n", (original - compressed) * 100.0 / original);
}

namespace {

// The archive read on its own thread, or the failure that ended the reading.
struct ArchiveRead {
  DataIndex index;
  std::unique_ptr<Failure> failure;
};
std::future<ArchiveRead> pendingRead;
std::atomic<bool> exiting{false};

// An exit while the archive is read (a fatal error while the window opens)
// lets the reading finish first, and with it whatever its thread starts.
void finishReadingAtExit() {
  exiting = true;
  if (pendingRead.valid()) pendingRead.wait();
}

}  // namespace

void startReadingDataFile(const std::string& path, std::function<void(const DataIndex&)> whenRead) {
  if (dataMode != kDataReading || pendingRead.valid()) return;
  static const bool registered = std::atexit(finishReadingAtExit) == 0;
  (void)registered;
  try {
    pendingRead = std::async(std::launch::async, [path, whenRead = std::move(whenRead)] {
      ArchiveRead read;
      try {
        FailuresThrown thrown;
        readArchive(path, read.index);
      } catch (Failure& failure) {
        read.index.clear();
        read.failure = std::make_unique<Failure>(std::move(failure));
      }
      if (!read.failure && whenRead && !exiting) whenRead(read.index);
      return read;
    });
  } catch (const std::system_error&) {
    // No thread to be had: openDataFile reads it.
  }
}

void openDataFile() {
  if (dataMode != kDataReading) return;
  if (!pendingRead.valid()) {
    readArchive(dataFilePath(), dataIndex);
    return;
  }
  ArchiveRead read = pendingRead.get();
  if (read.failure) raiseFailure(std::move(*read.failure));
  for (auto& entry : read.index) dataIndex.push_back(std::move(entry));
}

void writeDataFile() {
  if (dataMode == kDataPacking) writeArchive(dataFilePath(), dataIndex);
}

namespace {
std::vector<std::string>* fileUse = nullptr;
}  // namespace

RecordFileUse::RecordFileUse(std::vector<std::string>& paths) : outer_(fileUse) { fileUse = &paths; }
RecordFileUse::~RecordFileUse() { fileUse = outer_; }

void noteFileUse(const char* path) {
  if (fileUse) fileUse->push_back(path);
}

FILE* dataFopen(const char* path, const char* mode) {
  FILE* file = nullptr;
  if (dataMode == kDataReading) {
    DataEntry* entry = findEntry(path);
    if (!entry) return nullptr;
    // A read-only stream over the entry's memory.
    file = openMemoryStream(entry->bytes(), entry->size());
    if (!file) return nullptr;
    noteFileUse(path);
    entry->used = true;
  } else {
    bool fresh;
    file = openPlain(path, mode, fresh);
    if (!file) return nullptr;
    noteFileUse(path);
    if (!fresh) return file;  // a skipped duplicate: nothing new to show
  }
  drawLoadingScreen();
  return file;
}
