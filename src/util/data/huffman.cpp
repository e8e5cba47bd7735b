#include "util/data/huffman.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kHeaderBytes = 16;
constexpr size_t kRecordBytes = 5;

// A child or record reference: a byte value with this flag, else an inner node.
constexpr uint16_t kLeaf = 0x100;

struct Record {
  uint64_t frequency;  // 64 bits: sums of untrusted 32-bit frequencies cannot wrap
  uint16_t ref;
};

// Stable and descending by frequency. The order of equal frequencies shapes
// the tree, so encoder and decoder must share this exact procedure (qsort's
// tie order differs between C libraries). Insertion sort, because after a
// merge only the merged record is out of place.
void sortRecords(Record* records, int count) {
  for (int i = 1; i < count; ++i) {
    const Record moving = records[i];
    int j = i;
    for (; j > 0 && records[j - 1].frequency < moving.frequency; --j) records[j] = records[j - 1];
    records[j] = moving;
  }
}

// Inner node k has the children child[k][0] (bit 0) and child[k][1] (bit 1);
// node 0 is the root. A child node always has a larger index than its parent,
// so every walk down the tree ends.
struct Tree {
  uint16_t child[255][2];
};

// Merges the two last records until one is left. `records` is consumed.
void buildTree(Record* records, int count, Tree& tree) {
  for (int k = count - 2; k >= 0; --k) {
    tree.child[k][0] = records[k].ref;
    tree.child[k][1] = records[k + 1].ref;
    if (k > 0) {
      records[k].frequency += records[k + 1].frequency;
      records[k].ref = static_cast<uint16_t>(k);
      records[k + 1].frequency = 0;
      sortRecords(records, k + 1);
    }
  }
}

uint32_t load32le(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void store32le(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

uint64_t load64be(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

// ---------------------------------------------------------------- encoder

struct Code {
  uint64_t bits;  // right-aligned, root branch first
  uint32_t length;
};

// Everything the encoder decides before writing a bit.
struct Plan {
  int symbolCount;
  Record table[256];  // the first symbolCount are written
  Code codes[256];
  uint64_t totalBits;
  size_t blockLength;
};

void makePlan(const uint8_t* input, size_t length, Plan& plan) {
  // Four histograms break the store-to-load chain on runs of one value.
  uint32_t counts[4][256] = {};
  size_t i = 0;
  for (; i + 4 <= length; i += 4) {
    ++counts[0][input[i]];
    ++counts[1][input[i + 1]];
    ++counts[2][input[i + 2]];
    ++counts[3][input[i + 3]];
  }
  for (; i < length; ++i) ++counts[0][input[i]];

  plan.symbolCount = 0;
  for (int v = 0; v < 256; ++v) {
    const uint32_t count = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
    plan.table[v] = Record{count, static_cast<uint16_t>(v | kLeaf)};
    if (count) ++plan.symbolCount;
    plan.codes[v] = Code{0, 0};
  }
  sortRecords(plan.table, 256);
  // An empty input still needs one record for the block to be readable.
  if (plan.symbolCount == 0) plan.symbolCount = 1;

  if (plan.symbolCount == 1) {
    plan.codes[plan.table[0].ref & 0xFF] = Code{0, 1};
  } else {
    Record work[256];
    std::memcpy(work, plan.table, sizeof work);
    Tree tree;
    buildTree(work, plan.symbolCount, tree);
    // Real counts of under 4 GiB of input bound the depth by the Fibonacci
    // argument to about 46, so a code fits in 64 bits.
    struct Pending {
      uint16_t node;
      Code code;
    } stack[256];
    int top = 0;
    stack[top++] = Pending{0, Code{0, 0}};
    while (top > 0) {
      const Pending at = stack[--top];
      for (uint32_t bit = 0; bit < 2; ++bit) {
        const uint16_t child = tree.child[at.node][bit];
        const Code code{at.code.bits << 1 | bit, at.code.length + 1};
        if (child & kLeaf)
          plan.codes[child & 0xFF] = code;
        else
          stack[top++] = Pending{child, code};
      }
    }
  }

  plan.totalBits = 0;
  for (int v = 0; v < 256; ++v) {
    const uint32_t count = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
    plan.totalBits += uint64_t(count) * plan.codes[v].length;
  }
  // The byte holding the last bit counts; bits ending on a byte boundary get
  // one more zero byte. Readers of existing files rely on this length.
  plan.blockLength = kHeaderBytes + kRecordBytes * plan.symbolCount + plan.totalBits / 8 + 1;
}

// ---------------------------------------------------------------- decoder

struct Header {
  uint32_t symbolCount;
  uint32_t length;
  const uint8_t* table;
  const uint8_t* code;
  size_t codeBytes;
};

std::string readHeader(const uint8_t* block, size_t blockLength, Header& header) {
  if (blockLength < kHeaderBytes) return "Unexpected end of datafile!";
  if (std::memcmp(block, "HUFF", 4) != 0) return "Unrecognized compressed block header!";
  header.symbolCount = load32le(block + 4);
  header.length = load32le(block + 8);
  char text[96];
  if (header.symbolCount == 0 || header.symbolCount > 256) {
    std::snprintf(text, sizeof text, "Invalid symbol count %u in datafile!", header.symbolCount);
    return text;
  }
  const size_t tableEnd = kHeaderBytes + kRecordBytes * header.symbolCount;
  if (blockLength < tableEnd) return "Unexpected end of datafile!";
  header.table = block + kHeaderBytes;
  header.code = block + tableEnd;
  header.codeBytes = blockLength - tableEnd;
  // Every byte costs at least one bit: a bigger L is a lie, and believing it
  // would allocate up to 4 GiB for a tiny block.
  const unsigned long long codeBits = static_cast<unsigned long long>(header.codeBytes) * 8;
  if (header.length > codeBits) {
    std::snprintf(text, sizeof text, "Datafile asks for %u bytes but holds only %llu code bits!",
                  header.length, codeBits);
    return text;
  }
  return std::string();
}

// The table in stored order: it is neither sorted nor checked first, since the
// encoder wrote it sorted and whatever a broken one says still gives a tree.
void readTree(const Header& header, Tree& tree) {
  Record records[256];
  for (uint32_t i = 0; i < header.symbolCount; ++i) {
    const uint8_t* record = header.table + kRecordBytes * i;
    records[i] = Record{load32le(record), static_cast<uint16_t>(record[4] | kLeaf)};
  }
  buildTree(records, static_cast<int>(header.symbolCount), tree);
}

const char* const kRanOut = "Datafile code bits ran out!";

// The fast decoder looks up the next kTableBits bits at once. An entry holds
//   bits  0-7   bits consumed (low, so the shift needs no masking: it is on
//               the loop's critical path)
//   bits  8-11  values produced: 1, 2, or 0 for a code longer than the window,
//               in which case bits 16-31 are the inner node reached after it
//   bits 12-15  length of the first code (for the tail, which takes one value)
//   bits 16-23  first value
//   bits 24-31  second value, when its code also fits in the window
// A wide window often holds two codes (the low and high byte of a quiet
// 16-bit sample, say); 14 bits measured fastest of 12 to 14 on the
// benchmark's corpus although the table outgrows a 48 KiB L1.
constexpr int kTableBits = 14;
constexpr uint32_t kTableSize = 1u << kTableBits;

void buildTable(const Tree& tree, uint32_t* table) {
  struct Pending {
    uint16_t node;
    uint32_t code;
    uint32_t length;
  } stack[kTableBits + 1];  // depth first, only inner nodes above the window's depth
  int top = 0;
  stack[top++] = Pending{0, 0, 0};
  while (top > 0) {
    const Pending at = stack[--top];
    for (uint32_t bit = 0; bit < 2; ++bit) {
      const uint16_t child = tree.child[at.node][bit];
      const uint32_t code = at.code << 1 | bit;
      const uint32_t length = at.length + 1;
      if (child & kLeaf) {
        const uint32_t entry = length | 1u << 8 | length << 12 | (child & 0xFFu) << 16;
        const uint32_t first = code << (kTableBits - length);
        for (uint32_t i = 0; i < 1u << (kTableBits - length); ++i) table[first + i] = entry;
      } else if (length == kTableBits) {
        table[code] = uint32_t(kTableBits) | uint32_t(child) << 16;
      } else {
        stack[top++] = Pending{child, code, length};
      }
    }
  }
  // A second value whose whole code lies in the rest of the window. The
  // lookup pads with zeros, so the code is whole only if it is no longer than
  // the bits really there.
  for (uint32_t i = 0; i < kTableSize; ++i) {
    const uint32_t first = table[i] >> 12 & 0xF;
    if (first == 0 || first == kTableBits) continue;
    const uint32_t next = table[(i << first) & (kTableSize - 1)];
    const uint32_t second = next >> 12 & 0xF;
    if (second == 0 || first + second > kTableBits) continue;
    table[i] = (first + second) | 2u << 8 | first << 12 | (table[i] & 0xFF0000u) |
               (next & 0xFF0000u) << 8;
  }
}

// Code bits held left-aligned in a 64-bit word: the top `count` bits are the
// next ones. Bits below them may hold what follows, or zeros.
struct BitReader {
  uint64_t buffer = 0;
  unsigned count = 0;
  const uint8_t* next;
  const uint8_t* end;

  // Needs next + 8 <= end. Leaves 56 to 63 bits.
  void refillFast() {
    buffer |= load64be(next) >> count;
    next += (63 - count) >> 3;
    count |= 56;
  }
  // Byte by byte, never past the end; at the end `count` may stay small.
  void refillSafe() {
    while (count < 56 && next < end) {
      buffer |= uint64_t(*next++) << (56 - count);
      count += 8;
    }
  }
  void consume(unsigned bits) {
    buffer <<= bits;
    count -= bits;
  }
};

// Down the tree from an inner node one bit at a time: the rare codes longer
// than the table's window. Returns the value, or -1 when the bits run out.
int walkFrom(uint16_t node, const Tree& tree, BitReader& bits) {
  for (;;) {
    if (bits.count == 0) {
      bits.refillSafe();
      if (bits.count == 0) return -1;
    }
    const uint16_t child = tree.child[node][bits.buffer >> 63];
    bits.consume(1);
    if (child & kLeaf) return child & 0xFF;
    node = child;
  }
}

}  // namespace

size_t huffmanBlockLength(const uint8_t* input, size_t length) {
  Plan plan;
  makePlan(input, length, plan);
  return plan.blockLength;
}

size_t huffmanCompress(const uint8_t* input, size_t length, uint8_t* output) {
  Plan plan;
  makePlan(input, length, plan);
  std::memcpy(output, "HUFF", 4);
  store32le(output + 4, static_cast<uint32_t>(plan.symbolCount));
  store32le(output + 8, static_cast<uint32_t>(length));
  store32le(output + 12, static_cast<uint32_t>(plan.blockLength));
  uint8_t* out = output + kHeaderBytes;
  for (int i = 0; i < plan.symbolCount; ++i, out += kRecordBytes) {
    store32le(out, static_cast<uint32_t>(plan.table[i].frequency));
    out[4] = static_cast<uint8_t>(plan.table[i].ref);
  }

  // Bits gather from the top of `pending`; whole bytes leave when the next
  // code would not fit.
  uint64_t pending = 0;
  unsigned used = 0;
  for (size_t i = 0; i < length; ++i) {
    const Code code = plan.codes[input[i]];
    if (used + code.length > 64) {
      for (; used >= 8; used -= 8) {
        *out++ = static_cast<uint8_t>(pending >> 56);
        pending <<= 8;
      }
    }
    pending |= code.bits << (64 - used - code.length);
    used += code.length;
  }
  for (; used >= 8; used -= 8) {
    *out++ = static_cast<uint8_t>(pending >> 56);
    pending <<= 8;
  }
  // The started byte, or the extra zero byte after bits ending on a boundary.
  *out++ = static_cast<uint8_t>(pending >> 56);
  return plan.blockLength;
}

namespace {

// What both decoders do first, once the header is read and `output` holds
// its L bytes: the block of one value (no inner node: every bit stands for
// it, and the length check has made sure there are enough bits) and the
// tree. False when nothing is left to decode.
bool beginDecode(const Header& header, uint8_t* output, Tree& tree) {
  if (header.symbolCount == 1) {
    if (header.length) std::memset(output, header.table[4], header.length);
    return false;
  }
  readTree(header, tree);
  return true;
}

std::string decodeByTree(const Header& header, uint8_t* output) {
  Tree tree;
  if (!beginDecode(header, output, tree)) return std::string();
  const size_t totalBits = header.codeBytes * 8;
  size_t bit = 0;
  for (uint32_t i = 0; i < header.length; ++i) {
    uint16_t node = 0;
    for (;;) {
      if (bit == totalBits) return kRanOut;
      const unsigned branch = header.code[bit >> 3] >> (7 - (bit & 7)) & 1;
      ++bit;
      const uint16_t child = tree.child[node][branch];
      if (child & kLeaf) {
        output[i] = static_cast<uint8_t>(child);
        break;
      }
      node = child;
    }
  }
  return std::string();
}

std::string decodeFast(const Header& header, uint8_t* output) {
  Tree tree;
  if (!beginDecode(header, output, tree)) return std::string();
  std::unique_ptr<uint32_t[]> table(new uint32_t[kTableSize]);  // 64 KiB: not on the stack
  buildTable(tree, table.get());

  uint8_t* out = output;
  uint8_t* const outEnd = out + header.length;
  // Plenty of input and output left: no bounds checks inside. A refill leaves
  // at least 56 bits, enough for four lookups of at most 14; each lookup
  // writes two bytes and advances by at most two, so eight bytes of room
  // cover a round.
  static_assert(4 * kTableBits <= 56, "four lookups per refill");
  static_assert(kTableBits < 16, "lengths are held in four bits");
  // Never passed by address, so that it stays in registers: kept in memory,
  // it costs a third of the speed.
  BitReader fast;
  fast.next = header.code;
  fast.end = header.code + header.codeBytes;
  while (outEnd - out >= 8 && fast.end - fast.next >= 8) {
    fast.refillFast();
    for (int round = 0; round < 4; ++round) {
      const uint32_t entry = table[fast.buffer >> (64 - kTableBits)];
      out[0] = static_cast<uint8_t>(entry >> 16);
      out[1] = static_cast<uint8_t>(entry >> 24);
      fast.consume(entry & 0xFF);
      const uint32_t produced = entry >> 8 & 0xF;
      out += produced;
      if (produced == 0) {
        // A long code; the walk may refill, so start a new round after it.
        // Running out leaves no input, and the tail reports that.
        BitReader walker = fast;
        const int value = walkFrom(static_cast<uint16_t>(entry >> 16), tree, walker);
        fast = walker;
        if (value >= 0) *out++ = static_cast<uint8_t>(value);
        break;
      }
    }
  }

  // The tail: one value at a time, every bit checked.
  BitReader bits = fast;
  while (out < outEnd) {
    bits.refillSafe();
    const uint32_t entry = table[bits.buffer >> (64 - kTableBits)];
    const uint32_t first = entry >> 12 & 0xF;
    int value;
    if (first == 0) {
      if (bits.count < kTableBits) {
        value = -1;
      } else {
        bits.consume(kTableBits);
        value = walkFrom(static_cast<uint16_t>(entry >> 16), tree, bits);
      }
    } else if (first <= bits.count) {
      bits.consume(first);
      value = entry >> 16 & 0xFF;
    } else {
      value = -1;
    }
    if (value < 0) return kRanOut;
    *out++ = static_cast<uint8_t>(value);
  }
  return std::string();
}

// The vector form of either decoder: sized to L, emptied on a failure.
std::string decodeToVector(const uint8_t* block, size_t blockLength, std::vector<uint8_t>& output,
                           std::string (*decode)(const Header&, uint8_t*)) {
  Header header;
  std::string error = readHeader(block, blockLength, header);
  if (error.empty()) {
    output.resize(header.length);
    error = decode(header, output.data());
  }
  if (!error.empty()) output.clear();
  return error;
}

}  // namespace

std::string huffmanDecompressByTree(const uint8_t* block, size_t blockLength,
                                    std::vector<uint8_t>& output) {
  return decodeToVector(block, blockLength, output, decodeByTree);
}

std::string huffmanDecompress(const uint8_t* block, size_t blockLength,
                              std::vector<uint8_t>& output) {
  return decodeToVector(block, blockLength, output, decodeFast);
}

std::string huffmanDecodedLength(const uint8_t* block, size_t blockLength, size_t& length) {
  Header header;
  std::string error = readHeader(block, blockLength, header);
  length = error.empty() ? header.length : 0;
  return error;
}

std::string huffmanDecompressInto(const uint8_t* block, size_t blockLength, uint8_t* output) {
  Header header;
  std::string error = readHeader(block, blockLength, header);
  if (!error.empty()) return error;
  return decodeFast(header, output);
}
