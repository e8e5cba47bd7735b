// The lit shaders' cost on this machine's renderer. Each benchmark draws a
// full-window grid (640 x 360, 9600 triangles with a gentle relief, so that
// the lights fall differently on every pixel) under the 3D scenes' four stage
// lights, and times it to the driver's finish. The library's lit programs
// that the scenes use are timed; every fragment shader file named on the
// command line joins them, paired with the library's vertex shader of the
// same base name, so a changed copy is timed against the original in one
// process (interleaved, the machine's load falls on both alike):
//
//   xvfb-run -a -s "-screen 0 1280x720x24" build/bench/bench_shaders
//       /tmp/try/multi_material_notex.frag
//       --benchmark_enable_random_interleaving=true --benchmark_repetitions=10
//
// (one command line).
//
// Run it from the repository root: the shaders are read from data/.
#include <GL/glew.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "main_shaders.h"
#include "platform/video.h"
#include "scenes/stage_light.h"
#include "util/data/data.h"
#include "util/util.h"
#include "util/error.h"

namespace {

constexpr int kWidth = 640, kHeight = 360, kCells = 40;

struct Grid {
  GLuint buffer = 0;
  GLsizei corners = 0;
  size_t normalsAt = 0, texcoordsAt = 0, tangentsAt = 0;
};

// Positions, normals, texture coordinates and tangents (unit 1), as the
// tiles' panels carry them, in one buffer of four blocks.
Grid makeGrid() {
  std::vector<float> positions, normals, texcoords, tangents;
  const int corner[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
  for (int y = 0; y < kCells; ++y) {
    for (int x = 0; x < kCells; ++x) {
      for (const auto& c : corner) {
        const float u = static_cast<float>(x + c[0]) / kCells, v = static_cast<float>(y + c[1]) / kCells;
        const float fx = 2 * u - 1, fy = 2 * v - 1;
        positions.insert(positions.end(), {fx * 1.8f, fy, 0.05f * std::sin(9 * fx) * std::cos(7 * fy)});
        const float nx = -0.45f * std::cos(9 * fx) * std::cos(7 * fy), ny = 0.35f * std::sin(9 * fx) * std::sin(7 * fy);
        const float length = std::sqrt(nx * nx + ny * ny + 1);
        normals.insert(normals.end(), {nx / length, ny / length, 1 / length});
        texcoords.insert(texcoords.end(), {4 * u, 4 * v});
        tangents.insert(tangents.end(), {1, 0, 0, 1});
      }
    }
  }
  Grid grid;
  grid.corners = static_cast<GLsizei>(positions.size() / 3);
  grid.normalsAt = positions.size() * 4;
  grid.texcoordsAt = grid.normalsAt + normals.size() * 4;
  grid.tangentsAt = grid.texcoordsAt + texcoords.size() * 4;
  glGenBuffers(1, &grid.buffer);
  glBindBuffer(GL_ARRAY_BUFFER, grid.buffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(grid.tangentsAt + tangents.size() * 4), nullptr,
               GL_STATIC_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(grid.normalsAt), positions.data());
  glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(grid.normalsAt), static_cast<GLsizeiptr>(normals.size() * 4),
                  normals.data());
  glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(grid.texcoordsAt),
                  static_cast<GLsizeiptr>(texcoords.size() * 4), texcoords.data());
  glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(grid.tangentsAt), static_cast<GLsizeiptr>(tangents.size() * 4),
                  tangents.data());
  return grid;
}

GLuint plainTexture(uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> texels(64 * 64 * 4);
  for (size_t i = 0; i < texels.size(); i += 4) {
    texels[i] = r;
    texels[i + 1] = g;
    texels[i + 2] = b;
    texels[i + 3] = 255;
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  return name;
}

// What a 3D scene sets before its models: a perspective view of the grid
// filling the window, four stage lights, a brownish enamel, a grey texture
// on unit 0 and a flat normal map on unit 1 (the bump entries' "Texture1"
// and "NormalMap", whose light count is "Num_lights").
void setUpScene(const Grid& grid) {
  glViewport(0, 0, kWidth, kHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-0.16, 0.16, -0.09, 0.09, 0.1, 100);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  for (int i = 0; i < 4; ++i) {
    Light light;
    setStageLight(light, 0.1f, 0.01f, 3.0f * static_cast<float>(i) - 4.5f, 2.0f, 1.5f);
    light.apply(i);
  }
  const GLfloat enamel[4] = {0.6f, 0.3f, 0.2f, 1.0f}, specular[4] = {0.8f, 0.8f, 0.8f, 1.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, enamel);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 40.0f);
  glTranslatef(0.0f, 0.0f, -1.8f);

  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, plainTexture(128, 128, 255));
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, plainTexture(180, 180, 180));
  glEnable(GL_TEXTURE_2D);

  glBindBuffer(GL_ARRAY_BUFFER, grid.buffer);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
  glNormalPointer(GL_FLOAT, 0, reinterpret_cast<const void*>(grid.normalsAt));
  const size_t at[2] = {grid.texcoordsAt, grid.tangentsAt};
  for (int unit = 0; unit < 2; ++unit) {
    glClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(unit == 0 ? 2 : 4, GL_FLOAT, 0, reinterpret_cast<const void*>(at[unit]));
  }
  glClientActiveTexture(GL_TEXTURE0);
}

void BM_LitGrid(benchmark::State& state, ShaderProgram* program, GLsizei corners) {
  program->use();
  if (glGetUniformLocation(program->program, "Num_lights") >= 0) {
    program->setUniform("Num_lights", 4);
    program->setUniform("Texture1", 0);
    program->setUniform("NormalMap", 1);
  }
  for (auto _ : state) {
    glFinish();
    const auto begun = std::chrono::steady_clock::now();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDrawArrays(GL_TRIANGLES, 0, corners);
    glFinish();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count());
  }
}

}  // namespace

int main(int argc, char** argv) {
  setFailureHandler(exitOnFailure);
  // Our arguments (fragment shader files) out, the benchmark library's left.
  std::vector<std::string> extra;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (endsWith(argv[i], ".frag"))
      extra.emplace_back(argv[i]);
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);

  if (!videoInit()) {
    std::fprintf(stderr, "bench_shaders: %s\n", videoError().c_str());
    return 1;
  }
  requestGlAttributes(0, 0);
  if (!openVideoWindow("bench_shaders", kWidth, kHeight, desktopFormat(), kVideoOpenGL) ||
      glewInit() != GLEW_OK) {
    std::fprintf(stderr, "bench_shaders: no OpenGL window: %s\n", videoError().c_str());
    return 1;
  }
  std::printf("%s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  dataMode = kDataPlain;
  static ShaderLibrary library;
  const Grid grid = makeGrid();
  setUpScene(grid);

  const char* entries[] = {"multi_material_notex", "multi_material_tex", "multi_specular_bump",
                           "single_material_notex"};
  for (const char* name : entries) {
    for (int index = 0; index < ShaderLibrary::kEntries; ++index) {
      const char *vertex = ShaderLibrary::vertexFile(index), *fragment = ShaderLibrary::fragmentFile(index);
      if (!vertex || !fragment || std::string(vertex) != std::string(name) + ".vert" ||
          std::string(fragment) != std::string(name) + ".frag")
        continue;
      benchmark::RegisterBenchmark(name, BM_LitGrid, library.entry(index), grid.corners)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    }
  }
  static std::vector<std::unique_ptr<ShaderProgram>> variants;
  for (const std::string& path : extra) {
    const size_t slash = path.find_last_of('/');
    const std::string base = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string vertex = base.substr(0, base.size() - 5) + ".vert";
    variants.push_back(std::make_unique<ShaderProgram>(vertex.c_str(), path.c_str()));
    benchmark::RegisterBenchmark(path.c_str(), BM_LitGrid, variants.back().get(), grid.corners)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  videoShutdown();
  return 0;
}
