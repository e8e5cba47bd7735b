#include "util/music/modulators/lfo.h"

#include <cmath>

#include "util/error.h"

LFO::LFO(int wave, int cc, int numerator, int denominator, bool triplet) : wave(wave) {
  kind = kOscillator;
  this->cc = cc;
  period = noteValueBeats(numerator, denominator, triplet);
}

float LFO::value(float, float now, float offTime, float onTime) const {
  if (onTime <= offTime) return 0.0f;
  const float x = now - onTime;
  // A note value of n/0 gives period 0: nothing to swing.
  switch (wave) {
    case kSine:  // 0 at the note-on, 1 after half a period
      if (period == 0.0f) return 0.0f;
      return (std::sin(x * 6.2831855f / period - 1.5707964f) + 1.0f) * 0.5f;
    case kSaw:
      if (period == 0.0f) return 0.0f;
      return std::fmod(x, period);
  }
  FATAL("Unsupported wave type: %i", wave);
}
