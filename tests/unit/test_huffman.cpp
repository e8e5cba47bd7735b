// The Huffman block: exact bytes (archives must read on every machine), round
// trips, the fast decoder against the tree walk, and broken blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "util/data/huffman.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Random {
  uint64_t state;
  uint64_t next() {  // splitmix64: the same numbers on every machine
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
};

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes compress(const Bytes& input) {
  Bytes block(huffmanBlockLength(input.data(), input.size()));
  EXPECT_EQ(huffmanCompress(input.data(), input.size(), block.data()), block.size());
  return block;
}

struct Decoded {
  std::string error;
  Bytes output;
};

// Both decoders, which must agree on every block, broken or not.
Decoded decode(const Bytes& block) {
  Decoded fast, tree;
  fast.output.assign(3, 0xEE);  // stale content must not survive
  fast.error = huffmanDecompress(block.data(), block.size(), fast.output);
  tree.error = huffmanDecompressByTree(block.data(), block.size(), tree.output);
  EXPECT_EQ(fast.error, tree.error);
  EXPECT_TRUE(fast.output == tree.output) << "fast and tree-walk outputs differ";
  if (!fast.error.empty()) {
    EXPECT_TRUE(fast.output.empty());
  }
  // In two steps into a buffer of exactly L bytes (on the heap, where the
  // sanitizer sees a byte past it): the same length, error and bytes.
  size_t length = 12345;
  std::string error = huffmanDecodedLength(block.data(), block.size(), length);
  if (error.empty()) {
    std::unique_ptr<uint8_t[]> into(new uint8_t[length]);
    error = huffmanDecompressInto(block.data(), block.size(), into.get());
    if (error.empty()) {
      EXPECT_TRUE(Bytes(into.get(), into.get() + length) == fast.output) << "the two-step output differs";
    }
  } else {
    EXPECT_EQ(length, 0u);
  }
  EXPECT_EQ(error, fast.error);
  return fast;
}

void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A block by hand: `bits` is a string of '0' and '1', packed most significant
// first into floor(bits/8) + 1 bytes as the packer counts them.
Bytes makeBlock(const std::vector<std::pair<uint32_t, uint8_t>>& table, uint32_t length,
                const std::string& bits, uint32_t symbolCount = 0) {
  Bytes b = bytesOf("HUFF");
  put32(b, symbolCount ? symbolCount : static_cast<uint32_t>(table.size()));
  put32(b, length);
  put32(b, 0);
  for (const auto& record : table) {
    put32(b, record.first);
    b.push_back(record.second);
  }
  Bytes code(bits.size() / 8 + 1, 0);
  for (size_t i = 0; i < bits.size(); ++i)
    if (bits[i] == '1') code[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
  b.insert(b.end(), code.begin(), code.end());
  return b;
}

void expectRoundTrip(const Bytes& input) {
  const Bytes block = compress(input);
  const Decoded d = decode(block);
  ASSERT_EQ(d.error, "") << input.size() << " bytes";
  ASSERT_TRUE(d.output == input) << input.size() << " bytes";
}

// Mixed data with codes both shorter and much longer than a lookup window.
Bytes fibonacciSkewed(int symbols, Random& random) {
  Bytes data;
  uint32_t a = 1, b = 1;
  for (int v = 0; v < symbols; ++v) {
    data.insert(data.end(), a, static_cast<uint8_t>(v * 7));
    const uint32_t c = a + b;
    a = b;
    b = c;
  }
  for (size_t i = data.size() - 1; i > 0; --i) std::swap(data[i], data[random.below(uint32_t(i + 1))]);
  return data;
}

// -------------------------------------------------------------- exact bytes

TEST(HuffmanFormat, AbcHasCodesOfOneTwoAndTwoBitsInOneByte) {
  const Bytes expected = {'H', 'U', 'F', 'F', 3, 0, 0, 0, 3, 0, 0, 0, 32, 0, 0, 0,
                          1,   0,   0,   0,   'a', 1, 0, 0, 0, 'b', 1, 0, 0, 0, 'c',
                          0x88};  // a=1 b=00 c=01: 1 00 01 000
  EXPECT_EQ(compress(bytesOf("abc")), expected);
  EXPECT_EQ(decode(expected).output, bytesOf("abc"));
}

// Ties everywhere: if the tie order of the sort ever changes, these bytes do.
TEST(HuffmanFormat, GoldenBytesWithTies) {
  const Bytes expected = {'H', 'U', 'F', 'F', 5, 0, 0, 0, 11, 0, 0, 0, 44, 0, 0, 0,
                          5,   0,   0,   0,   'a', 2, 0, 0, 0, 'b', 2, 0, 0, 0, 'r',
                          1,   0,   0,   0,   'c', 1, 0, 0, 0, 'd',
                          0xA2, 0x53, 0xA2};  // a=1 b=01 r=000 c=0010 d=0011
  EXPECT_EQ(compress(bytesOf("abracadabra")), expected);
  EXPECT_EQ(decode(expected).output, bytesOf("abracadabra"));
}

TEST(HuffmanFormat, OneValueCostsOneZeroBitEach) {
  const Bytes eight(8, 'x');
  const Bytes block = compress(eight);
  ASSERT_EQ(block.size(), 23u);  // 16 + 5 + one full byte + the extra zero byte
  EXPECT_EQ(block[4], 1);
  EXPECT_EQ(block[12], 23);
  EXPECT_EQ(Bytes(block.begin() + 16, block.end()), (Bytes{8, 0, 0, 0, 'x', 0, 0}));
  EXPECT_EQ(decode(block).output, eight);
  EXPECT_EQ(compress(Bytes(7, 'x')).size(), 22u);
  EXPECT_EQ(compress(Bytes(9, 'x')).size(), 23u);
  // The decoder yields the value whatever the bits say.
  EXPECT_EQ(decode(makeBlock({{1, 'q'}}, 8, "10110111")).output, Bytes(8, 'q'));
}

TEST(HuffmanFormat, BitsEndingOnAByteBoundaryGetAnExtraZeroByte) {
  const Bytes block = compress(bytesOf("abababab"));  // a=0 b=1 (ties keep value order)
  ASSERT_EQ(block.size(), 16u + 10 + 2);
  EXPECT_EQ(block[12], 28);
  EXPECT_EQ(block[26], 0x55);
  EXPECT_EQ(block[27], 0x00);
  EXPECT_EQ(compress(bytesOf("abababa")).size(), 16u + 10 + 1);
  const Bytes sixteen = bytesOf("ababababbabababa");
  EXPECT_EQ(compress(sixteen).size(), 16u + 10 + 3);
  EXPECT_EQ(decode(compress(sixteen)).output, sixteen);
}

TEST(HuffmanFormat, EmptyInputGivesABlockThatDecodesToNothing) {
  const Bytes block = compress({});
  EXPECT_EQ(block.size(), 22u);
  const Decoded d = decode(block);
  EXPECT_EQ(d.error, "");
  EXPECT_TRUE(d.output.empty());
}

// -------------------------------------------------------------- round trips

TEST(HuffmanRoundTrip, RandomAndSkewedDataOfManySizes) {
  Random random{42};
  const size_t sizes[] = {1, 2, 3, 7, 8, 9, 15, 16, 17, 63, 64, 65, 255, 1000, 4097, 65536, 300000};
  for (size_t size : sizes) {
    Bytes uniform(size), two(size), geometric(size), text(size);
    for (size_t i = 0; i < size; ++i) {
      uniform[i] = static_cast<uint8_t>(random.next());
      two[i] = random.below(5) ? 'y' : 'n';
      geometric[i] = static_cast<uint8_t>(__builtin_ctzll(random.next() | 1ull << 40) * 5);
      text[i] = "etaoin shrdlu, cmfwyp.\n"[random.below(23)];
    }
    for (const Bytes* data : {&uniform, &two, &geometric, &text}) expectRoundTrip(*data);
  }
  Bytes all(256 * 3);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i * 97);
  expectRoundTrip(all);
  EXPECT_EQ(compress(all)[5], 1);  // N = 256 fills the second byte
}

TEST(HuffmanRoundTrip, CodesLongerThanTheLookupWindow) {
  Random random{7};
  for (int symbols : {16, 20, 27}) {  // code lengths up to 15, 19 and 26 bits
    Bytes data = fibonacciSkewed(symbols, random);
    expectRoundTrip(data);
    data.resize(data.size() / 3 + 5);  // other mixes of the same long codes
    expectRoundTrip(data);
  }
}

// ------------------------------------------------------------- tree building

TEST(HuffmanTree, DependsOnlyOnTheTable) {
  Random random{3};
  Bytes data = fibonacciSkewed(18, random);
  const Bytes block = compress(data);
  // Packing the decoded bytes again gives the very same block.
  EXPECT_EQ(compress(decode(block).output), block);
  // Another order of the same bytes: same counts, so the same header and table.
  std::reverse(data.begin(), data.end());
  const Bytes reversed = compress(data);
  const size_t tableEnd = 16 + 5 * block[4];
  ASSERT_EQ(reversed.size(), block.size());
  EXPECT_TRUE(std::equal(block.begin(), block.begin() + tableEnd, reversed.begin()));
  EXPECT_EQ(decode(reversed).output, data);
}

TEST(HuffmanTree, TakesAStoredTableAsItIs) {
  // Not descending: merging starts with the last two records as stored, so
  // y=00 z=01 x=1 (sorting first would give y=0 x=10 z=11).
  EXPECT_EQ(decode(makeBlock({{1, 'x'}, {5, 'y'}, {1, 'z'}}, 3, "00011")).output, bytesOf("yzx"));
  // The same value twice: two leaves, a=0 a=10 b=11.
  EXPECT_EQ(decode(makeBlock({{3, 'a'}, {2, 'a'}, {1, 'b'}}, 3, "01011")).output, bytesOf("aab"));
  // Sums past 2^32 must not wrap: q+r outweighs p, so q=00 r=01 p=1.
  EXPECT_EQ(decode(makeBlock({{0xFFFFFFFF, 'p'}, {0xFFFFFFFF, 'q'}, {0xFFFFFFFF, 'r'}}, 3, "10001"))
                .output,
            bytesOf("pqr"));
}

// All frequencies zero: a comb 255 deep, record i coded as i ones and a zero,
// the last record as 255 ones.
std::vector<std::pair<uint32_t, uint8_t>> combTable() {
  std::vector<std::pair<uint32_t, uint8_t>> table;
  for (int i = 0; i < 256; ++i) table.emplace_back(0, static_cast<uint8_t>(255 - i));
  return table;
}

std::string combCode(int record) { return std::string(record, '1') + (record < 255 ? "0" : ""); }

TEST(HuffmanTree, TwoHundredFiftySixValuesInATreeTwoHundredFiftyFiveDeep) {
  Random random{11};
  std::string bits;
  Bytes expected;
  for (int i = 0; i < 400; ++i) {
    const int record = i % 5 == 0 ? 255 - static_cast<int>(random.below(3)) : random.below(256);
    bits += combCode(record);
    expected.push_back(static_cast<uint8_t>(255 - record));
  }
  const Decoded d = decode(makeBlock(combTable(), static_cast<uint32_t>(expected.size()), bits));
  EXPECT_EQ(d.error, "");
  EXPECT_EQ(d.output, expected);
}

// ------------------------------------------------------------ broken blocks

TEST(HuffmanErrors, EachFaultHasItsMessage) {
  const Bytes good = makeBlock({{2, 'a'}, {1, 'b'}, {1, 'c'}}, 3, "01110");  // a=0 b=10 c=11
  EXPECT_EQ(decode(good).output, bytesOf("acb"));

  EXPECT_EQ(decode(Bytes(good.begin(), good.begin() + 15)).error, "Unexpected end of datafile!");
  EXPECT_EQ(decode(Bytes(good.begin(), good.begin() + 30)).error, "Unexpected end of datafile!");
  EXPECT_EQ(decode({}).error, "Unexpected end of datafile!");

  Bytes header = good;
  header[3] = 'f';
  EXPECT_EQ(decode(header).error, "Unrecognized compressed block header!");

  EXPECT_EQ(decode(makeBlock({}, 0, "", 0)).error, "Invalid symbol count 0 in datafile!");
  EXPECT_EQ(decode(makeBlock({}, 0, "", 257)).error, "Invalid symbol count 257 in datafile!");
  EXPECT_EQ(decode(makeBlock({}, 0, "", 0xFFFFFFFF)).error,
            "Invalid symbol count 4294967295 in datafile!");

  // One code byte is eight bits, so at most eight values.
  EXPECT_EQ(decode(makeBlock({{1, 'a'}, {1, 'b'}}, 9, "0")).error,
            "Datafile asks for 9 bytes but holds only 8 code bits!");
  EXPECT_EQ(decode(makeBlock({{1, 'a'}}, 0xFFFFFFFF, "")).error,
            "Datafile asks for 4294967295 bytes but holds only 8 code bits!");
  EXPECT_EQ(decode(makeBlock({{1, 'a'}, {1, 'b'}}, 8, "0")).output, bytesOf("aaaaaaaa"));

  // Two bits a value: four fit in the byte, the fifth runs out.
  EXPECT_EQ(decode(makeBlock({{1, 'a'}, {1, 'b'}, {1, 'c'}}, 5, "")).error,
            "Datafile code bits ran out!");
  EXPECT_EQ(decode(makeBlock({{1, 'a'}, {1, 'b'}, {1, 'c'}}, 4, "")).output, bytesOf("bbbb"));

  const Decoded empty = decode(makeBlock({{1, 'a'}, {1, 'b'}}, 0, ""));
  EXPECT_EQ(empty.error, "");
  EXPECT_TRUE(empty.output.empty());
}

TEST(HuffmanErrors, BitsRunOutInsideALongCode) {
  // 255 ones are needed for the deepest value; fewer are there (the padding
  // byte is dropped, or its zero would end the code). Short blocks run out in
  // the careful tail, long ones inside the fast loop.
  auto onesOnly = [](uint32_t length, const std::string& bits) {
    Bytes block = makeBlock(combTable(), length, bits);
    block.pop_back();
    return block;
  };
  EXPECT_EQ(decode(onesOnly(1, std::string(32, '1'))).error, "Datafile code bits ran out!");
  EXPECT_EQ(decode(onesOnly(100, std::string(200, '1'))).error, "Datafile code bits ran out!");
  EXPECT_EQ(decode(onesOnly(161, std::string(160, '0') + std::string(248, '1'))).error,
            "Datafile code bits ran out!");
}

TEST(HuffmanErrors, TruncationAtEveryLength) {
  Random random{5};
  Bytes data = fibonacciSkewed(16, random);  // codes up to 15 bits
  data.resize(3000);
  const Bytes block = compress(data);
  for (size_t cut = 0; cut <= block.size(); ++cut) {
    const Decoded d = decode(Bytes(block.begin(), block.begin() + cut));
    // Whatever still decodes read the same bits as before.
    if (d.error.empty()) {
      EXPECT_EQ(d.output, data) << cut;
    }
  }
}

TEST(HuffmanErrors, RandomCorruptionNeverMisleadsEitherDecoder) {
  Random random{9};
  Bytes data = fibonacciSkewed(22, random);
  data.resize(20000);
  const Bytes block = compress(data);
  for (int trial = 0; trial < 400; ++trial) {
    Bytes broken = block;
    const uint32_t changes = 1 + random.below(4);
    for (uint32_t i = 0; i < changes; ++i) {
      // Mostly the header and table, where a change reshapes everything.
      const size_t at = random.below(2) ? random.below(16 + 5 * 22) : random.below(uint32_t(broken.size()));
      broken[at] = static_cast<uint8_t>(random.next());
    }
    decode(broken);
  }
  // Wholly random tables and bits, N up to 256.
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<std::pair<uint32_t, uint8_t>> table(1 + random.below(256));
    for (auto& record : table) {
      const uint32_t kind = random.below(3);
      record.first = kind == 0 ? 0 : kind == 1 ? random.below(4) : static_cast<uint32_t>(random.next());
      record.second = static_cast<uint8_t>(random.next());
    }
    std::string bits(random.below(4000), '0');
    for (char& c : bits) c = random.below(3) ? '1' : '0';
    decode(makeBlock(table, random.below(uint32_t(bits.size()) + 9), bits));
  }
}

}  // namespace
