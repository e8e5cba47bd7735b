#include "scenes/scene_metaballmarch/metaballs.h"

float metaballCentres[kBallCount][3];

namespace {

const float kFieldScale = 0.033333335f;

void setCentres(const Ball balls[kBallCount]) {
  for (int i = 0; i < kBallCount; ++i)
    for (int k = 0; k < 3; ++k) metaballCentres[i][k] = balls[i].position[k] * kFieldScale;
}

// velocity += towards x strength / (|towards|^2 + 10000)
void pull(float velocity[4], const float towards[3], float strength) {
  const float d2 = towards[0] * towards[0] + towards[1] * towards[1] + towards[2] * towards[2];
  const float k = strength / (d2 + 10000.0f);
  for (int a = 0; a < 3; ++a) velocity[a] += towards[a] * k;
}

}  // namespace

float metaballField(const float p[3]) {
  const float q[3] = {p[0] * kFieldScale, p[1] * kFieldScale, p[2] * kFieldScale};
  float sum = 0.0f;
  for (int i = 0; i < kBallCount; ++i) {
    const float dx = metaballCentres[i][0] - q[0];
    const float dy = metaballCentres[i][1] - q[1];
    const float dz = metaballCentres[i][2] - q[2];
    sum += 1.0f / (dx * dx + dy * dy + dz * dz);
  }
  return sum - 1.0f;
}

void moveBalls(Ball balls[kBallCount], float beatStep) {
  float dt = beatStep * 0.33333334f;
  if (dt > 0.1f) dt = 0.1f;

  for (int i = 0; i < kBallCount; ++i) {
    const float* p = balls[i].position;
    const float toOrigin[3] = {-p[0], -p[1], -p[2]};
    pull(balls[i].velocity, toOrigin, 40000.0f * dt);
    for (int j = 0; j < kBallCount; ++j) {
      if (j == i) continue;
      const float* q = balls[j].position;
      const float toOther[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
      pull(balls[i].velocity, toOther, 20000.0f * dt);
    }
  }
  for (int i = 0; i < kBallCount; ++i)
    for (int a = 0; a < 3; ++a) balls[i].position[a] += balls[i].velocity[a] * dt;
  setCentres(balls);
}

void resetBalls(Ball balls[kBallCount]) {
  static const float kStart[kBallCount][3] = {
      {-70.0f, 10.0f, 0.0f}, {70.0f, 0.0f, 10.0f}, {10.0f, 80.0f, 50.0f}, {-10.0f, -80.0f, 100.0f}};
  for (int i = 0; i < kBallCount; ++i) {
    for (int a = 0; a < 3; ++a) {
      balls[i].position[a] = kStart[i][a];
      balls[i].velocity[a] = 0.0f;
    }
    balls[i].position[3] = 1.0f;
    balls[i].velocity[3] = 1.0f;
  }
  setCentres(balls);
}
