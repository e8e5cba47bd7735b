#include "util/music/modulators/adsr.h"

#include <cmath>

#include "util/error.h"

namespace {

// The rising curve at u (0..1) for a slope; falling phases use 1 - u.
double rise(int slope, double u, double base) {
  switch (slope) {
    case ADSR::kLinear:
      return u;
    case ADSR::kExp:
      return (std::pow(base, u) - 1.0) / (base - 1.0);
    case ADSR::kExpInv:
      return 1.0 - (std::pow(base, 1.0 - u) - 1.0) / (base - 1.0);
  }
  FATAL("Unsupported slope type: %i", slope);
}

// How far through a phase `elapsed` is. A phase of length 0 is over as
// soon as it starts.
double fraction(double elapsed, double length) { return length > 0 ? elapsed / length : 1.0; }

}  // namespace

ADSR::ADSR(float attack, int attackSlope, float decay, int decaySlope, float sustain,
           float release, int releaseSlope)
    : attack(attack),
      attackSlope(attackSlope),
      decay(decay),
      decaySlope(decaySlope),
      sustain(sustain),
      release(release),
      releaseSlope(releaseSlope) {
  kind = kEnvelope;
}

float ADSR::value(float, float now, float offTime, float onTime) const {
  const double a = attack, d = decay, s = sustain;
  if (onTime > offTime) {
    const double e = now - onTime;
    if (e <= a) return static_cast<float>(rise(attackSlope, fraction(e, a), curveBase));
    if (e <= a + d)
      return static_cast<float>(s + (1 - s) * rise(decaySlope, 1 - (e - a) / d, curveBase));
    return sustain;
  }

  // Released: fade from the level reached when the note went off. Past the
  // release nothing else is computed.
  const double r = now - offTime;
  if (r > release) return 0.0f;
  const double h = offTime - onTime;
  double level = s;
  if (h < a)
    level = rise(attackSlope, h / a, curveBase);
  else if (h < a + d)
    level = s + (1 - s) * rise(decaySlope, 1 - (h - a) / d, curveBase);
  return static_cast<float>(level * rise(releaseSlope, 1 - fraction(r, release), curveBase));
}
