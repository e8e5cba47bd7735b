#pragma once
// Static Huffman coding of the packed data file's chunk stream.
//
// A block is: "HUFF", N (distinct byte values, 1..256), L (uncompressed
// length), the block length, N records of (4-byte frequency, 1-byte value)
// in descending order of frequency, then the code bits, most significant
// bit of each byte first. All integers little-endian. Encoder and decoder
// build the same tree from the same table with the same sort procedure, so
// a block packed on one machine reads on every other.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The exact length of the block huffmanCompress writes for this input.
size_t huffmanBlockLength(const uint8_t* input, size_t length);

// Compresses `length` (at least 1) bytes into `output`, which holds at least
// huffmanBlockLength bytes; returns the block length. L and the frequencies
// are 32-bit, so `length` must be under 4 GiB.
size_t huffmanCompress(const uint8_t* input, size_t length, uint8_t* output);

// Decompresses the block of `blockLength` bytes into `output` (resized to L).
// Returns an empty string on success, else what is wrong with the block. A
// broken block never makes it read or write outside the buffers, and L is
// checked against the code bits before anything is allocated.
std::string huffmanDecompress(const uint8_t* block, size_t blockLength, std::vector<uint8_t>& output);

// The same in two steps, for a caller that gives its own buffer (one that
// need not be cleared first): L from a block whose header is sound, else
// what is wrong with it; then the values into exactly L bytes at `output`,
// which hold nothing meaningful after a failure.
std::string huffmanDecodedLength(const uint8_t* block, size_t blockLength, size_t& length);
std::string huffmanDecompressInto(const uint8_t* block, size_t blockLength, uint8_t* output);

// The plain decoder: one bit at a time down the tree. Slow, but obviously
// right; huffmanDecompress must give the same output and the same error
// string for every block, which the tests and the fuzz target check.
std::string huffmanDecompressByTree(const uint8_t* block, size_t blockLength,
                                    std::vector<uint8_t>& output);
