#include "util/texture/image_prefetch.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "util/data/data.h"
#include "util/texture/image_loader.h"
#include "util/texture/texture.h"

namespace {

constexpr size_t kMostHeldBytes = size_t{96} << 20;

enum class State { Waiting, Decoding, Ready, Failed, Taken };

struct Item {
  std::string path;
  const DataEntry* entry = nullptr;
  State state = State::Waiting;
  Texture picture;  // only its pixel fields: no GL name is ever made
  size_t bytes() const { return size_t{picture.width} * picture.height * picture.bpp / 8; }
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
  to.imageData = from.imageData;
  from.imageData = nullptr;
}

bool decode(const Item& item, Texture& picture) {
  const std::vector<uint8_t>& data = item.entry->data;
  if (imageFormatOf(item.path.c_str()) == ImageFormat::Png) return decodePNG(data.data(), data.size(), picture);
  if (data.empty()) return false;
  FILE* file = fmemopen(const_cast<uint8_t*>(data.data()), data.size(), "rb");
  if (!file) return false;
  const bool decoded = decodeJPG(file, picture);
  std::fclose(file);
  return decoded;
}

void freePixels(Texture& picture) {
  std::free(picture.imageData);
  picture.imageData = nullptr;
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
    const bool decoded = decode(*item, picture);
    {
      std::lock_guard<std::mutex> lock(mutex);
      movePixels(picture, item->picture);
      item->state = decoded ? State::Ready : State::Failed;
      if (decoded) heldBytes += item->bytes();
      else freePixels(item->picture);
    }
    changed.notify_all();
  }
}

void run() {
  loaderMessagesQuiet = true;
  decodeAll();
  {
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
  }
  changed.notify_all();
}

}  // namespace

void startImagePrefetch(const std::vector<std::string>& paths) {
  if (dataMode != kDataReading || worker.joinable()) return;
  items.clear();
  for (const std::string& path : paths) {
    const ImageFormat format = imageFormatOf(path.c_str());
    if (format != ImageFormat::Png && format != ImageFormat::Jpg) continue;
    for (const std::unique_ptr<DataEntry>& entry : dataIndex) {
      if (entry->name != path) continue;
      auto item = std::make_unique<Item>();
      item->path = path;
      item->entry = entry.get();
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
    items.clear();  // no thread to be had: every picture is decoded by its loading
    return;
  }
  // An exit while loading (a fatal error, Escape) stops the worker first.
  static const bool registered = std::atexit(stopImagePrefetch) == 0;
  (void)registered;
}

bool takePrefetchedImage(const char* path, Texture& texture) {
  std::unique_lock<std::mutex> lock(mutex);
  for (const std::unique_ptr<Item>& item : items) {
    if (item->path != path || item->state == State::Taken) continue;
    if (item->state == State::Waiting) {
      item->state = State::Taken;  // the caller decodes it
      return false;
    }
    changed.wait(lock, [&] { return item->state != State::Decoding; });
    const bool ready = item->state == State::Ready;
    if (ready) {
      heldBytes -= item->bytes();
      movePixels(item->picture, texture);
    }
    item->state = State::Taken;
    lock.unlock();
    changed.notify_all();
    return ready;
  }
  return false;
}

void waitForImagePrefetch() {
  std::unique_lock<std::mutex> lock(mutex);
  if (worker.joinable()) changed.wait(lock, [] { return finished || stopping; });
}

void stopImagePrefetch() {
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
