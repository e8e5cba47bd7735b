// The marching-cubes scene's per-frame cost: polygonise on the 40^3 grid of
// the show (-150..150 on each axis) for the four metaballs in their usual
// dance. The balls start where the show starts them and move 400 frames at
// 60 fps and 125 bpm before timing begins; each timed iteration moves them one
// more frame and polygonises, so the mesh keeps changing as it does on
// screen. The arguments: the number of workers that share the work (1 or 4),
// and what they share besides the point values: 0 nothing (the calling thread
// walks the edges and cells and places the vertices), 1 the vertices, 2 the
// passes over the cells with the vertices (the show's default). Counters:
// vertices and triangles of the last frame.
//
//   build/bench/bench_marching_cubes --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include "util/marching_cubes/marching_cubes.h"
#include "scenes/scene_metaballmarch/metaballs.h"

namespace {

const float kBeatsPerFrame = 125.0f / 60.0f / 60.0f;
const int kWarmUpFrames = 400;

void BM_Polygonise(benchmark::State& state) {
  const float max[3] = {150.0f, 150.0f, 150.0f}, min[3] = {-150.0f, -150.0f, -150.0f};
  MarchingCubes mc;
  mc.buildGrid(max, min);
  mc.setActiveWorkers(static_cast<int>(state.range(0)));
  mc.setSplitWalks(state.range(1) == 2);
  mc.setSplitVertices(state.range(1) == 1);
  Ball balls[kBallCount];
  resetBalls(balls);
  for (int frame = 0; frame < kWarmUpFrames; ++frame) moveBalls(balls, kBeatsPerFrame);
  mc.polygonise(metaballField);  // the arrays grow here, not while timed

  for (auto _ : state) {
    moveBalls(balls, kBeatsPerFrame);
    mc.polygonise(metaballField);
    benchmark::DoNotOptimize(mc.indices());
  }
  state.counters["vertices"] = mc.vertexCount();
  state.counters["triangles"] = mc.indexCount() / 3;
}
BENCHMARK(BM_Polygonise)
    ->ArgNames({"workers", "split"})
    ->Args({1, 0})
    ->Args({4, 0})
    ->Args({4, 1})
    ->Args({1, 2})
    ->Args({4, 2})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// The field alone, once per grid point: the bulk of a frame's work.
void BM_FieldPerPoint(benchmark::State& state) {
  Ball balls[kBallCount];
  resetBalls(balls);
  float p[3] = {1.0f, 2.0f, 3.0f};
  for (auto _ : state) {
    benchmark::DoNotOptimize(metaballField(p));
    p[0] += 0.001f;
  }
}
BENCHMARK(BM_FieldPerPoint);

}  // namespace

BENCHMARK_MAIN();
