// Shader programs and the shared library under llvmpipe: every shared program
// builds and draws sensibly with nothing but the fixed-function state the
// scenes set, and every failure ends the program with the driver's log.
// Run from the repository root: the sources are read from the plain data/ tree.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "main_shaders.h"
#include "platform/messagebox.h"
#include "tempfiles.h"
#include "util/data/data.h"
#include "util/shaderprogram/shaderprogram.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;

// Shader files on disk, for the loaders that read them; removed at exit.
std::string writeTemp(const std::string& name, const std::string& text) {
  static TempDir* dir = new TempDir;
  return dir->write(name, text);
}

GLuint makeTexture(int size, const std::vector<unsigned char>& rgba) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return name;
}

// Orange and blue 8-texel checks: lit pictures must show both.
GLuint checkerTexture() {
  std::vector<unsigned char> rgba;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      bool orange = ((x / 8) + (y / 8)) % 2 == 0;
      unsigned char texel[4] = {static_cast<unsigned char>(orange ? 255 : 40),
                                static_cast<unsigned char>(orange ? 160 : 90),
                                static_cast<unsigned char>(orange ? 40 : 255), 255};
      rgba.insert(rgba.end(), texel, texel + 4);
    }
  return makeTexture(64, rgba);
}

GLuint plainTexture(unsigned char r, unsigned char g, unsigned char b, unsigned char a = 255) {
  std::vector<unsigned char> rgba;
  for (int i = 0; i < 16; ++i) rgba.insert(rgba.end(), {r, g, b, a});
  return makeTexture(4, rgba);
}

struct Pixels {
  std::vector<unsigned char> rgb;
  double mean(int channel) const {
    double sum = 0;
    for (size_t i = channel; i < rgb.size(); i += 3) sum += rgb[i];
    return sum / (rgb.size() / 3);
  }
  double brightness() const { return (mean(0) + mean(1) + mean(2)) / 3; }
  // Spread of the red channel: the checker's two colours differ most there.
  int redSpread() const {
    int lo = 255, hi = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
      lo = std::min(lo, static_cast<int>(rgb[i]));
      hi = std::max(hi, static_cast<int>(rgb[i]));
    }
    return hi - lo;
  }
  // Share of pixels whose red lies strictly between lo and hi.
  double between(int lo, int hi) const {
    int count = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) count += rgb[i] > lo && rgb[i] < hi;
    return static_cast<double>(count) / (rgb.size() / 3);
  }
};

// The middle of the window, well inside the quad.
Pixels readMiddle() {
  Pixels pixels;
  const int w = 120, h = 120;
  pixels.rgb.resize(w * h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(kWidth / 2 - w / 2, kHeight / 2 - h / 2, w, h, GL_RGB, GL_UNSIGNED_BYTE,
               pixels.rgb.data());
  return pixels;
}

void setLight(int index, const GLfloat position[4], const GLfloat diffuse[4]) {
  const GLfloat ambient[4] = {0.05f, 0.05f, 0.05f, 1};
  glEnable(GL_LIGHT0 + index);
  glLightfv(GL_LIGHT0 + index, GL_POSITION, position);  // eye space: modelview is identity
  glLightfv(GL_LIGHT0 + index, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0 + index, GL_DIFFUSE, diffuse);
  glLightfv(GL_LIGHT0 + index, GL_SPECULAR, diffuse);
}

void setMaterial(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
  const GLfloat colour[4] = {r, g, b, a};
  const GLfloat black[4] = {0, 0, 0, a};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, colour);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, colour);
  // A faint highlight: a head-on light must not wash the texture out.
  const GLfloat specular[4] = {0.1f, 0.1f, 0.1f, a};
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 20);
}

// What a 3D scene sets up: perspective camera, four lights, a white
// material, the colour texture on unit 0 and a flat normal map on unit 1.
class ShaderDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    // Reading sources redraws the loading screen once it runs, which resets
    // the view: build before setting the scene's state.
    library();
    prepareState();
  }

  void prepareState() {
    dataMode = kDataPlain;
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.16, 0.16, -0.09, 0.09, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHTING);
    const GLfloat noAmbient[4] = {0, 0, 0, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, noAmbient);
    const GLfloat front[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1};
    const GLfloat left[4] = {-3, 0, 0, 1}, right[4] = {3, 0, 0, 1}, top[4] = {0, 3, 0, 1};
    const GLfloat dim[4] = {0.2f, 0.2f, 0.2f, 1};
    setLight(0, front, white);
    setLight(1, left, dim);
    setLight(2, right, dim);
    setLight(3, top, dim);
    setMaterial(1, 1, 1, 1);
    glColor4f(1, 1, 1, 1);

    if (!checker_) {
      checker_ = checkerTexture();
      flatNormals_ = plainTexture(128, 128, 255);
      extra_ = plainTexture(20, 20, 20);
    }
    bindUnits(checker_, flatNormals_, extra_);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }

  void TearDown() override {
    glUseProgramObjectARB(0);
    glDisable(GL_VERTEX_PROGRAM_ARB);
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
    for (int i = 0; i < 4; ++i) glDisable(GL_LIGHT0 + i);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    bindUnits(0, 0, 0);
    glDisable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  static void bindUnits(GLuint unit0, GLuint unit1, GLuint unit2) {
    const GLuint names[3] = {unit0, unit1, unit2};
    for (int unit = 2; unit >= 0; --unit) {
      glActiveTexture(GL_TEXTURE0 + unit);
      glBindTexture(GL_TEXTURE_2D, names[unit]);
    }
    glEnable(GL_TEXTURE_2D);
  }

  // A 2 x 2 quad facing the camera at distance 3 (half the window high),
  // normal +z, tangent +x on unit 1's coordinates like the prefab quad.
  static void drawQuad() {
    glPushMatrix();
    glTranslatef(0, 0, -3);
    glBegin(GL_QUADS);
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto& c : corners) {
      glNormal3f(0, 0, 1);
      glMultiTexCoord4f(GL_TEXTURE1, 1, 0, 0, 1);
      glMultiTexCoord2f(GL_TEXTURE0, (c[0] + 1) / 2, (c[1] + 1) / 2);
      glVertex3f(c[0], c[1], 0);
    }
    glEnd();
    glPopMatrix();
  }

  // The middle of the quad drawn on black with `program`.
  static Pixels drawnWith(ShaderProgram* program) {
    program->use();
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad();
    return readMiddle();
  }

  static ShaderLibrary& library() {
    static ShaderLibrary* shared = [] {
      dataMode = kDataPlain;
      return new ShaderLibrary;
    }();
    return *shared;
  }

  static GLuint checker_, flatNormals_, extra_;
};

GLuint ShaderDraw::checker_ = 0;
GLuint ShaderDraw::flatNormals_ = 0;
GLuint ShaderDraw::extra_ = 0;

TEST_F(ShaderDraw, LibraryHoldsTheTwentyFourEntriesInOrder) {
  ShaderLibrary& lib = library();
  ShaderProgram* const byName[ShaderLibrary::kEntries] = {
      lib.billboard, lib.blocked, lib.blur, lib.deferred_pass1, lib.deferred_pass2, lib.dof,
      lib.none, lib.glitch, lib.multi_diffuse, lib.multi_diffuse_2sided, lib.multi_diffuse_bump,
      lib.multi_diffuse_bump_2sided, lib.multi_material_notex, lib.multi_material_tex,
      lib.multi_specular_bump, lib.multi_specular_bump_extratex, lib.nolight_tex,
      lib.single_diffuse, lib.single_diffuse_bump, lib.single_diffuse_notex,
      lib.single_material_notex, lib.single_specular_bump, lib.twister, lib.fixed_function};
  for (int i = 0; i < ShaderLibrary::kEntries; ++i) EXPECT_EQ(lib.entry(i), byName[i]) << i;

  EXPECT_EQ(lib.entry(6), nullptr);
  ASSERT_NE(lib.fixed_function, nullptr);
  EXPECT_EQ(lib.fixed_function->program, 0u);
  EXPECT_EQ(lib.entry(24), nullptr);
  // Built in index order: GL hands out ascending program names.
  GLhandleARB previous = 0;
  for (int i = 0; i < 23; ++i) {
    if (i == 6) continue;
    ASSERT_NE(lib.entry(i), nullptr) << i;
    EXPECT_EQ(lib.entry(i)->kind, ShaderProgram::kGlsl) << i;
    EXPECT_GT(lib.entry(i)->program, previous) << i;
    previous = lib.entry(i)->program;
  }
  EXPECT_STREQ(ShaderLibrary::vertexFile(22), "twister.vert");
  EXPECT_STREQ(ShaderLibrary::fragmentFile(22), "multi_specular_bump.frag");
  EXPECT_STREQ(ShaderLibrary::vertexFile(5), "simple.vert");
  EXPECT_STREQ(ShaderLibrary::fragmentFile(5), "dof.frag");
}

static_assert(!std::is_copy_constructible_v<ShaderLibrary>, "it owns its programs");

// A library deletes its own programs with itself, and only those: another
// one built and dropped leaves the shared library's programs in use.
TEST_F(ShaderDraw, ALibraryDeletesOnlyItsOwnPrograms) {
  ShaderLibrary& shared = library();
  const GLhandleARB sharedProgram = shared.multi_diffuse->program;
  {
    ShaderLibrary own;
    EXPECT_NE(own.multi_diffuse, shared.multi_diffuse);
    EXPECT_NE(own.multi_diffuse->program, sharedProgram);
  }
  shared.multi_diffuse->use();
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(static_cast<GLhandleARB>(current), sharedProgram);
  glUseProgramObjectARB(0);
}

class EveryEntry : public ShaderDraw, public ::testing::WithParamInterface<int> {};

TEST_P(EveryEntry, DrawsALitTexturedQuad) {
  const int index = GetParam();
  ShaderProgram* program = library().entry(index);
  ASSERT_NE(program, nullptr);
  program->use();
  if (program == library().dof) {
    // Unit 2 holds depth 20/255, about 0.11 from the eye: in focus.
    program->setUniform("focus_point", 0.1f);
    program->setUniform("focus_range", 1.0f);
    program->setUniform("focus_falloff", 1.0f);
    program->setUniform("zNear", 0.1f);
    program->setUniform("zFar", 100.0f);
  }
  drawQuad();
  program->use();  // what the scenes do after drawing is no concern here
  glUseProgramObjectARB(0);
  Pixels pixels = readMiddle();
  EXPECT_GT(pixels.brightness(), 25) << "entry " << index << " drew (nearly) black";
  const bool untextured = index == 12 || index == 19 || index == 20;
  if (untextured) {
    EXPECT_LT(pixels.redSpread(), 40) << "entry " << index;
  } else {
    EXPECT_GT(pixels.redSpread(), 60) << "entry " << index << " lost the texture";
  }
}

INSTANTIATE_TEST_SUITE_P(Library, EveryEntry,
                         ::testing::Values(0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                           17, 18, 19, 20, 21, 22, 23));

// The translucent floor: 30 % opaque through the material alone.
TEST_F(ShaderDraw, MaterialAlphaMakesTheSurfaceTranslucent) {
  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1, 1, 1, 0.3f);
  setMaterial(0, 0.5f, 1, 0.3f);
  library().single_material_notex->use();
  drawQuad();
  Pixels translucent = readMiddle();
  glClear(GL_COLOR_BUFFER_BIT);
  setMaterial(0, 0.5f, 1, 1);
  drawQuad();
  Pixels opaque = readMiddle();
  EXPECT_LT(opaque.mean(0), 60);                 // blue-green surface: no red
  EXPECT_GT(translucent.mean(0), 150);           // mostly the white behind it
  EXPECT_NEAR(translucent.mean(0), 255 * 0.7 + opaque.mean(0) * 0.3, 12);
}

// The 3D scenes set up four lights; "multi" entries see all of them,
// "single" entries only light 0.
TEST_F(ShaderDraw, MultiEntriesUseFourLightsSingleEntriesOne) {
  const GLfloat black[4] = {0, 0, 0, 1}, red[4] = {1, 0, 0, 1}, ahead[4] = {0, 0, 1, 0};
  for (int i = 0; i < 3; ++i) setLight(i, ahead, black);
  setLight(3, ahead, red);
  for (int i = 0; i < 4; ++i) glLightfv(GL_LIGHT0 + i, GL_AMBIENT, black);
  bindUnits(plainTexture(255, 255, 255), flatNormals_, extra_);

  library().multi_diffuse->use();
  drawQuad();
  Pixels multi = readMiddle();
  EXPECT_GT(multi.mean(0), 200);
  EXPECT_LT(multi.mean(1), 10);

  glClear(GL_COLOR_BUFFER_BIT);
  library().single_diffuse->use();
  drawQuad();
  EXPECT_LT(readMiddle().brightness(), 5);

  // The tiles' shader counts its lights from "Num_lights".
  glClear(GL_COLOR_BUFFER_BIT);
  ShaderProgram* tiles = library().multi_specular_bump;
  tiles->use();
  tiles->setUniform("Num_lights", 3);
  drawQuad();
  EXPECT_LT(readMiddle().mean(0), 5);
  tiles->setUniform("Num_lights", 4);
  drawQuad();
  EXPECT_GT(readMiddle().mean(0), 150);
}

// The material entries weigh light 0 as the fixed pipeline's formula does,
// per pixel: a point light by distance and angle, a directional light by
// angle alone (its attenuation terms do not apply).
TEST_F(ShaderDraw, MaterialEntriesWeighPointAndDirectionalLightsByTheFixedFormula) {
  const GLfloat black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
  const GLfloat ahead[4] = {0, 0, 1, 0}, point[4] = {0, 0, -1, 1}, slanted[4] = {1, 0, 1, 0};
  for (int i = 1; i < 4; ++i) setLight(i, ahead, black);
  for (int i = 0; i < 4; ++i) glLightfv(GL_LIGHT0 + i, GL_AMBIENT, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
  bindUnits(plainTexture(255, 255, 255), flatNormals_, extra_);
  auto centreRed = [] {
    uint8_t rgb[3] = {};
    glReadPixels(kWidth / 2, kHeight / 2, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return static_cast<int>(rgb[0]);
  };
  ShaderLibrary& lib = library();
  for (ShaderProgram* entry : {lib.multi_material_notex, lib.multi_material_tex, lib.single_material_notex}) {
    entry->use();
    // Two units in front of the quad's centre, head on: 1 / (1 + 0.5 d + 0.25 d^2) = 1/3.
    setLight(0, point, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 1.0f);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.5f);
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 0.25f);
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad();
    EXPECT_NEAR(centreRed(), 85, 2);
    // From 45 degrees aside, as a direction: cos 45 whatever the attenuation.
    setLight(0, slanted, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 5.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    drawQuad();
    EXPECT_NEAR(centreRed(), 180, 2);
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 1.0f);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.0f);
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 0.0f);
  }
}

// A backdrop lit once a vertex looks as it does lit once a pixel: the same
// sums, not clamped before the texture modulates them (the fixed pipeline
// clamps, which would dim a surface lit past white). And a material no light
// reaches shows its emission alike under the fixed pipeline and the programs.
TEST_F(ShaderDraw, LightingOnceAVertexShowsWhatLightingEachPixelShows) {
  ShaderProgram perVertex("lit_per_vertex_tex.vert", "lit_per_vertex_tex.frag");
  ASSERT_EQ(perVertex.kind, ShaderProgram::kGlsl);
  perVertex.use();
  perVertex.setUniform("Texture0", 0);
  const GLfloat black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, slanted[4] = {1, 0, 1, 0};
  for (int i = 1; i < 4; ++i) setLight(i, slanted, black);
  setLight(0, slanted, white);
  for (int i = 0; i < 4; ++i) glLightfv(GL_LIGHT0 + i, GL_AMBIENT, black);
  // Emission 0.6 and cos 45 of diffuse: 1.31 times a half-grey texture.
  const GLfloat emission[4] = {0.6f, 0.6f, 0.6f, 1};
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
  bindUnits(plainTexture(128, 128, 128), flatNormals_, extra_);
  const Pixels perPixel = drawnWith(library().multi_material_tex);
  const Pixels once = drawnWith(&perVertex);
  EXPECT_NEAR(perPixel.mean(0), 1.307 * 128, 3);
  EXPECT_NEAR(once.mean(0), perPixel.mean(0), 1);
  EXPECT_NEAR(once.mean(2), perPixel.mean(2), 1);

  // Unlit: black ambient, diffuse and specular.
  const GLfloat glow[4] = {0.3f, 0.6f, 0.9f, 1};
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, glow);
  const Pixels programmed = drawnWith(library().multi_material_tex);
  for (int unit = 1; unit < 3; ++unit) {  // the fixed pipeline would modulate by them too
    glActiveTexture(GL_TEXTURE0 + unit);
    glDisable(GL_TEXTURE_2D);
  }
  glActiveTexture(GL_TEXTURE0);
  const Pixels fixed = drawnWith(library().fixed_function);
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(programmed.mean(c), glow[c] * 128, 2) << c;
    EXPECT_NEAR(fixed.mean(c), programmed.mean(c), 1) << c;
  }
}

// The robots' programs light with light 0 once a pixel and lights 1 to 3
// once a vertex: where the others do not change over a surface (lights as
// directions, no highlights) they show what the full programs show.
TEST_F(ShaderDraw, TheFirstLightOnceAPixelAndTheRestOnceAVertexAddUpAsTheFullPrograms) {
  ShaderProgram plain("first_light_per_pixel.vert", "first_light_per_pixel_notex.frag");
  ShaderProgram textured("first_light_per_pixel.vert", "first_light_per_pixel.frag");
  ASSERT_EQ(plain.kind, ShaderProgram::kGlsl);
  ASSERT_EQ(textured.kind, ShaderProgram::kGlsl);
  textured.use();
  textured.setUniform("Texture0", 0);
  const GLfloat black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, red[4] = {0.5f, 0, 0, 1};
  const GLfloat near[4] = {0.3f, 0.2f, -1.5f, 1}, aside[4] = {1, 0, 1, 0}, above[4] = {0, 1, 1, 0};
  setLight(0, near, white);  // a point light close to the quad: its light changes over it
  setLight(1, aside, red);
  setLight(2, above, red);
  setLight(3, aside, black);
  const GLfloat dim[4] = {0.1f, 0.1f, 0.1f, 1};
  for (int i = 0; i < 4; ++i) glLightfv(GL_LIGHT0 + i, GL_AMBIENT, dim);
  glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.3f);
  setMaterial(0.6f, 0.7f, 0.8f, 1);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
  const Pixels fullPlain = drawnWith(library().multi_material_notex);
  const Pixels firstPlain = drawnWith(&plain);
  const Pixels fullTextured = drawnWith(library().multi_material_tex);
  const Pixels firstTextured = drawnWith(&textured);
  EXPECT_GT(fullPlain.redSpread(), 10) << "light 0 changes over the quad";
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(firstPlain.mean(c), fullPlain.mean(c), 1) << c;
    EXPECT_NEAR(firstTextured.mean(c), fullTextured.mean(c), 1) << c;
  }
  EXPECT_NEAR(firstPlain.redSpread(), fullPlain.redSpread(), 2);
  glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.0f);
}

// With colour material on, the current colour is the surface colour.
TEST_F(ShaderDraw, ColourMaterialFollowsTheCurrentColour) {
  bindUnits(plainTexture(255, 255, 255), flatNormals_, extra_);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glColor4f(0, 1, 0, 1);
  library().single_diffuse->use();
  drawQuad();
  glDisable(GL_COLOR_MATERIAL);
  Pixels pixels = readMiddle();
  EXPECT_GT(pixels.mean(1), 200);
  EXPECT_LT(pixels.mean(0), 30);
  EXPECT_LT(pixels.mean(2), 30);
}

// The normal map is read in the tangent frame from unit 1's coordinates: a
// map tilted towards +tangent faces a light from +x and turns from one at -x.
TEST_F(ShaderDraw, BumpMappingUsesTheTangentFromUnitOne) {
  const GLfloat black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
  const GLfloat fromRight[4] = {1, 0, 0, 0}, fromLeft[4] = {-1, 0, 0, 0};
  for (int i = 1; i < 4; ++i) {
    setLight(i, fromRight, black);
    glLightfv(GL_LIGHT0 + i, GL_AMBIENT, black);
  }
  GLuint tilted = plainTexture(255, 128, 128);  // normal (1, 0, 0) in tangent space
  bindUnits(plainTexture(255, 255, 255), tilted, extra_);
  for (ShaderProgram* program : {library().single_diffuse_bump, library().multi_diffuse_bump,
                                 library().multi_specular_bump, library().single_specular_bump}) {
    program->use();
    glClear(GL_COLOR_BUFFER_BIT);
    setLight(0, fromRight, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    drawQuad();
    double facing = readMiddle().brightness();
    glClear(GL_COLOR_BUFFER_BIT);
    setLight(0, fromLeft, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    drawQuad();
    double away = readMiddle().brightness();
    EXPECT_GT(facing, 150) << program->program;
    EXPECT_LT(away, 10) << program->program;
  }
}

// The compose pass mixes sharp and blurred pictures by linearised depth.
TEST_F(ShaderDraw, UniformsSetByNameLandInTheirOwnUniformEveryTime) {
  // Locations are kept by name: a name written into a reused buffer, and
  // the same names in another program, still reach their own uniforms.
  ShaderProgram* dof = library().dof;
  dof->use();
  char name[32];
  const char* names[] = {"focus_point", "focus_range", "focus_falloff", "zNear", "zFar"};
  for (int round = 0; round < 3; ++round)
    for (int i = 0; i < 5; ++i) {
      std::snprintf(name, sizeof name, "%s", names[i]);
      dof->setUniform(name, static_cast<float>(10 * round + i));
    }
  for (int i = 0; i < 5; ++i) {
    GLfloat value = -1;
    glGetUniformfvARB(dof->program, glGetUniformLocationARB(dof->program, names[i]), &value);
    EXPECT_EQ(value, 20.0f + i) << names[i];
  }
  ShaderProgram* bump = library().multi_specular_bump;
  bump->use();
  bump->setUniform("Num_lights", 2);
  GLint lights = 0;
  glGetUniformivARB(bump->program, glGetUniformLocationARB(bump->program, "Num_lights"), &lights);
  EXPECT_EQ(lights, 2);
  glUseProgramObjectARB(0);
}

TEST_F(ShaderDraw, DepthOfFieldBlursOutsideTheFocus) {
  GLuint depth = 0;
  glGenTextures(1, &depth);
  glBindTexture(GL_TEXTURE_2D, depth);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  std::vector<float> half(16, 0.5f);  // eye distance 100 / (100 - 0.5 * 99) = 1.98
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, 4, 4, 0, GL_DEPTH_COMPONENT, GL_FLOAT,
               half.data());
  bindUnits(plainTexture(255, 0, 0), plainTexture(0, 0, 255), depth);
  glDisable(GL_LIGHTING);
  ShaderProgram* dof = library().dof;
  dof->use();
  dof->setUniform("tex_sharp", 0);
  dof->setUniform("tex_blurry", 1);
  dof->setUniform("tex_depth", 2);
  dof->setUniform("zNear", 1.0f);
  dof->setUniform("zFar", 100.0f);
  dof->setUniform("focus_range", 1.0f);
  dof->setUniform("focus_falloff", 1.0f);

  dof->setUniform("focus_point", 2.0f);
  drawQuad();
  Pixels inFocus = readMiddle();
  EXPECT_GT(inFocus.mean(0), 240);
  EXPECT_LT(inFocus.mean(2), 15);

  dof->setUniform("focus_point", 50.0f);
  drawQuad();
  Pixels outOfFocus = readMiddle();
  EXPECT_LT(outOfFocus.mean(0), 15);
  EXPECT_GT(outOfFocus.mean(2), 240);
}

// The blur pass really spreads a hard edge, along the direction it is given.
TEST_F(ShaderDraw, BlurSoftensEdgesAlongItsDirection) {
  glDisable(GL_LIGHTING);
  library().nolight_tex->use();
  drawQuad();
  Pixels sharp = readMiddle();
  // Nearest filtering gives only the two check colours; the blur mixes them
  // across every edge it crosses but keeps the average.
  EXPECT_LT(sharp.between(80, 200), 0.01);
  for (float across : {1.0f, 0.0f}) {
    glClear(GL_COLOR_BUFFER_BIT);
    library().blur->use();
    library().blur->setUniform("direction", across, 1.0f - across, 0.0f, 0.0f);
    drawQuad();
    Pixels blurred = readMiddle();
    SCOPED_TRACE(across ? "across" : "down");
    EXPECT_GT(blurred.between(80, 200), 0.1);
    EXPECT_NEAR(blurred.mean(0), sharp.mean(0), 20);
    // Edges crossing the direction soften; edges along it stay hard.
    int alongRows = 0, alongColumns = 0;  // the largest step between neighbours
    for (int y = 0; y + 1 < 120; ++y)
      for (int x = 0; x + 1 < 120; ++x) {
        const int here = blurred.rgb[(y * 120 + x) * 3];
        alongRows = std::max(alongRows, std::abs(blurred.rgb[(y * 120 + x + 1) * 3] - here));
        alongColumns = std::max(alongColumns, std::abs(blurred.rgb[((y + 1) * 120 + x) * 3] - here));
      }
    EXPECT_LT(across ? alongRows : alongColumns, 80);
    EXPECT_GT(across ? alongColumns : alongRows, 150);
  }
}

// ARB program text goes through the ARB program path.
TEST_F(ShaderDraw, ArbProgramTextBuildsAndDraws) {
  std::string vertex = writeTemp("arb.vp",
                                 "!!ARBvp1.0\n"
                                 "OPTION ARB_position_invariant;\n"
                                 "MOV result.color, vertex.color;\n"
                                 "END\n");
  std::string fragment = writeTemp("arb.fp",
                                   "!!ARBfp1.0\n"
                                   "MOV result.color, {0.0, 1.0, 0.0, 1.0};\n"
                                   "END\n");
  ShaderProgram program(vertex.c_str(), fragment.c_str());
  prepareState();
  EXPECT_EQ(program.kind, ShaderProgram::kArb);
  EXPECT_EQ(program.program, 0u);
  EXPECT_NE(program.vertexProgram, 0u);
  EXPECT_NE(program.fragmentProgram, 0u);
  program.use();
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
  EXPECT_TRUE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  drawQuad();
  Pixels pixels = readMiddle();
  EXPECT_GT(pixels.mean(1), 250);
  EXPECT_LT(pixels.mean(0), 5);
  // A GLSL program takes over from the ARB pair; the fixed-function entry
  // selects no GLSL program (the ARB targets are their user's to switch off).
  library().nolight_tex->use();
  GLint current = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(static_cast<GLhandleARB>(current), library().nolight_tex->program);
  library().fixed_function->use();
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(current, 0);
  std::remove(vertex.c_str());
  std::remove(fragment.c_str());
}

TEST(ShaderSource, BareNamesAreFoundInTheSharedShaderFolder) {
  dataMode = kDataPlain;
  char* text = ShaderProgram::readShaderFile("simple.vert");
  ASSERT_NE(text, nullptr);
  EXPECT_NE(std::string(text).find("gl_Position"), std::string::npos);
  std::free(text);
  // A name with its folder is opened as given.
  text = ShaderProgram::readShaderFile("data/common/shaders/dof.frag");
  ASSERT_NE(text, nullptr);
  EXPECT_NE(std::string(text).find("focus_falloff"), std::string::npos);
  std::free(text);
  EXPECT_EQ(ShaderProgram::readShaderFile("no_such_shader.frag"), nullptr);
}

TEST(ShaderSource, EndsWithItsZeroByteAfterTheLastCharacter) {
  const std::string crlf = "void main()\r\n{\r\n}\r\n";
  std::string path = writeTemp("crlf.vert", crlf);
  char* text = ShaderProgram::readShaderFile(path.c_str());
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text), crlf);
  std::free(text);
  std::remove(path.c_str());
}

TEST(ShaderProgramWithoutFiles, IsTheFixedFunctionProgram) {
  ShaderProgram program(nullptr, "dof.frag");
  EXPECT_EQ(program.program, 0u);
  EXPECT_EQ(program.vertexShader, 0u);
}

// Fatal paths run in a re-executed child (the parent holds a GL context).
class ShaderFatal : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setMessageBoxesEnabled(false);
    dataMode = kDataPlain;
  }
};

TEST_F(ShaderFatal, UniformTheCompilerRemovedIsFatal) {
  std::string vertex = writeTemp("unused.vert", "void main() { gl_Position = ftransform(); }\n");
  std::string fragment = writeTemp("unused.frag",
                                   "uniform float unused;\n"
                                   "void main() { gl_FragColor = vec4(1.0); }\n");
  EXPECT_EXIT(
      {
        ShaderProgram program(vertex.c_str(), fragment.c_str());
        program.use();
        program.setUniform("unused", 1.0f);
      },
      ::testing::ExitedWithCode(1), "Couldn't find uniform unused in [1-9][0-9]*");
}

TEST_F(ShaderFatal, CompileErrorShowsTheLog) {
  std::string fragment = writeTemp("broken.frag", "void main() { gl_FragColor = nonsense; }\n");
  EXPECT_EXIT(ShaderProgram("simple.vert", fragment.c_str()), ::testing::ExitedWithCode(1),
              "Fragment shader compile failed, log:\n [^\n]*nonsense");
}

TEST_F(ShaderFatal, ArbVertexWithGlslFragmentIsFatal) {
  std::string vertex = writeTemp("half.vp", "!!ARBvp1.0\nEND\n");
  EXPECT_EXIT(ShaderProgram(vertex.c_str(), "nolight_tex.frag"), ::testing::ExitedWithCode(1),
              "Error in file src/util/shaderprogram/shaderprogram.cpp:[0-9]+");
}

TEST_F(ShaderFatal, RejectedArbProgramGivesPositionAndLocation) {
  std::string vertex = writeTemp("bad.vp", "!!ARBvp1.0\nNOSUCHOP result.color;\nEND\n");
  std::string fragment = writeTemp("good.fp", "!!ARBfp1.0\nMOV result.color, 1.0;\nEND\n");
  EXPECT_EXIT(ShaderProgram(vertex.c_str(), fragment.c_str()), ::testing::ExitedWithCode(1),
              "Vertex program error at position: [0-9]+\n.*"
              "Error in file src/util/shaderprogram/shaderprogram.cpp:[0-9]+");
}

TEST_F(ShaderFatal, MissingFileNamesIt) {
  EXPECT_EXIT(ShaderProgram("simple.vert", "no_such_shader.frag"), ::testing::ExitedWithCode(1),
              "Can't read shader file no_such_shader.frag");
}

}  // namespace
