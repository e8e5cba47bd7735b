// The camera, lights and prefab meshes against the GL state they leave:
// matrices read back from the stacks, light parameters, the quad's buffers
// and the box's vertices caught in feedback mode.
#include <GL/glew.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "platform/messagebox.h"
#include "util/camera/camera.h"
#include "util/camera/projection.h"
#include "util/lights/light.h"
#include "util/objects3d/matrix.h"
#include "util/objects3d/prefabs.h"

namespace {

using ::testing::ExitedWithCode;

GLint integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

Matrix readMatrix(GLenum name) {
  Matrix m;
  glGetFloatv(name, m.data());
  return m;
}

void expectNear(const Matrix& actual, const Matrix& expected, float tolerance = 1e-5f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "element " << i;
}

class GlState : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setMessageBoxesEnabled(false);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    while (glGetError() != GL_NO_ERROR) {
    }
  }
  void TearDown() override {
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // The quad leaves its buffers bound; later tests expect client arrays.
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, 640, 360);
  }
};

using MatrixVsGl = GlState;

// The program's own projection and viewing transforms against the GL
// utility library's, read back from the stack: equal to the last bit, so the
// pictures do not move by a pixel without the library.
TEST_F(MatrixVsGl, ProjectionsAndLookAtEqualTheUtilityLibrarysBitForBit) {
  auto after = [](auto multiply) {
    glLoadIdentity();
    multiply();
    std::array<double, 16> m;
    glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
    return m;
  };
  const double perspectives[][4] = {{45.0, 16.0 / 9.0, 0.1, 2000.0}, {60.0, 640.0 / 360.0, 0.01, 10.0},
                                    {17.3, 1.0, 3.0, 3.0}, {120.0, 0.5, 50.0, 1.0}};
  for (const auto& p : perspectives) {
    EXPECT_EQ(after([&] { multiplyPerspective(p[0], p[1], p[2], p[3]); }),
              after([&] { gluPerspective(p[0], p[1], p[2], p[3]); }))
        << "fovy " << p[0] << " znear " << p[2] << " zfar " << p[3];
  }
  const double views[][9] = {{0, -0.01, 30, 0, 0, 0, 0, 0, 1}, {3.5, 2, -7, 0.25, 1, 0, 0, 1, 0},
                             {1, 1, 1, 1, 1, 1, 0, 1, 0}, {0, 5, 0, 0, 0, 0, 0, 1, 0},
                             {-120.5, 33.25, 8, 4, -2, 0.5, 0.1, 0.9, 0.2}};
  for (const auto& v : views) {
    EXPECT_EQ(after([&] { multiplyLookAt(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]); }),
              after([&] { gluLookAt(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]); }))
        << "eye " << v[0] << " " << v[1] << " " << v[2];
  }
  EXPECT_EQ(after([] { multiplyOrtho2D(0, 1280, 0, 720); }), after([] { gluOrtho2D(0, 1280, 0, 720); }));
  EXPECT_EQ(after([] { multiplyOrtho2D(-2, 3, 5, -1); }), after([] { gluOrtho2D(-2, 3, 5, -1); }));
}

TEST_F(MatrixVsGl, RotateAboutAnArbitraryAxisMatchesGlRotatef) {
  const float cases[][4] = {{37.0f, 1.0f, 2.0f, 3.0f}, {-115.0f, -0.3f, 0.0f, 4.0f},
                            {90.0f, 0.0f, 1.0f, 0.0f}, {400.0f, 1.0f, -1.0f, 0.5f}};
  for (const auto& c : cases) {
    Matrix ours;
    ours.translate(1.0f, 2.0f, 3.0f).rotate(c[0], c[1], c[2], c[3]).scale(2.0f, -1.0f, 0.5f);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    glRotatef(c[0], c[1], c[2], c[3]);
    glScalef(2.0f, -1.0f, 0.5f);
    expectNear(ours, readMatrix(GL_MODELVIEW_MATRIX));
  }
}

TEST_F(MatrixVsGl, ProductComposesAsGlMultMatrixf) {
  Matrix a;
  a.rotate(30.0f, 0.0f, 0.0f, 1.0f).translate(5.0f, 0.0f, 0.0f);
  Matrix b;
  b.scale(1.0f, 3.0f, 1.0f).rotate(-60.0f, 1.0f, 0.0f, 0.0f);
  glLoadMatrixf(a.data());
  glMultMatrixf(b.data());
  expectNear(a * b, readMatrix(GL_MODELVIEW_MATRIX));
}

using CameraGl = GlState;

Camera usable() {
  Camera camera;
  camera.yfov = 45.0f;
  camera.znear = 0.1f;
  camera.zfar = 100.0f;
  return camera;
}

TEST_F(CameraGl, ViewportIsSixteenByNineFullWidthAndCentred) {
  const struct {
    int w, h;
    GLint view[4];
  } cases[] = {{1024, 768, {0, 96, 1024, 576}},
               {1920, 1080, {0, 0, 1920, 1080}},
               {1280, 1024, {0, 152, 1280, 720}},
               {1000, 300, {0, -131, 1000, 562}},  // wider than 16:9: cropped, centred
               {640, 0, {0, -179, 640, 360}}};      // no height counts as one row
  Camera camera = usable();
  for (const auto& c : cases) {
    camera.apply(c.w, c.h);
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(view[i], c.view[i]) << c.w << "x" << c.h << " [" << i << "]";
  }
}

TEST_F(CameraGl, ProjectionKeepsTheSixteenByNineAspectWhateverTheWindow) {
  Camera camera = usable();
  camera.apply(1280, 1024);
  Matrix applied = readMatrix(GL_PROJECTION_MATRIX);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 16.0 / 9.0, 0.1, 100.0);
  expectNear(applied, readMatrix(GL_PROJECTION_MATRIX), 1e-5f);
}

TEST_F(CameraGl, HorizontalFieldAloneGivesAndKeepsTheVerticalOne) {
  Camera camera;
  camera.xfov = 80.0f;
  camera.znear = 1.0f;
  camera.zfar = 50.0f;
  camera.apply(640, 360);
  EXPECT_EQ(camera.yfov, 45.0f);
  Matrix applied = readMatrix(GL_PROJECTION_MATRIX);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 16.0 / 9.0, 1.0, 50.0);
  expectNear(applied, readMatrix(GL_PROJECTION_MATRIX), 1e-5f);
  // A vertical field, when given, wins over the horizontal one.
  camera.yfov = 30.0f;
  camera.apply(640, 360);
  EXPECT_EQ(camera.yfov, 30.0f);
  EXPECT_NEAR(readMatrix(GL_PROJECTION_MATRIX)(1, 1), 1.0f / std::tan(15.0f * M_PI / 180.0f), 1e-4f);
}

TEST_F(CameraGl, LeavesTheViewLoadedWithModelviewSelected) {
  Camera camera = usable();
  camera.view.rotate(20.0f, 0.0f, 1.0f, 0.0f).translate(3.0f, -2.0f, -8.0f);
  glMatrixMode(GL_PROJECTION);
  camera.apply(640, 360);
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
  expectNear(readMatrix(GL_MODELVIEW_MATRIX), camera.view, 1e-5f);
}

TEST_F(CameraGl, ZeroNearPlaneIsAccepted) {
  Camera camera = usable();
  camera.znear = 0.0f;
  camera.apply(640, 360);
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(readMatrix(GL_PROJECTION_MATRIX)(3, 2), -1.0f) << "a perspective projection is loaded";
}

TEST_F(CameraGl, MissingOpticsAreFatal) {
  Camera unset;
  unset.znear = 1.0f;
  unset.zfar = 10.0f;
  EXPECT_EXIT(unset.apply(640, 360), ExitedWithCode(1),
              "Error in file src/util/camera/camera\\.cpp:[0-9]+\n\n"
              "Camera 0x[0-9a-f]+ got neither xfov nor yfov\n$");
  Camera nearUnset = usable();
  nearUnset.znear = -1.0f;
  EXPECT_EXIT(nearUnset.apply(640, 360), ExitedWithCode(1),
              "Invalid znear/zfar of -1\\.000000/100\\.000000\n$");
  Camera farUnset = usable();
  farUnset.zfar = -1.0f;
  EXPECT_EXIT(farUnset.apply(640, 360), ExitedWithCode(1), "Invalid znear/zfar of 0\\.100000/-1\\.000000");
}

TEST_F(CameraGl, LookAtIsGluLookAtAndLeavesTheStackAlone) {
  glTranslatef(7.0f, 7.0f, 7.0f);
  Matrix before = readMatrix(GL_MODELVIEW_MATRIX);
  Camera camera;
  camera.lookAt(0.0f, 2.0f, 10.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
  expectNear(readMatrix(GL_MODELVIEW_MATRIX), before, 0.0f);
  glLoadIdentity();
  gluLookAt(0.0, 2.0, 10.0, 1.0, 0.0, 0.0, 0.0, 1.0, 0.0);
  expectNear(camera.view, readMatrix(GL_MODELVIEW_MATRIX), 0.0f);
  // The eye lands in the origin of eye space.
  Matrix eye = camera.view;
  eye.translate(0.0f, 2.0f, 10.0f);
  EXPECT_NEAR(eye[12], 0.0f, 1e-5f);
  EXPECT_NEAR(eye[13], 0.0f, 1e-5f);
  EXPECT_NEAR(eye[14], 0.0f, 1e-5f);
}

using LightGl = GlState;

TEST_F(LightGl, PointLightSetsEveryParameterAndEnablesItsLight) {
  glDisable(GL_LIGHT2);
  Light light;
  light.position[0] = 1.0f;
  light.position[1] = 2.0f;
  light.position[2] = 3.0f;
  light.spotDirection[0] = 0.0f;
  light.spotDirection[1] = -1.0f;
  light.spotDirection[2] = 0.0f;
  for (int i = 0; i < 4; ++i) {
    light.ambient[i] = 0.1f * (i + 1);
    light.diffuse[i] = 0.2f * (i + 1);
    light.specular[i] = 0.05f * (i + 1);
  }
  light.constantAttenuation = 0.5f;
  light.linearAttenuation = 0.25f;
  light.quadraticAttenuation = 0.125f;
  light.spotCutoff = 30.0f;
  light.spotExponent = 4.0f;
  // The position goes through the modelview matrix current at apply.
  glTranslatef(10.0f, 0.0f, 0.0f);
  glMatrixMode(GL_PROJECTION);
  light.apply(2);
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_PROJECTION) << "the matrix mode is not the light's business";
  glMatrixMode(GL_MODELVIEW);

  EXPECT_TRUE(glIsEnabled(GL_LIGHT2));
  float v[4];
  glGetLightfv(GL_LIGHT2, GL_POSITION, v);
  EXPECT_FLOAT_EQ(v[0], 11.0f);
  EXPECT_FLOAT_EQ(v[1], 2.0f);
  EXPECT_FLOAT_EQ(v[2], 3.0f);
  EXPECT_FLOAT_EQ(v[3], 1.0f);
  const struct {
    GLenum name;
    const float* want;
  } colours[] = {{GL_AMBIENT, light.ambient}, {GL_DIFFUSE, light.diffuse}, {GL_SPECULAR, light.specular}};
  for (const auto& c : colours) {
    glGetLightfv(GL_LIGHT2, c.name, v);
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(v[i], c.want[i]) << c.name;
  }
  glGetLightfv(GL_LIGHT2, GL_SPOT_DIRECTION, v);
  EXPECT_FLOAT_EQ(v[1], -1.0f);
  const struct {
    GLenum name;
    float want;
  } scalars[] = {{GL_CONSTANT_ATTENUATION, 0.5f}, {GL_LINEAR_ATTENUATION, 0.25f},
                 {GL_QUADRATIC_ATTENUATION, 0.125f}, {GL_SPOT_CUTOFF, 30.0f},
                 {GL_SPOT_EXPONENT, 4.0f}};
  for (const auto& s : scalars) {
    glGetLightfv(GL_LIGHT2, s.name, v);
    EXPECT_FLOAT_EQ(v[0], s.want) << s.name;
  }
  glDisable(GL_LIGHT2);
}

TEST_F(LightGl, DirectionalLightKeepsItsZeroW) {
  Light light;
  light.type = Light::kDirectional;
  light.position[2] = 1.0f;
  light.position[3] = 0.0f;
  glTranslatef(10.0f, 0.0f, 0.0f);  // moves points, not directions
  light.apply(5);
  EXPECT_TRUE(glIsEnabled(GL_LIGHT5));
  float v[4];
  glGetLightfv(GL_LIGHT5, GL_POSITION, v);
  EXPECT_FLOAT_EQ(v[0], 0.0f);
  EXPECT_FLOAT_EQ(v[2], 1.0f);
  EXPECT_FLOAT_EQ(v[3], 0.0f);
  glDisable(GL_LIGHT5);
}

TEST_F(LightGl, AmbientLightSetsTheGlobalColourAndEnablesNothing) {
  for (int i = 0; i < 8; ++i) glDisable(GL_LIGHT0 + i);
  float before[4];
  glGetLightfv(GL_LIGHT3, GL_DIFFUSE, before);
  Light light;
  light.type = Light::kAmbient;
  const float colour[4] = {0.3f, 0.4f, 0.5f, 1.0f};
  for (int i = 0; i < 4; ++i) light.ambient[i] = colour[i];
  light.diffuse[0] = 0.9f;
  light.apply(3);
  float v[4];
  glGetFloatv(GL_LIGHT_MODEL_AMBIENT, v);
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(v[i], colour[i]);
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(glIsEnabled(GL_LIGHT0 + i)) << i;
  glGetLightfv(GL_LIGHT3, GL_DIFFUSE, v);
  EXPECT_FLOAT_EQ(v[0], before[0]) << "light 3 itself is untouched";
  const float standard[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, standard);
}

TEST_F(LightGl, UnknownKindIsFatal) {
  Light light;
  light.type = 4;
  EXPECT_EXIT(light.apply(0), ExitedWithCode(1),
              "src/util/lights/light\\.cpp:[0-9]+\n\nUrecognized light type 4\n$");
}

class Prefabs : public GlState {
 protected:
  static std::vector<float> vertexBuffer() {
    std::vector<float> data(48);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, 192, data.data());
    return data;
  }
};

TEST_F(Prefabs, QuadBuffersHoldTheLayoutAndStayBound) {
  glClientActiveTexture(GL_TEXTURE1);
  drawQuad(-20.0f, -20.0f, 40.0f, 40.0f, 3.0f, false);
  ASSERT_NE(integer(GL_ARRAY_BUFFER_BINDING), 0);
  ASSERT_NE(integer(GL_ELEMENT_ARRAY_BUFFER_BINDING), 0);
  EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE), GL_TEXTURE0);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  glClientActiveTexture(GL_TEXTURE1);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  glClientActiveTexture(GL_TEXTURE0);
  expectNear(readMatrix(GL_MODELVIEW_MATRIX), Matrix(), 0.0f);

  GLint size = 0;
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  EXPECT_EQ(size, 192);
  glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  EXPECT_EQ(size, 24);
  GLint usage = 0;
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_USAGE, &usage);
  EXPECT_EQ(usage, GL_STATIC_DRAW);

  const float want[48] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0,          // positions
                          0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1,      // normals, facing away
                          0, 0, 3, 0, 0, 3, 3, 3,                      // unit 0, repeated
                          1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1};  // tangents
  std::vector<float> data = vertexBuffer();
  for (int i = 0; i < 48; ++i) EXPECT_EQ(data[i], want[i]) << "float " << i;
  GLuint indices[6];
  glGetBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, sizeof indices, indices);
  const GLuint wantIndices[6] = {0, 1, 2, 2, 3, 1};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(indices[i], wantIndices[i]);
}

TEST_F(Prefabs, QuadRefillsOnlyWhenRepeatOrFacingChange) {
  drawQuad(0.0f, 0.0f, 1.0f, 1.0f, 1.0f, true);
  // Mark the buffer: a refill would overwrite the mark.
  const float mark = 99.0f;
  glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof mark, &mark);
  drawQuad(5.0f, 5.0f, 2.0f, 2.0f, 1.0f, true);
  EXPECT_EQ(vertexBuffer()[0], 99.0f) << "same repeat and facing upload nothing";

  drawQuad(0.0f, 0.0f, 1.0f, 1.0f, 50.0f, true);
  std::vector<float> data = vertexBuffer();
  EXPECT_EQ(data[0], 0.0f) << "a new repeat refills";
  EXPECT_EQ(data[30], 50.0f);
  EXPECT_EQ(data[31], 50.0f);
  EXPECT_EQ(data[14], 1.0f);

  glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof mark, &mark);
  drawQuad(0.0f, 0.0f, 1.0f, 1.0f, 50.0f, false);
  data = vertexBuffer();
  EXPECT_EQ(data[0], 0.0f) << "a new facing refills";
  EXPECT_EQ(data[14], -1.0f);
}

TEST_F(Prefabs, QuadCoversItsRectangleWithTheTextureRepeated) {
  // A 2 x 1 texture, black then white, sampled nearest: repeated 4 times
  // across the quad it gives 8 alternating bands.
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  const unsigned char texels[8] = {0, 0, 0, 255, 255, 255, 255, 255};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glViewport(0, 0, 640, 360);
  glMatrixMode(GL_PROJECTION);
  gluOrtho2D(0.0, 640.0, 0.0, 360.0);
  glMatrixMode(GL_MODELVIEW);
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  drawQuad(160.0f, 100.0f, 320.0f, 160.0f, 4.0f, true);
  glDisable(GL_TEXTURE_2D);
  glDeleteTextures(1, &texture);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

  auto pixel = [](int x, int y) {
    unsigned char rgba[4];
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return std::vector<int>{rgba[0], rgba[1], rgba[2]};
  };
  const std::vector<int> red{255, 0, 0}, black{0, 0, 0}, white{255, 255, 255};
  EXPECT_EQ(pixel(150, 180), red) << "left of the quad";
  EXPECT_EQ(pixel(490, 180), red) << "right of the quad";
  EXPECT_EQ(pixel(320, 90), red) << "below the quad";
  EXPECT_EQ(pixel(320, 270), red) << "above the quad";
  for (int band = 0; band < 8; ++band)
    EXPECT_EQ(pixel(160 + band * 40 + 20, 180), band % 2 ? white : black) << "band " << band;
}

// Feedback mode hands back each transformed vertex with its colour and unit
// 0 texture coordinate; a vertex program copies the normal, or the unit 1
// tangent, into the colour so the box's whole face table can be read back.
struct FedVertex {
  float position[3];
  float colour[3];
  float texCoord[2];
};

GLuint attributeToColourProgram(const char* attribute) {
  std::string source = std::string("void main() {\n  gl_Position = ftransform();\n  gl_FrontColor = vec4(") +
                       attribute + " * 0.5 + 0.5, 1.0);\n  gl_TexCoord[0] = gl_MultiTexCoord0;\n}\n";
  const char* text = source.c_str();
  GLuint shader = glCreateShader(GL_VERTEX_SHADER);
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLuint program = glCreateProgram();
  glAttachShader(program, shader);
  glLinkProgram(program);
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  EXPECT_TRUE(linked) << attribute;
  glDeleteShader(shader);
  return program;
}

std::vector<FedVertex> feedBox(const char* attribute) {
  GLuint program = attributeToColourProgram(attribute);
  glUseProgram(program);
  std::vector<GLfloat> buffer(4096);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  drawBox(4.0f, 6.0f);
  GLint count = glRenderMode(GL_RENDER);
  glUseProgram(0);
  glDeleteProgram(program);

  // Quads may come back as polygons of four or as two triangles; keep the
  // distinct vertices in order, mapped back to the box's own coordinates.
  std::vector<FedVertex> vertices;
  GLint i = 0;
  while (i < count) {
    GLint token = static_cast<GLint>(buffer[i++]);
    EXPECT_EQ(token, GL_POLYGON_TOKEN);
    if (token != GL_POLYGON_TOKEN) break;
    GLint n = static_cast<GLint>(buffer[i++]);
    for (GLint k = 0; k < n; ++k, i += 12) {
      const float* f = &buffer[i];
      FedVertex v;
      // Window coordinates of an orthographic view from -3..3 on x and z
      // (after the box's scaling by (2, 1, 3)) back to -1..1.
      v.position[0] = std::round(((f[0] / 640.0f) * 2.0f - 1.0f) * 4.0f / 2.0f);
      v.position[1] = std::round(((f[1] / 360.0f) * 2.0f - 1.0f) * 4.0f);
      v.position[2] = std::round(-((f[2]) * 2.0f - 1.0f) * 4.0f / 3.0f);
      for (int c = 0; c < 3; ++c) v.colour[c] = std::round(f[4 + c] * 2.0f - 1.0f);
      v.texCoord[0] = f[8];
      v.texCoord[1] = f[9];
      vertices.push_back(v);
    }
  }
  return vertices;
}

TEST_F(Prefabs, BoxFacesCarryTheirNormalsTangentsAndTextureCorners) {
  glViewport(0, 0, 640, 360);
  glMatrixMode(GL_PROJECTION);
  glOrtho(-4.0, 4.0, -4.0, 4.0, -4.0, 4.0);
  glMatrixMode(GL_MODELVIEW);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);

  struct Face {
    const char* name;
    float normal[3];
    float tangent[3];
    float corners[4][5];  // s, t -> x, y, z
  };
  const Face faces[] = {
      {"bottom", {0, -1, 0}, {-1, 0, 0},
       {{1, 1, -1, -1, -1}, {0, 1, 1, -1, -1}, {0, 0, 1, -1, 1}, {1, 0, -1, -1, 1}}},
      {"front", {0, 0, 1}, {1, 0, 0},
       {{0, 0, -1, -1, 1}, {1, 0, 1, -1, 1}, {1, 1, 1, 1, 1}, {0, 1, -1, 1, 1}}},
      {"back", {0, 0, -1}, {-1, 0, 0},
       {{1, 0, -1, -1, -1}, {1, 1, -1, 1, -1}, {0, 1, 1, 1, -1}, {0, 0, 1, -1, -1}}},
      {"right", {1, 0, 0}, {0, 0, -1},
       {{1, 0, 1, -1, -1}, {1, 1, 1, 1, -1}, {0, 1, 1, 1, 1}, {0, 0, 1, -1, 1}}},
      {"left", {-1, 0, 0}, {0, 0, 1},
       {{0, 0, -1, -1, -1}, {1, 0, -1, -1, 1}, {1, 1, -1, 1, 1}, {0, 1, -1, 1, -1}}},
      {"top", {0, 1, 0}, {1, 0, 0},
       {{0, 1, -1, 1, -1}, {0, 0, -1, 1, 1}, {1, 0, 1, 1, 1}, {1, 1, 1, 1, -1}}},
  };

  std::vector<FedVertex> normals = feedBox("gl_Normal");
  std::vector<FedVertex> tangents = feedBox("gl_MultiTexCoord1.xyz");
  ASSERT_EQ(normals.size(), tangents.size());
  ASSERT_TRUE(normals.size() == 24 || normals.size() == 36) << normals.size();
  // Every corner of every face must appear with its face's normal, tangent
  // and texture coordinate; faces follow each other in table order.
  size_t perFace = normals.size() / 6;
  for (int f = 0; f < 6; ++f) {
    const Face& face = faces[f];
    for (const auto& corner : face.corners) {
      bool found = false;
      for (size_t k = f * perFace; k < (f + 1) * perFace && !found; ++k) {
        const FedVertex& n = normals[k];
        const FedVertex& t = tangents[k];
        if (n.position[0] != corner[2] || n.position[1] != corner[3] || n.position[2] != corner[4])
          continue;
        found = true;
        EXPECT_EQ(n.texCoord[0], corner[0]) << face.name;
        EXPECT_EQ(n.texCoord[1], corner[1]) << face.name;
        for (int c = 0; c < 3; ++c) {
          EXPECT_EQ(n.colour[c], face.normal[c]) << face.name << " normal " << c;
          EXPECT_EQ(t.colour[c], face.tangent[c]) << face.name << " tangent " << c;
        }
      }
      EXPECT_TRUE(found) << face.name << " corner " << corner[2] << "," << corner[3] << "," << corner[4];
    }
  }
  expectNear(readMatrix(GL_MODELVIEW_MATRIX), Matrix(), 0.0f);
}

TEST_F(Prefabs, BoxIsCompiledOnceIntoOneDisplayList) {
  drawBox(2.0f, 2.0f);
  GLuint next = glGenLists(1);
  drawBox(1.0f, 3.0f, 1.0f, 2.0f, 3.0f);
  GLuint after = glGenLists(1);
  EXPECT_EQ(after, next + 1) << "no list created by the second box";
  glDeleteLists(next, 1);
  glDeleteLists(after, 1);
  EXPECT_TRUE(glIsList(next - 1)) << "the box's list";
}

}  // namespace
