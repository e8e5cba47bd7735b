#include "util/music/modulators/modulator.h"

float noteValueBeats(int numerator, int denominator, bool triplet) {
  if (denominator == 0) return 0.0f;
  float beats = numerator * 4.0f / denominator;
  if (triplet) beats *= 0.6666667f;
  return beats;
}

float Modulator::value(float, float, float, float) const { return 1.0f; }
