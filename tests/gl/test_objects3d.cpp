// Object3D drawn: buffers built while loading, the switches that hide
// geometries and subtrees, and front faces under mirroring transforms,
// checked on the picture with back faces culled.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/lights/light.h"
#include "util/objects3d/objects3d.h"
#include "util/shaderprogram/shaderprogram.h"
#include "util/texture/texture.h"

namespace {

// A counter-clockwise full-screen quad with 2-float positions, placed under
// several node chains that the tests switch on one at a time.
const char* kModel =
    "<?xml version=\"1.0\"?><COLLADA version=\"1.4.1\"><library_geometries>"
    "<geometry id=\"Quad\"><mesh><source id=\"q\"><float_array>-1 -1 1 -1 1 1 -1 1</float_array>"
    "<technique_common><accessor stride=\"2\"/></technique_common></source>"
    "<triangles count=\"2\"><input semantic=\"VERTEX\" source=\"#q\" offset=\"0\"/>"
    "<p>0 1 2 0 2 3</p></triangles></mesh></geometry></library_geometries>"
    "<library_visual_scenes><visual_scene id=\"s\">"
    "<node id=\"parent\"><instance_geometry url=\"#quad\"/>"
    "<node id=\"child\"><instance_geometry url=\"#quad\"/></node></node>"
    "<node id=\"once\"><scale>-1 1 1</scale><instance_geometry url=\"#quad\"/></node>"
    "<node id=\"twice\"><scale>-1 1 1</scale>"
    "<node id=\"inner\"><scale>1 -1 1</scale><instance_geometry url=\"#quad\"/></node></node>"
    "</visual_scene></library_visual_scenes></COLLADA>";

class Objects3D : public ::testing::Test {
 protected:
  void SetUp() override {
    setMessageBoxesEnabled(false);
    dataIndex.clear();
    dataMode = kDataReading;
    auto entry = std::make_unique<DataEntry>();
    entry->name = "data/models/quad.DAE";
    entry->data.assign(kModel, kModel + std::strlen(kModel));
    dataIndex.push_back(std::move(entry));

    glViewport(0, 0, 640, 360);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    ASSERT_TRUE(object_.load("data/models/quad.DAE"));
  }
  void TearDown() override {
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    dataIndex.clear();
    dataMode = kDataPlain;
  }

  // Draws the whole object on black and reads the centre's red.
  int drawnRed() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    object_.drawNode(object_.root.get(), object_.root->mirrored);
    uint8_t rgba[4] = {};
    glReadPixels(320, 180, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return rgba[0];
  }

  void only(const char* name) {
    for (const char* node : {"parent", "once", "twice"})
      object_.setNodeEnabled(node, std::strcmp(node, name) == 0);
  }

  Object3D object_;
};

TEST_F(Objects3D, UpperCaseExtensionLoadsAndBuildsTheBuffersWhileLoading) {
  ASSERT_EQ(object_.geometries.size(), 1u);
  const Geometry& quad = object_.geometries[0];
  EXPECT_NE(quad.vertexBuffer, 0u);
  EXPECT_NE(quad.indexBuffer, 0u);
  // The two triangles share two corners: four vertices.
  EXPECT_EQ(quad.vertexBytes, 4u * 2u * 4u);
  EXPECT_EQ(quad.normalBytes, 0u);
  EXPECT_EQ(quad.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
  // Without normals and texture coordinates the buffer holds positions only.
  GLint size = 0;
  glBindBuffer(GL_ARRAY_BUFFER, quad.vertexBuffer);
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  EXPECT_EQ(size, 32);
}

// Every corner's vertex carries that corner's position and normal, also
// where one position has more normals than a search looks through.
TEST(GeometryBuffers, EveryCornerKeepsItsOwnDataWhereAPositionHasManyNormals) {
  Geometry g;
  g.positionStride = 3;
  g.normalStride = 3;
  for (uint32_t i = 0; i < 100; ++i) {
    g.positionSource.insert(g.positionSource.end(), {static_cast<float>(i), 0, 0});
    g.normalSource.insert(g.normalSource.end(), {0, 0, static_cast<float>(i)});
  }
  // Position 0 with each of the hundred normals, twice over, in a scattered order.
  for (uint32_t k = 0; k < 300; ++k) {
    g.positionIndices.push_back(k % 3 == 0 ? 0 : k % 100);
    g.normalIndices.push_back((k * 37) % 100);
  }
  ASSERT_TRUE(g.createVBOs());
  ASSERT_EQ(g.indices.size(), 300u);
  for (size_t i = 0; i < 300; ++i) {
    const uint32_t v = g.indices[i];
    ASSERT_LT(3 * v + 2, g.vertices.size());
    EXPECT_EQ(g.vertices[3 * v], static_cast<float>(g.positionIndices[i])) << i;
    EXPECT_EQ(g.normals[3 * v + 2], static_cast<float>(g.normalIndices[i])) << i;
  }
  EXPECT_LT(g.vertices.size(), 3u * 300u);  // repeated corners still share
  glDeleteBuffers(1, &g.vertexBuffer);
  glDeleteBuffers(1, &g.indexBuffer);
}

TEST(GeometryBuffers, CornersShareAVertexOnlyWhenAllTheirIndicesAgree) {
  // A triangle pair around one position: its corners agree on the position
  // but two of them differ in the normal and one in the texture coordinate.
  Geometry g;
  g.positionStride = 3;
  g.positionSource = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  g.positionIndices = {0, 1, 2, 0, 2, 3, 0, 0};
  g.normalStride = 3;
  g.normalSource = {0, 0, 1, 0, 1, 0};
  g.normalIndices = {0, 0, 0, 1, 0, 0, 0, 1};
  g.texcoordStride = 2;
  g.texcoordSource = {0, 0, 1, 1};
  g.texcoordIndices = {0, 0, 0, 0, 0, 0, 1, 0};
  ASSERT_TRUE(g.createVBOs());
  // Vertices in the order of their first corner: (0, n0, t0), 1, 2,
  // (0, n1, t0), 3, (0, n0, t1); the last corner repeats the fourth vertex.
  EXPECT_EQ(g.indices, (std::vector<uint32_t>{0, 1, 2, 3, 2, 4, 5, 3}));
  EXPECT_EQ(g.vertices, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(g.normals, (std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 0, 1, 0, 0, 1}));
  EXPECT_EQ(g.texcoords, (std::vector<float>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
  EXPECT_EQ(g.vertexBytes, 72u);
  EXPECT_EQ(g.normalBytes, 72u);
  EXPECT_EQ(g.texcoordBytes, 48u);
  EXPECT_EQ(g.indexBytes, 32u);

  // The buffer holds the three blocks back to back, the index buffer the list.
  std::vector<float> stored(48), expected = g.vertices;
  expected.insert(expected.end(), g.normals.begin(), g.normals.end());
  expected.insert(expected.end(), g.texcoords.begin(), g.texcoords.end());
  glBindBuffer(GL_ARRAY_BUFFER, g.vertexBuffer);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, 48 * 4, stored.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  EXPECT_EQ(stored, expected);
  std::vector<uint32_t> storedIndices(8);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.indexBuffer);
  glGetBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, 8 * 4, storedIndices.data());
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  EXPECT_EQ(storedIndices, g.indices);
  glDeleteBuffers(1, &g.vertexBuffer);
  glDeleteBuffers(1, &g.indexBuffer);

  // Built again, the arrays are the same, not appended to.
  ASSERT_TRUE(g.createVBOs());
  EXPECT_EQ(g.indices.size(), 8u);
  EXPECT_EQ(g.vertices.size(), 18u);
  glDeleteBuffers(1, &g.vertexBuffer);
  glDeleteBuffers(1, &g.indexBuffer);
}

TEST_F(Objects3D, TwoFloatPositionsDrawAndLeaveNoArrayStateBehind) {
  only("parent");
  EXPECT_EQ(drawnRed(), 255);
  GLint value = 0;
  glGetIntegerv(GL_VERTEX_ARRAY_SIZE, &value);
  EXPECT_EQ(value, 2);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &value);
  EXPECT_EQ(value, 0);
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &value);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Objects3D, VisibilityShowGeometryAndEnabledHideWhatTheySay) {
  only("parent");
  // Only the parent's own geometry goes: the child still covers the screen.
  object_.setNodeShowGeometry("parent", false);
  EXPECT_EQ(drawnRed(), 255);
  object_.setSubtreeShowGeometry(false);
  EXPECT_EQ(drawnRed(), 0);
  object_.setSubtreeShowGeometry(true);
  // A disabled node hides its whole subtree.
  object_.setNodeEnabled("parent", false);
  EXPECT_EQ(drawnRed(), 0);
  object_.setNodeEnabled("parent", true);
  object_.setGeometryVisible("quad", false);
  EXPECT_EQ(drawnRed(), 0);
  object_.setAllGeometriesVisible(true);
  EXPECT_EQ(drawnRed(), 255);
}

// Masks made from names show what the flags would, several ways in a row,
// and drawing with them leaves every flag of the model as it was.
TEST_F(Objects3D, PartMasksShowWhatTheySayAndLeaveTheModelAlone) {
  PartMask parentOnly(object_);
  parentOnly.enable("once", false).enable("twice", false);
  PartMask childOnly(parentOnly);
  childOnly.showNodeGeometry("parent", false);
  PartMask nothing(parentOnly);
  nothing.showAllNodeGeometry(false);
  PartMask hidden(parentOnly);
  hidden.enable("parent", false);
  PartMask noQuad(parentOnly);
  noQuad.showGeometry("quad", false);
  PartMask quadAgain(noQuad);
  quadAgain.showAllGeometries(true);
  auto drawnRedWith = [](const Object3D& object, const PartMask& shown) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const_cast<Object3D&>(object).draw(shown);
    uint8_t rgba[4] = {};
    glReadPixels(320, 180, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return static_cast<int>(rgba[0]);
  };
  EXPECT_EQ(drawnRedWith(object_, parentOnly), 255);
  EXPECT_EQ(drawnRedWith(object_, childOnly), 255) << "the child still covers the screen";
  EXPECT_EQ(drawnRedWith(object_, nothing), 0);
  EXPECT_EQ(drawnRedWith(object_, hidden), 0) << "a disabled node hides its subtree";
  EXPECT_EQ(drawnRedWith(object_, noQuad), 0);
  EXPECT_EQ(drawnRedWith(object_, quadAgain), 255);

  float min[3], max[3];
  EXPECT_FALSE(object_.shownBounds(nothing, min, max));
  ASSERT_TRUE(object_.shownBounds(childOnly, min, max));
  EXPECT_FLOAT_EQ(min[0], -1);

  std::vector<const Node*> nodes = {object_.root.get()};
  std::vector<bool> numbered(object_.nodeCount(), false);
  for (size_t i = 0; i < nodes.size(); ++i) {
    EXPECT_TRUE(nodes[i]->enabled && nodes[i]->showGeometry) << nodes[i]->name;
    ASSERT_LT(nodes[i]->index, object_.nodeCount());
    EXPECT_FALSE(numbered[nodes[i]->index]) << "one number a node";
    numbered[nodes[i]->index] = true;
    for (const auto& child : nodes[i]->children) nodes.push_back(child.get());
  }
  EXPECT_EQ(nodes.size(), object_.nodeCount());
  EXPECT_TRUE(object_.geometries[0].visible);
  // What the model's own flags hide stays hidden under any mask.
  only("once");
  EXPECT_EQ(drawnRed(), 255);
  EXPECT_EQ(drawnRedWith(object_, parentOnly), 0);
}

TEST_F(Objects3D, APartMaskNamingWhatIsNotThereIsFatal) {
  // A forked child of a process with the renderer's threads can hang: the
  // death runs in a fresh process.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(PartMask(object_).enable("parnet", false), ::testing::ExitedWithCode(1),
              "Couldn't find node parnet");
  EXPECT_EXIT(PartMask(object_).showGeometry("quad_", true), ::testing::ExitedWithCode(1),
              "Can't find quad_");
}

TEST_F(Objects3D, ShownBoundsFollowTheFlagsAndTheObjectsPlacement) {
  float min[3], max[3];
  object_.matrix = Matrix().translate(5, 0, 0).scale(2, 1, 1);
  only("parent");
  ASSERT_TRUE(object_.shownBounds(min, max));
  EXPECT_FLOAT_EQ(min[0], 3);
  EXPECT_FLOAT_EQ(max[0], 7);
  EXPECT_FLOAT_EQ(min[1], -1);
  EXPECT_FLOAT_EQ(max[2], 0) << "two-float positions lie at z = 0";
  object_.setSubtreeShowGeometry(false);
  EXPECT_FALSE(object_.shownBounds(min, max)) << "nothing would be drawn";
  object_.setSubtreeShowGeometry(true);
  object_.setGeometryVisible("quad", false);
  EXPECT_FALSE(object_.shownBounds(min, max));
  object_.setAllGeometriesVisible(true);
}

TEST_F(Objects3D, MirroredNodesFlipFrontFacesAndMirrorsUnderMirrorsFlipBack) {
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  only("once");
  EXPECT_EQ(drawnRed(), 255);
  only("twice");
  EXPECT_EQ(drawnRed(), 255);
  GLint face = 0;
  object_.drawNode(object_.root->children[2]->children[0].get(), true);
  glGetIntegerv(GL_FRONT_FACE, &face);
  EXPECT_EQ(face, GL_CCW);
  object_.drawNode(object_.root->children[1].get(), false);
  glGetIntegerv(GL_FRONT_FACE, &face);
  EXPECT_EQ(face, GL_CW);
}

TEST_F(Objects3D, MaterialColourOffsetTintsTheLitColour) {
  only("parent");
  object_.setNodeShowGeometry("parent", false);
  glEnable(GL_LIGHTING);
  glDisable(GL_LIGHT0);
  // The dummy material's emission is 0.1 grey; the offset adds to it.
  object_.setMaterialColourOffset("dummy", 0.5f, 0.0f, 0.0f, 0.0f);
  int red = drawnRed();
  glDisable(GL_LIGHTING);
  // 0.1 emission + 0.1 ambient x 0.2 global ambient, plus 0.5 offset on both.
  EXPECT_NEAR(red, (0.6 + 0.6 * 0.2) * 255, 3);
}


TEST_F(Objects3D, ProgramsGoByMaterialThenByTextureAndUnlitMaterialsTakeTheFixedPipeline) {
  ShaderProgram plain(nullptr, nullptr), textured(nullptr, nullptr), own(nullptr, nullptr);
  object_.plainShader = &plain;
  object_.texturedShader = &textured;
  Material& material = object_.materials[object_.geometries[0].materialIndex];
  EXPECT_FALSE(material.unlit());  // the dummy material is lit
  glEnable(GL_LIGHTING);
  EXPECT_EQ(object_.shaderFor(0), &plain);
  for (float* colour : {material.ambient, material.diffuse, material.specular})
    for (int c = 0; c < 3; ++c) colour[c] = 0.0f;
  EXPECT_TRUE(material.unlit());
  EXPECT_EQ(object_.shaderFor(0), nullptr);
  // A scene's tint lights it again; without lighting the model's program draws.
  material.setColourOffset(0.2f, 0.0f, 0.0f, 0.0f);
  EXPECT_FALSE(material.unlit());
  EXPECT_EQ(object_.shaderFor(0), &plain);
  material.setColourOffset(0.0f, 0.0f, 0.0f, 0.0f);
  glDisable(GL_LIGHTING);
  EXPECT_EQ(object_.shaderFor(0), &plain);
  material.program = &own;
  EXPECT_EQ(object_.shaderFor(0), &own);
  glEnable(GL_LIGHTING);
  EXPECT_EQ(object_.shaderFor(0), &own);
  glDisable(GL_LIGHTING);
  material.program = nullptr;
  Texture picture;
  object_.geometries[0].textured = true;
  material.texture = &picture;
  EXPECT_EQ(object_.shaderFor(0), &textured);
  material.texture = nullptr;
  object_.plainShader = object_.texturedShader = nullptr;
}

TEST_F(Objects3D, TheLightNearestTheEyeIsBoundFirstAndTheOthersFollowInOrder) {
  auto lightAt = [](float x, float y, float z, float w) {
    Light light;
    light.position[0] = x;
    light.position[1] = y;
    light.position[2] = z;
    light.position[3] = w;
    return light;
  };
  // Under the object's matrix (moved 5 along z), the third is nearest the
  // eye; a direction is never nearest, however its vector reads.
  object_.lights = {lightAt(0, 0, 10, 1), lightAt(0, 0, 0.1f, 0), lightAt(1, 0, -5, 1), lightAt(9, 0, 0, 1)};
  object_.matrix = Matrix::identity();
  object_.matrix.translate(0, 0, 5);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  object_.bindLightsNearestFirst();
  const float expected[4][4] = {{1, 0, 0, 1}, {0, 0, 15, 1}, {0, 0, 0.1f, 0}, {9, 0, 5, 1}};
  for (int slot = 0; slot < 4; ++slot) {
    GLfloat position[4] = {};
    glGetLightfv(GL_LIGHT0 + slot, GL_POSITION, position);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0 + slot)) << slot;
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(position[k], expected[slot][k], 1e-5f) << slot << ", " << k;
  }
  EXPECT_FALSE(glIsEnabled(GL_LIGHT4));
  object_.bindLights();
  GLfloat first[4] = {};
  glGetLightfv(GL_LIGHT0, GL_POSITION, first);
  EXPECT_NEAR(first[2], 15, 1e-5f) << "bindLights keeps their order";
  for (int slot = 0; slot < 8; ++slot) glDisable(GL_LIGHT0 + slot);
  object_.lights.clear();
  object_.matrix = Matrix::identity();
}

// Tetrahedra: one turned outward, one inside out, one with a face missing;
// all around the eye's line of sight, in front of it.
const char* kSolids =
    "<?xml version=\"1.0\"?><COLLADA version=\"1.4.1\"><library_geometries>"
    "<geometry id=\"out\"><mesh><source id=\"p\"><float_array>"
    "0 0 1  -1 -1 -1  1 -1 -1  0 1 -1</float_array>"
    "<technique_common><accessor stride=\"3\"/></technique_common></source>"
    "<triangles><input semantic=\"VERTEX\" source=\"#P\"/><p>1 3 2 0 1 2 0 2 3 0 3 1</p></triangles>"
    "</mesh></geometry>"
    "<geometry id=\"in\"><mesh><source id=\"q\"><float_array>"
    "0 0 1  -1 -1 -1  1 -1 -1  0 1 -1</float_array>"
    "<technique_common><accessor stride=\"3\"/></technique_common></source>"
    "<triangles><input semantic=\"VERTEX\" source=\"#Q\"/><p>1 2 3 0 2 1 0 3 2 0 1 3</p></triangles>"
    "</mesh></geometry>"
    "<geometry id=\"open\"><mesh><source id=\"r\"><float_array>"
    "0 0 1  -1 -1 -1  1 -1 -1  0 1 -1  0 0 1</float_array>"
    "<technique_common><accessor stride=\"3\"/></technique_common></source>"
    "<triangles><input semantic=\"VERTEX\" source=\"#R\"/><p>0 1 2 4 2 3 0 3 1</p></triangles>"
    "</mesh></geometry></library_geometries>"
    "<library_visual_scenes><visual_scene id=\"s\">"
    "<node id=\"a\"><instance_geometry url=\"#out\"/></node>"
    "<node id=\"b\"><instance_geometry url=\"#in\"/></node>"
    "<node id=\"c\"><instance_geometry url=\"#open\"/></node>"
    "</visual_scene></library_visual_scenes></COLLADA>";

TEST_F(Objects3D, OnlyClosedOutwardSurfacesCountAsClosedAndOpenOnesStayTwoSided) {
  auto entry = std::make_unique<DataEntry>();
  entry->name = "data/models/solids.dae";
  entry->data.assign(kSolids, kSolids + std::strlen(kSolids));
  dataIndex.push_back(std::move(entry));
  Object3D solids;
  ASSERT_TRUE(solids.load("data/models/solids.dae"));
  ASSERT_EQ(solids.geometries.size(), 3u);

  // The open one seen through its missing face: with culling on, only
  // two-sided drawing shows the inside.
  auto centreRed = [&](const char* node) {
    for (const char* name : {"a", "b", "c"}) solids.setNodeEnabled(name, std::strcmp(name, node) == 0);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(180.0f, 0, 1, 0);  // look at the tetrahedra from their back, the base's side
    glColor3f(1, 1, 1);
    solids.drawNode(solids.root.get(), solids.root->mirrored);
    uint8_t rgba[4] = {};
    glReadPixels(320, 170, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return rgba[0];
  };
  glEnable(GL_CULL_FACE);
  EXPECT_GT(centreRed("a"), 0) << "the closed one's near face";
  EXPECT_EQ(centreRed("c"), 0) << "culled: the inside of the open one is gone";
  solids.drawOpenGeometryTwoSided();
  EXPECT_TRUE(solids.geometries[0].closed) << "every edge twice, in opposite directions, outward";
  EXPECT_FALSE(solids.geometries[1].closed) << "inside out";
  EXPECT_FALSE(solids.geometries[2].closed) << "a face missing (a repeated position still joins)";
  EXPECT_GT(centreRed("c"), 0) << "two-sided: its inside shows";
  EXPECT_GT(centreRed("a"), 0);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE)) << "culling is back on after each open geometry";
  glDisable(GL_CULL_FACE);
}

}  // namespace

namespace {

TEST_F(Objects3D, AGeometryWhoseTextureASceneTookAwayDrawsUntextured) {
  // A screen material loses its picture when the scene has none to give.
  only("parent");
  for (Geometry& geometry : object_.geometries) geometry.textured = true;
  for (Material& material : object_.materials) material.texture = nullptr;
  EXPECT_FALSE(object_.drawnTextured(0));
  EXPECT_EQ(drawnRed(), 255);
  GLboolean texturing = GL_TRUE;
  glGetBooleanv(GL_TEXTURE_2D, &texturing);
  EXPECT_FALSE(texturing);
}

}  // namespace
