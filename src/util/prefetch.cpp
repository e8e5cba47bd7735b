#include "util/prefetch.h"

#include <tinyxml.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "platform/system.h"
#include "util/data/data.h"
#include "util/error.h"
#include "util/objects3d/dae_loader.h"
#include "util/texture/texture.h"
#include "util/util.h"
#include "util/xml.h"

namespace {

constexpr size_t kMostHeldBytes = size_t{96} << 20;

enum class State { Waiting, Decoding, Ready, Failed, Taken };
enum class Kind { Picture, Document };

struct Item {
  std::string path;
  const DataEntry* entry = nullptr;
  Kind kind = Kind::Picture;
  State state = State::Waiting;
  Texture picture;  // only its pixel fields: no GL name is ever made
  std::unique_ptr<TiXmlDocument> document;
  std::unique_ptr<ColladaNumbers> numbers;  // the document's, read ahead with it
  // What a ready item holds. A parsed document's nodes and strings take
  // about twice its text, and its number lists about as much again (the
  // COLLADA files are mostly numbers as text).
  size_t bytes() const {
    if (kind == Kind::Document) return size_t{entry->size()} * 3;
    const size_t level0 = size_t{picture.width} * picture.height * picture.bpp / 8;
    return picture.chainFollows ? level0 + level0 / 3 : level0;
  }
};

std::mutex mutex;
std::condition_variable changed;
std::vector<std::unique_ptr<Item>> items;
std::thread worker;
bool stopping = false;
bool finished = false;  // the worker has been through its list
size_t heldBytes = 0;

// The pixel fields, the buffer's ownership with them.
void movePixels(Texture& from, Texture& to) {
  to.width = from.width;
  to.height = from.height;
  to.bpp = from.bpp;
  to.format = from.format;
  to.chainFollows = from.chainFollows;
  to.imageData = from.imageData;
  from.imageData = nullptr;
  from.chainFollows = false;
}

// A read-only stream over the entry's bytes, as dataFopen gives the loaders.
FILE* openEntry(const DataEntry& entry) {
  if (entry.size() == 0) return nullptr;
  return openMemoryStream(entry.bytes(), entry.size());
}

// The picture's pixels, and the mipmap levels that most pictures get,
// made here rather than on the main thread (a few pictures never use them).
bool decode(const Item& item, Texture& picture) {
  const DataEntry& entry = *item.entry;
  bool decoded;
  if (imageFormatOf(item.path.c_str()) == ImageFormat::Png) {
    decoded = decodePNG(entry.bytes(), entry.size(), picture);
  } else {
    FILE* file = openEntry(*item.entry);
    if (!file) return false;
    decoded = decodeJPG(file, picture);
    std::fclose(file);
  }
  if (decoded) appendMipmapChain(picture);
  return decoded;
}

// Parsed exactly as the COLLADA reader parses a file it opens itself.
std::unique_ptr<TiXmlDocument> parse(const Item& item) {
  FILE* file = openEntry(*item.entry);
  if (!file) return nullptr;
  auto document = std::make_unique<TiXmlDocument>();
  document->SetTabSize(0);
  const bool parsed = loadXml(*document, file).empty();
  std::fclose(file);
  if (!parsed) return nullptr;
  return document;
}

void freePixels(Texture& picture) {
  std::free(picture.imageData);
  picture.imageData = nullptr;
  picture.chainFollows = false;
}

void decodeAll() {
  for (const std::unique_ptr<Item>& item : items) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [] { return stopping || heldBytes < kMostHeldBytes; });
      if (stopping) return;
      if (item->state != State::Waiting) continue;  // the loading got there first
      item->state = State::Decoding;
    }
    Texture picture;
    std::unique_ptr<TiXmlDocument> document;
    std::unique_ptr<ColladaNumbers> numbers;
    bool done;
    if (item->kind == Kind::Picture) {
      done = decode(*item, picture);
    } else {
      document = parse(*item);
      done = document != nullptr;
      // Its number lists too: reading them is most of what the COLLADA reader does.
      if (done) numbers = std::make_unique<ColladaNumbers>(readColladaNumbers(*document));
    }
    // A picture that fails here is decoded again by the loading, which
    // reports it; what the loader said here is dropped.
    takeFailureNotes();
    {
      std::lock_guard<std::mutex> lock(mutex);
      movePixels(picture, item->picture);
      item->document = std::move(document);
      item->numbers = std::move(numbers);
      item->state = done ? State::Ready : State::Failed;
      if (done) heldBytes += item->bytes();
      else freePixels(item->picture);
    }
    changed.notify_all();
  }
}

void run() {
  decodeAll();
  {
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
  }
  changed.notify_all();
}

// A COLLADA document, by its ending in any case.
bool isDocument(const std::string& path) { return lowerTail(path.c_str(), 4) == ".dae"; }

// The item of `path` that nobody has taken yet, or null.
Item* find(const char* path, Kind kind) {
  for (const std::unique_ptr<Item>& item : items)
    if (item->kind == kind && item->path == path && item->state != State::Taken) return item.get();
  return nullptr;
}

// Waits for the worker to be done with the item and marks it taken: true
// when it is ready for the caller. An item not begun is the caller's.
bool claim(std::unique_lock<std::mutex>& lock, Item& item) {
  if (item.state == State::Waiting) {
    item.state = State::Taken;
    return false;
  }
  changed.wait(lock, [&] { return item.state != State::Decoding; });
  const bool ready = item.state == State::Ready;
  if (ready) heldBytes -= item.bytes();
  item.state = State::Taken;
  return ready;
}

}  // namespace

void stopPrefetchAtExit() {
  // An exit while loading (a fatal error, Escape) stops the worker first.
  static const bool registered = std::atexit(stopPrefetch) == 0;
  (void)registered;
}

void startPrefetch(const std::vector<std::string>& paths, const DataIndex& index) {
  if (dataMode != kDataReading || worker.joinable()) return;
  items.clear();
  for (const std::string& path : paths) {
    const ImageFormat format = imageFormatOf(path.c_str());
    const bool picture = format == ImageFormat::Png || format == ImageFormat::Jpg;
    if (!picture && !isDocument(path)) continue;
    for (const std::unique_ptr<DataEntry>& entry : index) {
      if (entry->name != path) continue;
      auto item = std::make_unique<Item>();
      item->path = path;
      item->entry = entry.get();
      item->kind = picture ? Kind::Picture : Kind::Document;
      items.push_back(std::move(item));
      break;
    }
  }
  stopping = false;
  finished = false;
  heldBytes = 0;
  try {
    worker = std::thread(run);
  } catch (const std::system_error&) {
    items.clear();  // no thread to be had: the loading reads every file itself
    return;
  }
  stopPrefetchAtExit();
}

bool takePrefetchedImage(const char* path, Texture& texture) {
  std::unique_lock<std::mutex> lock(mutex);
  Item* item = find(path, Kind::Picture);
  if (!item) return false;
  const bool ready = claim(lock, *item);
  if (ready) movePixels(item->picture, texture);
  lock.unlock();
  changed.notify_all();
  return ready;
}

std::unique_ptr<TiXmlDocument> takePrefetchedDocument(const char* path, std::unique_ptr<ColladaNumbers>* numbers) {
  std::unique_lock<std::mutex> lock(mutex);
  Item* item = find(path, Kind::Document);
  if (!item) return nullptr;
  std::unique_ptr<TiXmlDocument> document;
  if (claim(lock, *item)) {
    document = std::move(item->document);
    if (numbers) *numbers = std::move(item->numbers);
  }
  lock.unlock();
  changed.notify_all();
  return document;
}

void waitForPrefetch() {
  std::unique_lock<std::mutex> lock(mutex);
  if (worker.joinable()) changed.wait(lock, [] { return finished || stopping; });
}

void stopPrefetch() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  changed.notify_all();
  if (worker.joinable()) worker.join();
  for (const std::unique_ptr<Item>& item : items) freePixels(item->picture);
  items.clear();
  heldBytes = 0;
}
