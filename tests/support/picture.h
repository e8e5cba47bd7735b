#pragma once
// Pictures the program wrote, read back for comparison.
#include <string>
#include <vector>

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;  // rows top down
};

// An empty picture when the file cannot be read.
Picture readPng(const std::string& path);

// Mean difference per channel, in levels; a large number when the sizes differ.
double meanDifference(const Picture& a, const Picture& b);
// The largest difference of one channel value; 256 when the sizes differ.
int largestDifference(const Picture& a, const Picture& b);
// The share of channel values that differ at all; 1 when the sizes differ.
double differingShare(const Picture& a, const Picture& b);
