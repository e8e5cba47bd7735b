#pragma once
// Decoding the show's files ahead of the loading. A worker thread decodes
// the PNG and JPEG pictures (with their mipmap levels) and parses the
// COLLADA documents (".dae", with their number lists) it is given, in that
// order, from the data file in memory, while the main thread loads other
// things; Texture::load and the COLLADA reader take a file from
// here when it is ready, or wait for the one being worked on, instead of
// doing it themselves. A file the worker has not begun is the caller's to
// read, and so is one it could not read: the loading then reads it again
// with the loaders' messages and fatal error, so failures are reported as
// ever, on the main thread. The worker holds at most about 96 MB of
// pictures and documents nobody has taken yet. Reading mode only (in the
// other modes nothing is read ahead).
#include <memory>
#include <string>
#include <vector>

#include "util/data/data.h"

class Texture;
class TiXmlDocument;
struct ColladaNumbers;

// Starts the worker on these data file paths, found in `index` (which must
// keep its entries until stopPrefetch; the show's data index once it holds
// the archive); those of other kinds are left out (a later call while it
// runs does nothing). It may be called on another thread than the main one
// (the one reading the archive) when nothing else touches the worker then.
void startPrefetch(const std::vector<std::string>& paths, const DataIndex& index = dataIndex);
// Has stopPrefetch run at exit (startPrefetch does it too). Called on the
// main thread before a thread that starts the worker begins, it is never
// registered during an exit, and it runs after the handlers registered
// later, such as one waiting for that thread.
void stopPrefetchAtExit();
// The decoded picture of `path` moved into the texture's imageData, width,
// height, bpp and format: true. False when the path was not given, the
// worker had not begun it or could not decode it: the caller decodes it.
bool takePrefetchedImage(const char* path, Texture& texture);
// The parsed document of `path`, parsed as the COLLADA reader parses (no
// tab size, line ends as TinyXML reads them from a file); null when the
// path was not given, the worker had not begun it or could not parse it:
// the caller parses it. With it, into `numbers` where given, its number
// lists (readColladaNumbers).
std::unique_ptr<TiXmlDocument> takePrefetchedDocument(const char* path,
                                                      std::unique_ptr<ColladaNumbers>* numbers = nullptr);
// Waits until the worker has been through its list (or stopped), for tests:
// with more than the held limit untaken it would wait for ever.
void waitForPrefetch();
// Stops the worker and frees what nobody took.
void stopPrefetch();
