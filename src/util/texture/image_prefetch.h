#pragma once
// Decoding the show's pictures ahead of the loading. A worker thread decodes
// the PNG and JPEG files it is given, in that order, from the data file in
// memory, while the main thread loads other things; Texture::load takes a
// picture from here when it is ready, or waits for the one being decoded,
// instead of decoding it itself. A picture the worker has not begun is the
// caller's to decode, and so is one it could not decode: the loading then
// decodes it again with the loaders' messages and fatal error, so failures
// are reported as ever, on the main thread. The worker holds at most about
// 96 MB of decoded pictures nobody has taken yet. Reading mode only (in the
// other modes nothing is decoded ahead).
#include <string>
#include <vector>

class Texture;

// Starts the worker on these data file paths (a later call while it runs
// does nothing).
void startImagePrefetch(const std::vector<std::string>& paths);
// The decoded picture of `path` moved into the texture's imageData, width,
// height, bpp and format: true. False when the path was not given, the
// worker had not begun it or could not decode it: the caller decodes it.
bool takePrefetchedImage(const char* path, Texture& texture);
// Waits until the worker has been through its list (or stopped), for tests:
// with more than the held limit untaken it would wait for ever.
void waitForImagePrefetch();
// Stops the worker and frees what nobody took.
void stopImagePrefetch();
