#include "util/texture/png_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/data/data.h"

namespace {

// A header claiming more is broken; refusing it keeps a bad file from
// allocating gigabytes.
constexpr uint32_t kMaxSide = 16384;

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

constexpr uint32_t chunkType(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
         uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}

uint32_t be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

int32_t be16(const uint8_t* p) { return int32_t(p[0]) << 8 | p[1]; }

// ---------------------------------------------------------------- inflate

constexpr int kMaxCodeBits = 15;
// Codes up to this length resolve in one table look-up; longer ones (rare in
// practice) finish with the canonical bit-by-bit walk.
constexpr int kTableBits = 10;

// A canonical Huffman code. `count` and `symbol` drive the bit-by-bit decode
// (equivalent to walking the code tree one bit at a time); `table` maps the
// next kTableBits input bits, least significant first, to symbol << 4 | length,
// 0 where the code is longer or does not exist.
struct HuffmanCode {
  uint16_t count[kMaxCodeBits + 1];
  uint16_t symbol[320];
  uint16_t table[1 << kTableBits];

  // False for an over-subscribed set of lengths, which has no code tree.
  bool build(const uint8_t* lengths, int n) {
    std::memset(count, 0, sizeof count);
    for (int s = 0; s < n; ++s) count[lengths[s]]++;
    count[0] = 0;
    int left = 1;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      left = (left << 1) - count[len];
      if (left < 0) return false;
    }
    uint16_t offset[kMaxCodeBits + 2];
    offset[1] = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) offset[len + 1] = offset[len] + count[len];
    for (int s = 0; s < n; ++s)
      if (lengths[s]) symbol[offset[lengths[s]]++] = uint16_t(s);

    std::memset(table, 0, sizeof table);
    uint32_t next[kMaxCodeBits + 1];
    uint32_t code = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      code = (code + count[len - 1]) << 1;
      next[len] = code;
    }
    for (int s = 0; s < n; ++s) {
      const int len = lengths[s];
      if (!len) continue;
      const uint32_t c = next[len]++;
      if (len > kTableBits) continue;
      uint32_t reversed = 0;
      for (int i = 0; i < len; ++i) reversed |= ((c >> i) & 1) << (len - 1 - i);
      for (uint32_t k = reversed; k < (1u << kTableBits); k += 1u << len)
        table[k] = uint16_t(s << 4 | len);
    }
    return true;
  }
};

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

class Inflater {
 public:
  Inflater(QxGenericPngDecoder& sink, const uint8_t* data, size_t size, bool bitwise)
      : sink_(sink), in_(data), inSize_(size), bitwise_(bitwise) {}

  InflateEnd run() {
    if (inSize_ == 0) return InflateEnd::InputEnded;
    if (inSize_ < 2 || (in_[0] & 0x0f) != 8 || (in_[1] & 0x20)) return InflateEnd::Broken;
    // The window the stream was made with; a distance beyond it is broken.
    windowLimit_ = std::min<size_t>(size_t{1} << (8 + (in_[0] >> 4)), kWindow);
    inPos_ = 2;
    window_.resize(kWindow + kChunk + 300);
    out_ = window_.data();
    bool last = false, ok = true;
    while (!last && ok) {
      uint32_t header;
      if (!bits(3, header)) break;
      last = header & 1;
      switch (header >> 1) {
        case 0: ok = stored(); break;
        case 1: ok = fixed(); break;
        case 2: ok = dynamic(); break;
        default: ok = false;
      }
    }
    flush();
    if (!sinkOpen_) return InflateEnd::SinkClosed;
    if (last && ok) return InflateEnd::Complete;
    return inputEnded_ ? InflateEnd::InputEnded : InflateEnd::Broken;
  }

 private:
  // History kept behind the write position, and how much is produced before
  // it is handed to the sink and the history moved down.
  static constexpr size_t kWindow = 32768;
  static constexpr size_t kChunk = 65536;

  void refill() {
    if (inSize_ - inPos_ >= 8) {
      uint64_t v;
      std::memcpy(&v, in_ + inPos_, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
      v = __builtin_bswap64(v);
#endif
      bitBuf_ |= v << bitCount_;
      inPos_ += (63 - bitCount_) >> 3;
      bitCount_ |= 56;
    } else {
      while (bitCount_ <= 56 && inPos_ < inSize_) {
        bitBuf_ |= uint64_t(in_[inPos_++]) << bitCount_;
        bitCount_ += 8;
      }
    }
  }

  // False when the input is used up.
  bool bits(unsigned n, uint32_t& value) {
    if (bitCount_ < n) {
      refill();
      if (bitCount_ < n) {
        inputEnded_ = true;
        return false;
      }
    }
    value = uint32_t(bitBuf_ & ((uint64_t{1} << n) - 1));
    bitBuf_ >>= n;
    bitCount_ -= n;
    return true;
  }

  // The reference decode: one bit at a time along the canonical code.
  int decodeBitwise(const HuffmanCode& h) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      uint32_t bit;
      if (!bits(1, bit)) return -1;
      code |= int(bit);
      const int count = h.count[len];
      if (code - first < count) return h.symbol[index + code - first];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;  // no such code
  }

  int decode(const HuffmanCode& h) {
    if (!bitwise_) {
      if (bitCount_ < kMaxCodeBits) refill();
      const uint16_t entry = h.table[bitBuf_ & ((1u << kTableBits) - 1)];
      if (entry) {
        const unsigned len = entry & 15;
        if (len > bitCount_) {
          inputEnded_ = true;
          return -1;
        }
        bitBuf_ >>= len;
        bitCount_ -= len;
        return entry >> 4;
      }
    }
    return decodeBitwise(h);
  }

  // Hands the bytes not yet sent to the sink; once the buffer is full, moves
  // the last window's worth down. False when the sink wants no more.
  bool flush() {
    if (out_ - window_.data() > ptrdiff_t(flushed_)) {
      const size_t end = size_t(out_ - window_.data());
      if (sinkOpen_ && sink_.outputBytes(window_.data() + flushed_, end - flushed_) != 1)
        sinkOpen_ = false;
      flushed_ = end;
    }
    if (size_t(out_ - window_.data()) >= kWindow + kChunk) {
      std::memmove(window_.data(), out_ - kWindow, kWindow);
      out_ = window_.data() + kWindow;
      flushed_ = kWindow;
    }
    return sinkOpen_;
  }

  bool stored() {
    bitBuf_ >>= bitCount_ & 7;  // to the byte boundary
    bitCount_ &= ~7u;
    uint32_t len, nlen;
    if (!bits(16, len) || !bits(16, nlen) || len != (~nlen & 0xffff)) return false;
    // Whole bytes still in the bit buffer come first.
    while (len && bitCount_ >= 8) {
      *out_++ = uint8_t(bitBuf_);
      bitBuf_ >>= 8;
      bitCount_ -= 8;
      --len;
      if (!room()) return false;
    }
    // The bit buffer is empty now; what it still holds above its count are
    // copies of the bytes read directly below.
    if (len) bitBuf_ = 0;
    while (len) {
      if (inPos_ >= inSize_) {
        inputEnded_ = true;
        return false;
      }
      const size_t space = kWindow + kChunk - size_t(out_ - window_.data());
      const size_t n = std::min({size_t(len), inSize_ - inPos_, space});
      std::memcpy(out_, in_ + inPos_, n);
      out_ += n;
      inPos_ += n;
      len -= uint32_t(n);
      if (!room()) return false;
    }
    return true;
  }

  bool room() {
    return size_t(out_ - window_.data()) < kWindow + kChunk || flush();
  }

  bool fixed() {
    if (!fixedBuilt_) {
      uint8_t lengths[288];
      std::memset(lengths, 8, 144);
      std::memset(lengths + 144, 9, 112);
      std::memset(lengths + 256, 7, 24);
      std::memset(lengths + 280, 8, 8);
      fixedLit_.build(lengths, 288);
      // Five plain bits, most significant first: a complete code of 32 fives.
      std::memset(lengths, 5, 32);
      fixedDist_.build(lengths, 32);
      fixedBuilt_ = true;
    }
    return codes(fixedLit_, fixedDist_);
  }

  bool dynamic() {
    uint32_t nlen, ndist, ncode;
    if (!bits(5, nlen) || !bits(5, ndist) || !bits(4, ncode)) return false;
    nlen += 257;
    ndist += 1;
    ncode += 4;
    uint8_t lengths[320] = {};
    for (uint32_t i = 0; i < ncode; ++i) {
      uint32_t v;
      if (!bits(3, v)) return false;
      lengths[kCodeLengthOrder[i]] = uint8_t(v);
    }
    if (!lit_.build(lengths, 19)) return false;
    uint32_t i = 0;
    while (i < nlen + ndist) {
      const int sym = decode(lit_);
      if (sym < 0) return false;
      if (sym < 16) {
        lengths[i++] = uint8_t(sym);
        continue;
      }
      uint8_t value = 0;
      uint32_t repeat;
      if (sym == 16) {
        if (i == 0 || !bits(2, repeat)) return false;
        value = lengths[i - 1];
        repeat += 3;
      } else if (sym == 17) {
        if (!bits(3, repeat)) return false;
        repeat += 3;
      } else {
        if (!bits(7, repeat)) return false;
        repeat += 11;
      }
      if (i + repeat > nlen + ndist) return false;
      while (repeat--) lengths[i++] = value;
    }
    if (!lit_.build(lengths, int(nlen)) || !dist_.build(lengths + nlen, int(ndist))) return false;
    return codes(lit_, dist_);
  }

  bool codes(const HuffmanCode& lit, const HuffmanCode& dist) {
    uint8_t* const full = window_.data() + kWindow + kChunk;
    for (;;) {
      if (out_ >= full && !flush()) return false;
      const int sym = decode(lit);
      if (sym < 256) {
        if (sym < 0) return false;
        *out_++ = uint8_t(sym);
        continue;
      }
      if (sym == 256) return true;
      if (sym > 285) continue;  // 286 and 287 carry nothing
      uint32_t extra;
      if (!bits(kLengthExtra[sym - 257], extra)) return false;
      const size_t len = kLengthBase[sym - 257] + extra;
      const int dsym = decode(dist);
      if (dsym < 0 || dsym >= 30 || !bits(kDistExtra[dsym], extra)) return false;
      const size_t distance = kDistBase[dsym] + extra;
      // Before the start of the stream or beyond the window: broken data.
      if (distance > size_t(out_ - window_.data()) || distance > windowLimit_) return false;
      const uint8_t* from = out_ - distance;
      if (distance >= len) {
        std::memcpy(out_, from, len);
      } else if (distance == 1) {
        std::memset(out_, *from, len);
      } else {
        for (size_t k = 0; k < len; ++k) out_[k] = from[k];
      }
      out_ += len;
    }
  }

  QxGenericPngDecoder& sink_;
  const uint8_t* in_;
  size_t inSize_;
  size_t inPos_ = 0;
  uint64_t bitBuf_ = 0;
  unsigned bitCount_ = 0;
  bool bitwise_;

  std::vector<uint8_t> window_;
  uint8_t* out_ = nullptr;
  size_t flushed_ = 0;
  size_t windowLimit_ = kWindow;
  bool sinkOpen_ = true;
  bool inputEnded_ = false;  // a read found no more input

  bool fixedBuilt_ = false;
  HuffmanCode fixedLit_, fixedDist_, lit_, dist_;
};

// ---------------------------------------------------------------- Adam7

struct PassGeometry {
  uint32_t xStart, xStep, yStart, yStep;
};
constexpr PassGeometry kAdam7[8] = {{0, 1, 0, 1}, {0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8},
                                    {2, 4, 0, 4}, {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};

uint32_t passExtent(uint32_t size, uint32_t start, uint32_t step) {
  return size > start ? (size - start + step - 1) / step : 0;
}

int channels(int colourType) {
  switch (colourType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
  }
}

bool supported(int colourType, int depth) {
  switch (colourType) {
    case 0: return depth == 1 || depth == 8;
    case 2: return depth == 8 || depth == 16;
    case 3: return depth == 4 || depth == 8;
    case 4:
    case 6: return depth == 8;
    default: return false;
  }
}

}  // namespace

// ---------------------------------------------------------------- file level

int QxGenericPngDecoder::fail(const char* why) {
  failure = why;
  return -1;
}

int QxGenericPngDecoder::decodeFile(const char* fileName) {
  failure = nullptr;
  FILE* file = dataFopen(fileName, "rb");
  if (!file) return fail(kCannotOpen);
  std::vector<uint8_t> bytes;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return fail("Could not read file");
  }
  bytes.resize(size_t(size));
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  std::fclose(file);
  return decodeMemory(bytes.data(), bytes.size());
}

int QxGenericPngDecoder::decodeMemory(const uint8_t* data, size_t size) {
  failure = nullptr;
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return fail("Not a PNG file");
  std::vector<uint8_t> compressed;
  compressed.reserve(size);
  size_t pos = 8;
  // Until IEND or a chunk that does not fit in what is left of the file.
  while (size - pos >= 8) {
    const uint32_t length = be32(data + pos);
    const uint32_t type = be32(data + pos + 4);
    pos += 8;
    if (length > size - pos || size - pos - length < 4) break;
    const uint8_t* body = data + pos;
    pos += size_t(length) + 4;  // the CRC is not checked
    if (type == chunkType("IHDR")) {
      if (length < 13) continue;
      headerWidth = be32(body);
      headerHeight = be32(body + 4);
      bitDepth = body[8];
      colourType = body[9];
      compressionMethod = body[10];
      filterMethod = body[11];
      interlaceMethod = body[12];
    } else if (type == chunkType("IDAT")) {
      compressed.insert(compressed.end(), body, body + length);
    } else if (type == chunkType("PLTE")) {
      if (length % 3 != 0) return fail("Palette length is not a multiple of 3");
      paletteCount = int(length / 3);
      palette.assign(body, body + length);
    } else if (type == chunkType("tRNS")) {
      if (colourType == 0 && length >= 2) {
        greyKey = be16(body);
      } else if (colourType == 2 && length >= 6) {
        redKey = be16(body);
        greenKey = be16(body + 2);
        blueKey = be16(body + 4);
      } else if (colourType == 3) {
        // No index goes beyond 255, whatever the chunk claims.
        paletteAlpha.assign(body, body + std::min<uint32_t>(length, 256));
      }
    } else if (type == chunkType("IEND")) {
      break;
    }
  }
  // DEFLATE makes at most 1032 bytes of one: data that cannot fill the
  // image's rows fails before the image's memory is taken.
  const uint64_t leastRowBytes =
      (uint64_t{headerWidth} * uint64_t(channels(colourType)) * uint64_t(bitDepth) + 7) / 8;
  if (headerWidth <= kMaxSide && headerHeight <= kMaxSide &&
      leastRowBytes * headerHeight > uint64_t{compressed.size()} * 1032 + 1032)
    return fail("Image data ends early");
  if (beginOutput() != 1) return 1;  // nothing to decode into: a zero-size image
  const InflateEnd end = inflate(compressed.data(), compressed.size());
  endOutput();
  if (outputComplete(end)) return 1;
  return fail(end == InflateEnd::Broken ? "Image data does not inflate" : "Image data ends early");
}

bool QxGenericPngDecoder::outputComplete(InflateEnd end) const {
  return end == InflateEnd::Complete || end == InflateEnd::SinkClosed;
}

int QxGenericPngDecoder::outputBytes(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (outputByte(bytes[i]) != 1) return 0;
  return 1;
}

InflateEnd QxGenericPngDecoder::inflate(const uint8_t* data, size_t size) {
  return Inflater(*this, data, size, bitwiseHuffman).run();
}

// ---------------------------------------------------------------- raster

QxRawPngDecoder::~QxRawPngDecoder() {
  if (ownsPixels == 1) std::free(pixels);
}

int QxRawPngDecoder::beginOutput() {
  if (!supported(colourType, bitDepth)) return 0;
  if (headerWidth == 0 || headerHeight == 0 || headerWidth > kMaxSide || headerHeight > kMaxSide)
    return 0;
  if (ownsPixels == 1) std::free(pixels);
  pixels = static_cast<uint8_t*>(std::calloc(size_t{headerWidth} * headerHeight, 4));
  ownsPixels = 1;
  imageWidth = imageHeight = 0;
  if (!pixels) return 0;
  imageWidth = headerWidth;
  imageHeight = headerHeight;

  const size_t bitsPerPixel = size_t(channels(colourType)) * size_t(bitDepth);
  pixelBytes = std::max<size_t>(1, bitsPerPixel / 8);
  const size_t fullRow = (size_t{imageWidth} * bitsPerPixel + 7) / 8;
  rowA.assign(fullRow, 0);
  rowB.assign(fullRow, 0);
  current = rowA.data();
  previous = rowB.data();
  done = false;
  pass = interlaceMethod == 1 ? 1 : 0;
  startPass();
  return 1;
}

// Sets up the next non-empty pass (or the whole image when not interlaced).
void QxRawPngDecoder::startPass() {
  for (;;) {
    if (pass > 7) {
      done = true;
      return;
    }
    const PassGeometry& g = kAdam7[pass];
    pixelsInRow = passExtent(imageWidth, g.xStart, g.xStep);
    rowsInPass = passExtent(imageHeight, g.yStart, g.yStep);
    if (pixelsInRow && rowsInPass) break;
    ++pass;
  }
  rowBytes = (size_t{pixelsInRow} * channels(colourType) * bitDepth + 7) / 8;
  // The row above the first row reads as zeros.
  std::memset(previous, 0, rowBytes);
  y = 0;
  expectFilterByte = true;
}

bool QxRawPngDecoder::outputComplete(InflateEnd) const { return done; }

int QxRawPngDecoder::outputByte(uint8_t byte) { return QxRawPngDecoder::outputBytes(&byte, 1); }

int QxRawPngDecoder::outputBytes(const uint8_t* bytes, size_t count) {
  while (count) {
    if (done) return 0;
    if (expectFilterByte) {
      filterType = *bytes++;
      --count;
      expectFilterByte = false;
      rowFill = rowFiltered = 0;
      pixelsDone = 0;
      continue;
    }
    const size_t n = std::min(count, rowBytes - rowFill);
    std::memcpy(current + rowFill, bytes, n);
    rowFill += n;
    bytes += n;
    count -= n;
    if (rowFill == rowBytes) finishRow();
  }
  return 1;
}

void QxRawPngDecoder::finishRow() {
  unfilter(rowFiltered, rowBytes);
  convertPixels(pixelsDone, pixelsInRow);
  std::swap(current, previous);
  expectFilterByte = true;
  if (++y < rowsInPass) return;
  if (pass == 0) {
    done = true;
  } else {
    ++pass;
    startPass();
  }
}

// A cut-short stream still shows every pixel whose bytes all arrived.
int QxRawPngDecoder::endOutput() {
  if (done || expectFilterByte || !pixels) return 1;
  size_t whole = rowFill / pixelBytes * pixelBytes;
  uint32_t complete;
  if (bitDepth < 8) {
    whole = rowFill;
    complete = uint32_t(std::min<size_t>(rowFill * 8 / bitDepth, pixelsInRow));
  } else {
    complete = uint32_t(rowFill / pixelBytes);
  }
  unfilter(rowFiltered, whole);
  rowFiltered = whole;
  convertPixels(pixelsDone, complete);
  pixelsDone = complete;
  return 1;
}

void QxRawPngDecoder::unfilter(size_t from, size_t to) {
  uint8_t* c = current;
  const uint8_t* p = previous;
  const size_t bpp = pixelBytes;
  size_t i = from;
  switch (filterType) {
    case 1:
      for (; i < to && i < bpp; ++i) {}
      for (; i < to; ++i) c[i] = uint8_t(c[i] + c[i - bpp]);
      break;
    case 2:
      for (; i < to; ++i) c[i] = uint8_t(c[i] + p[i]);
      break;
    case 3:
      for (; i < to && i < bpp; ++i) c[i] = uint8_t(c[i] + (p[i] >> 1));
      for (; i < to; ++i) c[i] = uint8_t(c[i] + ((c[i - bpp] + p[i]) >> 1));
      break;
    case 4:
      // With a and c both 0 the predictor is the byte above.
      for (; i < to && i < bpp; ++i) c[i] = uint8_t(c[i] + p[i]);
      for (; i < to; ++i) {
        const int a = c[i - bpp], b = p[i], d = p[i - bpp];
        const int pa = std::abs(b - d), pb = std::abs(a - d), pc = std::abs(a + b - 2 * d);
        const int pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : d);
        c[i] = uint8_t(c[i] + pred);
      }
      break;
    default:
      break;
  }
}

// Converts pixels first..end-1 of the current row into the RGBA image.
void QxRawPngDecoder::convertPixels(uint32_t first, uint32_t end) {
  if (first >= end) return;
  const PassGeometry& g = kAdam7[pass];
  const size_t fullY = size_t{g.yStart} + size_t{y} * g.yStep;
  const size_t step = size_t{g.xStep} * 4;
  uint8_t* out = pixels + (fullY * imageWidth + g.xStart + size_t{first} * g.xStep) * 4;
  const uint8_t* c = current;
  const int alphaCount = int(paletteAlpha.size());

  auto paletteColour = [&](unsigned index, uint8_t* o) {
    if (int(index) >= paletteCount) return;  // beyond the palette: nothing written
    const uint8_t* rgb = palette.data() + index * 3;
    o[0] = rgb[0];
    o[1] = rgb[1];
    o[2] = rgb[2];
    o[3] = int(index) < alphaCount ? paletteAlpha[index] : 255;
  };

  switch (colourType * 100 + bitDepth) {
    case 1:  // grey 1
      for (uint32_t i = first; i < end; ++i, out += step) {
        const int bit = (c[i >> 3] >> (7 - (i & 7))) & 1;
        out[0] = out[1] = out[2] = uint8_t(bit ? 255 : 0);
        out[3] = bit == greyKey ? 0 : 255;
      }
      break;
    case 8:  // grey 8
      for (uint32_t i = first; i < end; ++i, out += step) {
        out[0] = out[1] = out[2] = c[i];
        out[3] = c[i] == greyKey ? 0 : 255;
      }
      break;
    case 208:  // RGB 8
      for (uint32_t i = first; i < end; ++i, out += step) {
        const uint8_t* s = c + i * 3;
        out[0] = s[0];
        out[1] = s[1];
        out[2] = s[2];
        out[3] = (s[0] == redKey && s[1] == greenKey && s[2] == blueKey) ? 0 : 255;
      }
      break;
    case 216:  // RGB 16: the high bytes, the key on all sixteen bits
      for (uint32_t i = first; i < end; ++i, out += step) {
        const uint8_t* s = c + i * 6;
        out[0] = s[0];
        out[1] = s[2];
        out[2] = s[4];
        out[3] = (be16(s) == redKey && be16(s + 2) == greenKey && be16(s + 4) == blueKey) ? 0 : 255;
      }
      break;
    case 304:  // palette 4, high nibble first
      for (uint32_t i = first; i < end; ++i, out += step)
        paletteColour((c[i >> 1] >> ((i & 1) ? 0 : 4)) & 15, out);
      break;
    case 308:
      for (uint32_t i = first; i < end; ++i, out += step) paletteColour(c[i], out);
      break;
    case 408:  // grey with alpha
      for (uint32_t i = first; i < end; ++i, out += step) {
        out[0] = out[1] = out[2] = c[i * 2];
        out[3] = c[i * 2 + 1];
      }
      break;
    case 608:
      if (step == 4) {
        std::memcpy(out, c + size_t{first} * 4, size_t{end - first} * 4);
      } else {
        for (uint32_t i = first; i < end; ++i, out += step) std::memcpy(out, c + i * 4, 4);
      }
      break;
    default:
      break;
  }
}

void QxRawPngDecoder::flipRows() {
  if (!pixels) return;
  const size_t stride = size_t{imageWidth} * 4;
  std::vector<uint8_t> temp(stride);
  for (uint32_t row = 0; row < imageHeight / 2; ++row) {
    uint8_t* a = pixels + row * stride;
    uint8_t* b = pixels + (imageHeight - 1 - row) * stride;
    std::memcpy(temp.data(), a, stride);
    std::memcpy(a, b, stride);
    std::memcpy(b, temp.data(), stride);
  }
}
