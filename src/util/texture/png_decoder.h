#pragma once
// The engine's own PNG decoder: a chunk reader, a zlib/DEFLATE inflater that
// streams its output, and a raster stage that undoes the row filters and
// converts every supported colour type to 8-bit RGBA.
//
// The decompressed stream is never held whole: the decoder keeps the
// compressed data, the 32 KiB inflate window, two rows and the RGBA result.
//
// Supported colour type / bit depth pairs: grey 1 and 8, RGB 8 and 16,
// palette 4 and 8, grey with alpha 8, RGBA 8, each plain or Adam7. Any other
// pair decodes to a zero-size image.
//
// Chunk CRCs and the stream's Adler-32 are not checked: a stream that
// decodes completely is taken as it is. One that ends early or does not
// inflate is a failure, with its reason.
#include <cstddef>
#include <cstdint>
#include <vector>

// How the inflater stopped.
enum class InflateEnd {
  Complete,    // after the final block
  SinkClosed,  // the consumer wanted no more
  InputEnded,  // the compressed data ran out first
  Broken,      // data that is no zlib/DEFLATE stream
};

class QxGenericPngDecoder {
 public:
  QxGenericPngDecoder() = default;
  virtual ~QxGenericPngDecoder() = default;
  QxGenericPngDecoder(const QxGenericPngDecoder&) = delete;
  QxGenericPngDecoder& operator=(const QxGenericPngDecoder&) = delete;

  // 1 on success; -1, with `failure` saying why, for a file that cannot be
  // opened, a bad signature, a malformed PLTE or image data that ends early
  // or does not inflate (the pixels that arrived are kept).
  int decodeFile(const char* fileName);
  // The same over a PNG file's bytes in memory.
  int decodeMemory(const uint8_t* data, size_t size);

  // The consumer of the decompressed stream; each returns 1 to go on.
  virtual int beginOutput() = 0;
  virtual int outputByte(uint8_t byte) = 0;
  virtual int endOutput() = 0;
  // A run of decompressed bytes, in order; the same as outputByte on each,
  // stopping at the first that does not return 1. Consumers override it to
  // avoid a call per byte.
  virtual int outputBytes(const uint8_t* bytes, size_t count);
  // Whether the consumer has all it needs after the inflater stopped so: by
  // default when the stream was whole or the consumer stopped it.
  virtual bool outputComplete(InflateEnd end) const;

  // Why the last decode returned -1; null after a success.
  const char* failure = nullptr;
  static constexpr const char* kCannotOpen = "Could not open file";

  // IHDR
  uint32_t headerWidth = 0;
  uint32_t headerHeight = 0;
  int bitDepth = 0;
  int colourType = 0;
  int compressionMethod = 0;
  int filterMethod = 0;
  int interlaceMethod = 0;

  // PLTE: R, G, B per entry.
  int paletteCount = 0;
  std::vector<uint8_t> palette;

  // tRNS. The keys start at a value no sample can have; paletteAlpha holds
  // one alpha per palette index that the chunk covers (at most 256).
  static constexpr int32_t kNoKey = 0x7fffffff;
  int32_t greyKey = kNoKey;
  int32_t redKey = kNoKey;
  int32_t greenKey = kNoKey;
  int32_t blueKey = kNoKey;
  std::vector<uint8_t> paletteAlpha;

  // Decode Huffman codes one bit at a time (the reference the lookup tables
  // must agree with) instead of through the tables. For tests and fuzzing.
  bool bitwiseHuffman = false;

 private:
  InflateEnd inflate(const uint8_t* data, size_t size);
  int fail(const char* why);
};

class QxRawPngDecoder : public QxGenericPngDecoder {
 public:
  QxRawPngDecoder() = default;
  ~QxRawPngDecoder() override;

  int beginOutput() override;
  int outputByte(uint8_t byte) override;
  int endOutput() override;
  int outputBytes(const uint8_t* bytes, size_t count) override;
  // Every row of the image arrived, whatever came after it.
  bool outputComplete(InflateEnd end) const override;

  // Exchanges rows y and imageHeight - 1 - y: bottom row first, for OpenGL.
  void flipRows();

  uint32_t imageWidth = 0;
  uint32_t imageHeight = 0;
  // imageWidth x imageHeight x 4 bytes, R, G, B, A, top row first; pixels
  // that the data never reached are 0. Freed by the decoder while
  // ownsPixels is 1 (the texture loader clears it to take the buffer over).
  uint8_t* pixels = nullptr;
  int ownsPixels = 1;

 private:
  void startPass();
  void finishRow();
  void convertPixels(uint32_t first, uint32_t end);
  void unfilter(size_t from, size_t to);

  // Raster state.
  int filterType = 0;
  int pass = 1;              // Adam7 pass 1..7; stays 1 for plain images
  uint32_t y = 0;            // row within the image or the current pass
  uint32_t rowsInPass = 0;
  uint32_t pixelsInRow = 0;  // row width of the image or the pass
  size_t rowBytes = 0;       // byte size of such a row
  size_t rowFill = 0;        // bytes of the current row received so far
  size_t rowFiltered = 0;    // bytes of it already unfiltered
  uint32_t pixelsDone = 0;   // pixels of the current row already converted
  bool expectFilterByte = true;
  bool done = false;
  size_t pixelBytes = 1;     // filter distance: bytes per pixel, 1 below 8 bits
  std::vector<uint8_t> rowA, rowB;
  uint8_t* current = nullptr;
  uint8_t* previous = nullptr;
};
