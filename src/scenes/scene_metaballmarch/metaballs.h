#pragma once
// The four metaballs of the marching-cubes scene: their motion and the field
// they make.
//
// Each ball is pulled towards the origin (strength 40000) and towards each of
// the others (20000), both softened by + 10000 in the squared distance, so
// the four orbit and merge without ever flying apart. moveBalls advances them
// by one frame from the frame's step in beats (a third of a beat per time
// unit, at most 0.1 per frame so a stall never throws them out). It updates
// metaballCentres, the balls' positions scaled into the field's units
// (x 1/30), which metaballField reads.
//
// metaballField(p) = sum over the balls of 1 / |centre - p / 30|^2, minus 1:
// positive inside the blobs, negative outside, zero on the surface. It is a
// FieldFunction for MarchingCubes and runs on the engine's worker threads;
// the centres only change between frames, in moveBalls or resetBalls.

struct Ball {
  float position[4];  // w = 1
  float velocity[4];  // w = 1
};

constexpr int kBallCount = 4;

extern float metaballCentres[kBallCount][3];

float metaballField(const float p[3]);

void moveBalls(Ball balls[kBallCount], float beatStep);

// The show's starting positions, at rest.
void resetBalls(Ball balls[kBallCount]);
