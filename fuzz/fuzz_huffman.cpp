// libFuzzer target for the Huffman block. The first byte picks what to do
// with the rest:
//   even  decode it as a block with both decoders (the fast one also in two
//         steps into a buffer of its own), which must agree exactly
//         (same error string, or same output);
//   odd   pack it, check the length against huffmanBlockLength, and unpack
//         it again with both decoders.
// Built with -DHUFFMAN_FUZZ_SEEDS instead, it is a small program that writes
// a few valid blocks into the directory named on its command line, so that
// the decoding half starts from well-formed input.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "util/data/huffman.h"

#ifndef HUFFMAN_FUZZ_SEEDS

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_huffman: %s\n", what);
    std::abort();
  }
}

void decodeBoth(const uint8_t* block, size_t size, const std::vector<uint8_t>* expected) {
  std::vector<uint8_t> fast, tree;
  const std::string fastError = huffmanDecompress(block, size, fast);
  const std::string treeError = huffmanDecompressByTree(block, size, tree);
  check(fastError == treeError, "the decoders disagree on the error");
  check(fast == tree, "the decoders disagree on the output");
  // The two steps into a buffer of exactly L bytes, which the sanitizer guards.
  size_t length = 0;
  std::string intoError = huffmanDecodedLength(block, size, length);
  if (intoError.empty()) {
    std::unique_ptr<uint8_t[]> into(new uint8_t[length]);
    intoError = huffmanDecompressInto(block, size, into.get());
    if (intoError.empty())
      check(std::vector<uint8_t>(into.get(), into.get() + length) == fast, "the two-step output differs");
  }
  check(intoError == fastError, "the two-step decoder disagrees on the error");
  if (expected) {
    check(fastError.empty(), "a packed block does not unpack");
    check(fast == *expected, "the round trip changed the bytes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t* rest = data + 1;
  const size_t length = size - 1;
  if ((data[0] & 1) == 0) {
    decodeBoth(rest, length, nullptr);
    return 0;
  }
  const std::vector<uint8_t> input(rest, rest + length);
  std::vector<uint8_t> block(huffmanBlockLength(input.data(), input.size()));
  check(huffmanCompress(input.data(), input.size(), block.data()) == block.size(),
        "huffmanCompress disagrees with huffmanBlockLength");
  decodeBoth(block.data(), block.size(), &input);
  return 0;
}

#else

#include "seed_files.h"

int main(int argc, char** argv) {
  const std::string dir = seedDirectory(argc, argv);
  std::vector<std::vector<uint8_t>> inputs;
  inputs.push_back({'a', 'b', 'c'});
  inputs.push_back(std::vector<uint8_t>(8, 'x'));
  std::string text = "abracadabra, a lantern in the storm; the toy train whistles.";
  inputs.emplace_back(text.begin(), text.end());
  std::vector<uint8_t> all;
  for (int i = 0; i < 1024; ++i) all.push_back(static_cast<uint8_t>(i * 97 + (i >> 3)));
  inputs.push_back(all);
  std::vector<uint8_t> skewed;  // Fibonacci counts: codes longer than the lookup window
  for (uint32_t v = 0, a = 1, b = 1; v < 18; ++v, b += a, a = b - a)
    for (uint32_t i = 0; i < a; ++i) skewed.insert(skewed.begin() + (i * 7919u) % (skewed.size() + 1), uint8_t(v));
  inputs.push_back(skewed);

  int written = 0;
  for (const std::vector<uint8_t>& input : inputs) {
    std::vector<uint8_t> block(huffmanBlockLength(input.data(), input.size()));
    huffmanCompress(input.data(), input.size(), block.data());
    // Mode byte 0: decode the block. Mode byte 1: pack the input.
    const std::pair<uint8_t, const std::vector<uint8_t>*> seeds[] = {{0, &block}, {1, &input}};
    for (const auto& seed : seeds) {
      std::vector<uint8_t> bytes{seed.first};
      bytes.insert(bytes.end(), seed.second->begin(), seed.second->end());
      writeSeed(dir + "/seed" + std::to_string(written++), bytes);
    }
  }
  std::printf("%d seeds in %s\n", written, dir.c_str());
  return 0;
}

#endif
