#pragma once
// Pictures the program wrote, read back for comparison.
#include <string>
#include <vector>

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;  // rows top down

  // Calls f(pixel) for every pixel of a rectangle given in fractions of the
  // picture, y from the top; returns the number of pixels.
  template <class F>
  int each(double x0, double y0, double x1, double y1, F f) const {
    int n = 0;
    for (int y = static_cast<int>(y0 * height); y < static_cast<int>(y1 * height); ++y)
      for (int x = static_cast<int>(x0 * width); x < static_cast<int>(x1 * width); ++x, ++n)
        f(&rgb[(static_cast<size_t>(y) * width + x) * 3]);
    return n;
  }
  // Mean grey level (the channels' mean) of a rectangle, 0 when it is empty.
  double mean(double x0 = 0, double y0 = 0, double x1 = 1, double y1 = 1) const;
  // Share of the rectangle's pixels whose grey level satisfies `test`.
  template <class F>
  double share(double x0, double y0, double x1, double y1, F test) const {
    int hits = 0;
    int n = each(x0, y0, x1, y1, [&](const unsigned char* p) { hits += test((p[0] + p[1] + p[2]) / 3.0); });
    return n ? static_cast<double>(hits) / n : 0.0;
  }
};

// An empty picture when the file cannot be read.
Picture readPng(const std::string& path);

// Mean difference per channel, in levels; a large number when the sizes differ.
double meanDifference(const Picture& a, const Picture& b);
// The largest difference of one channel value; 256 when the sizes differ.
int largestDifference(const Picture& a, const Picture& b);
// The share of channel values that differ at all; 1 when the sizes differ.
double differingShare(const Picture& a, const Picture& b);
