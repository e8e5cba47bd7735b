// The COLLADA reader and the object model's searches, without a window:
// documents come from the data index, textures from a stand-in loader.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cmath>
#include <cstdlib>

#include <memory>
#include <string>
#include <vector>

#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/objects3d/dae_loader.h"
#include "util/objects3d/objects3d.h"
#include "util/texture/texture.h"
#include "data_index.h"

namespace {

using ::testing::ExitedWithCode;

// One triangle as a mesh with 3-float positions and the given extras.
std::string mesh(const std::string& id, const std::string& triangles,
                 const std::string& extraSources = "") {
  return "<geometry id=\"" + id + "\"><mesh>"
         "<source id=\"" + id + "-pos\"><float_array>0 0 0 1 0 0 0 1 0</float_array>"
         "<technique_common><accessor stride=\"3\"/></technique_common></source>" +
         extraSources + "<vertices id=\"" + id + "-vtx\"><input semantic=\"POSITION\" source=\"#" +
         id + "-pos\"/></vertices>" + triangles + "</mesh></geometry>";
}

std::string plainTriangles(const std::string& id, const std::string& material = "") {
  return "<triangles count=\"1\"" + (material.empty() ? "" : " material=\"" + material + "\"") +
         "><input semantic=\"VERTEX\" source=\"#" + id + "-vtx\" offset=\"0\"/><p>0 1 2</p></triangles>";
}

std::string document(const std::string& libraries, const std::string& geometries,
                     const std::string& nodes) {
  return "<?xml version=\"1.0\"?><COLLADA version=\"1.4.1\">" + libraries +
         "<library_geometries>" + geometries + "</library_geometries>"
         "<library_visual_scenes><visual_scene id=\"scene\">" + nodes +
         "</visual_scene></library_visual_scenes></COLLADA>";
}

class Collada : public DataIndexTest {
 protected:

  // Reads the text as data/models/test.dae straight into `object`, as
  // loadCollada does but without the pre-draw.
  void read(const std::string& text, Object3D& object) {
    put("data/models/test.dae", text);
    ColladaScene scene;
    readCollada("data/models/test.dae", scene, *object.root, stubTextures());
    object.cameras = std::move(scene.cameras);  // a copied Camera loses its name
    object.lights = std::move(scene.lights);
    object.materials = std::move(scene.materials);
    object.geometries = std::move(scene.geometries);
  }

  ColladaScene read(const std::string& text) {
    put("data/models/test.dae", text);
    ColladaScene scene;
    readCollada("data/models/test.dae", scene, root_, stubTextures());
    return scene;
  }

  ColladaTextureLoader stubTextures() {
    return [this](const std::string& path) {
      texturePaths_.push_back(path);
      textures_.push_back(std::make_unique<Texture>());
      return textures_.back().get();
    };
  }

  Node root_;
  std::vector<std::string> texturePaths_;
  std::vector<std::unique_ptr<Texture>> textures_;
};

// Death tests run the reader in a child; the text is read there.
void readToDeath(const std::string& text) {
  auto entry = std::make_unique<DataEntry>();
  entry->name = "data/models/bad.dae";
  entry->data.assign(text.begin(), text.end());
  dataIndex.push_back(std::move(entry));
  ColladaScene scene;
  Node root;
  readCollada("data/models/bad.dae", scene, root, [](const std::string&) { return nullptr; });
}

TEST_F(Collada, NamesKeepCaseOnNodesOnlyAndTwoTrianglesMakeTwoGeometries) {
  std::string triangles = plainTriangles("Mesh_A", "Red") + plainTriangles("Mesh_A", "Blue");
  std::string libraries =
      "<library_materials><material id=\"RED\"/><material id=\"blue\"/></library_materials>";
  std::string nodes =
      "<node id=\"RailStraight_001\"><instance_geometry url=\"#MESH_A\"/></node>";
  Object3D object;
  read(document(libraries, mesh("Mesh_A", triangles), nodes), object);

  ASSERT_EQ(object.geometries.size(), 2u);
  EXPECT_EQ(object.geometries[0].name, "mesh_a");
  EXPECT_EQ(object.geometries[1].name, "mesh_a");
  EXPECT_EQ(object.materials[object.geometries[0].materialIndex].name, "red");
  EXPECT_EQ(object.materials[object.geometries[1].materialIndex].name, "blue");
  // Both lists draw from the mesh's one position source.
  const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  EXPECT_EQ(object.geometries[0].positionSource, positions);
  EXPECT_EQ(object.geometries[1].positionSource, positions);
  EXPECT_EQ(object.geometries[1].positionStride, 3u);
  ASSERT_EQ(object.root->children.size(), 1u);
  const Node& node = *object.root->children[0];
  EXPECT_EQ(node.name, "RailStraight_001");
  EXPECT_EQ(node.parent, object.root.get());
  EXPECT_EQ(node.geometryIndices, (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(object.geometries[0].positionIndices, (std::vector<uint32_t>{0, 1, 2}));
}

TEST_F(Collada, BoundSymbolFindsItsMaterialOnTheSecondTryWithMaterialAppended) {
  std::string libraries =
      "<library_materials><material id=\"Paint-material\"/></library_materials>";
  std::string nodes =
      "<node id=\"n\"><instance_geometry url=\"#g\"><bind_material><technique_common>"
      "<instance_material symbol=\"SYM\" target=\"#paint\"/></technique_common></bind_material>"
      "</instance_geometry></node>";
  ColladaScene scene = read(document(libraries, mesh("g", plainTriangles("g", "sym")), nodes));
  EXPECT_EQ(scene.geometries[0].materialSymbol, "paint-material");
  EXPECT_EQ(scene.geometries[0].materialIndex, 1u);
}

TEST_F(Collada, UnboundGeometryUsesTheDummyAndAnUnknownMaterialIsFatal) {
  ColladaScene scene =
      read(document("", mesh("g", plainTriangles("g")), "<node id=\"n\"><instance_geometry url=\"#g\"/></node>"));
  EXPECT_EQ(scene.geometries[0].materialIndex, 0u);
  EXPECT_EQ(scene.materials[0].name, "dummy");
  EXPECT_FLOAT_EQ(scene.materials[0].diffuse[0], 0.6f);

  EXPECT_EXIT(readToDeath(document("", mesh("g", plainTriangles("g", "gone")),
                                   "<node id=\"n\"><instance_geometry url=\"#g\"/></node>")),
              ExitedWithCode(1),
              "Couldn't find material \"gone-material\" entry for object \"g\". Corrupt file\\?");
}

TEST_F(Collada, TwoFloatPositionsKeepTheirStride) {
  std::string geometry =
      "<geometry id=\"flat\"><mesh><source id=\"p\"><float_array>0 0 1 0 0 1</float_array>"
      "<technique_common><accessor stride=\"2\"/></technique_common></source>"
      "<triangles><input semantic=\"VERTEX\" source=\"#P\"/><p>0 1 2</p></triangles></mesh></geometry>";
  ColladaScene scene = read(document("", geometry, ""));
  ASSERT_EQ(scene.geometries.size(), 1u);
  EXPECT_EQ(scene.geometries[0].positionStride, 2u);
  EXPECT_EQ(scene.geometries[0].positionSource.size(), 6u);
}

TEST_F(Collada, NumbersReadAsStrtofAndStrtollReadThemInTheCLocale) {
  // Plain decimals take the fast path; what it leaves (a plus sign, hex,
  // the edge of float's range) reads as strtof reads it. Index pieces in
  // octal and hex too.
  std::string geometry =
      "<geometry id=\"n\"><mesh><source id=\"p\"><float_array>"
      "-1.25 +2.5 0x1p3\n\t1e-3 7 -0 1e-60 3.4028235e38 0.1</float_array>"
      "<technique_common><accessor stride=\"3\"/></technique_common></source>"
      "<triangles><input semantic=\"VERTEX\" source=\"#P\"/><p>2 01 0x0</p></triangles></mesh></geometry>";
  ColladaScene scene = read(document("", geometry, ""));
  ASSERT_EQ(scene.geometries.size(), 1u);
  const std::vector<float>& values = scene.geometries[0].positionSource;
  ASSERT_EQ(values.size(), 9u);
  const char* pieces[] = {"-1.25", "+2.5", "0x1p3", "1e-3", "7", "-0", "1e-60", "3.4028235e38", "0.1"};
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(values[i], std::strtof(pieces[i], nullptr)) << pieces[i];
  EXPECT_EQ(scene.geometries[0].positionIndices, (std::vector<uint32_t>{2, 1, 0}));
}

// A piece that is not wholly a finite number would load as broken geometry.
TEST_F(Collada, APieceOfAFloatArrayThatIsNoFiniteNumberIsFatal) {
  for (const char* piece : {"abc", "nan", "NaN", "inf", "-infinity", "7abc", "1e60", "1.5.2", "0x"}) {
    std::string geometry =
        "<geometry id=\"n\"><mesh><source id=\"p\"><float_array>0 1 2 " + std::string(piece) +
        " 4 5</float_array><technique_common><accessor stride=\"3\"/></technique_common></source>"
        "<triangles><input semantic=\"VERTEX\" source=\"#p\"/><p>0 1 0</p></triangles></mesh>"
        "</geometry>";
    EXPECT_EXIT(readToDeath(document("", geometry, "")), ExitedWithCode(1),
                "Error in file src/util/objects3d/dae_loader.cpp:[0-9]+\n\nSource p holds \"" +
                    std::string(piece) + "\", which is not a number")
        << piece;
  }
}

// What the prefetch worker reads ahead: every <p> and <float_array> list, as
// the reader itself reads them; the reader takes them from there.
TEST_F(Collada, NumberListsReadAheadAreWhatTheReaderReadsAndTakes) {
  const std::string normals =
      "<source id=\"m-nrm\"><float_array>0 0 1 0 0 -1</float_array>"
      "<technique_common><accessor stride=\"3\"/></technique_common></source>";
  const std::string triangles =
      "<triangles count=\"1\"><input semantic=\"VERTEX\" source=\"#m-vtx\" offset=\"0\"/>"
      "<input semantic=\"NORMAL\" source=\"#m-nrm\" offset=\"1\"/><p>0 0 1 1 2 0</p></triangles>"
      "<triangles count=\"1\"><input semantic=\"VERTEX\" source=\"#m-vtx\" offset=\"0\"/><p>2 1 0</p></triangles>";
  TiXmlDocument parsed;
  parsed.Parse(document("", mesh("m", triangles, normals), "").c_str());
  ASSERT_FALSE(parsed.Error());
  ColladaNumbers numbers = readColladaNumbers(parsed);
  EXPECT_EQ(numbers.indices.size(), 2u);
  EXPECT_EQ(numbers.floats.size(), 2u);

  ColladaScene plain, ahead;
  Node plainRoot, aheadRoot;
  readColladaDocument(parsed, plain, plainRoot, stubTextures());
  readColladaDocument(parsed, ahead, aheadRoot, stubTextures(), &numbers);
  ASSERT_EQ(ahead.geometries.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(ahead.geometries[i].positionSource, plain.geometries[i].positionSource);
    EXPECT_EQ(ahead.geometries[i].positionIndices, plain.geometries[i].positionIndices);
    EXPECT_EQ(ahead.geometries[i].normalSource, plain.geometries[i].normalSource);
    EXPECT_EQ(ahead.geometries[i].normalIndices, plain.geometries[i].normalIndices);
  }
  EXPECT_EQ(ahead.geometries[0].normalIndices, (std::vector<uint32_t>{0, 1, 0}));
  EXPECT_TRUE(numbers.indices.empty()) << "each list is taken, not copied";

  // Taken indeed: a list changed after reading ahead is what the scene gets.
  numbers = readColladaNumbers(parsed);
  for (auto& list : numbers.indices)
    if (list.second.size() == 3) list.second = {1, 2, 0};
  ColladaScene changed;
  Node changedRoot;
  readColladaDocument(parsed, changed, changedRoot, stubTextures(), &numbers);
  EXPECT_EQ(changed.geometries[1].positionIndices, (std::vector<uint32_t>{1, 2, 0}));
}

// TinyXML parses recursively: a document nested deeper than the stack
// allows is refused by its depth before it is parsed, with the file named,
// however deep it goes; the reader's own limit on node trees still holds
// below that.
TEST_F(Collada, DocumentsNestedTooDeepAreRefusedBeforeTheyAreParsed) {
  auto nested = [](int levels) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) {
      open += "<node id=\"n" + std::to_string(i) + "\">";
      close += "</node>";
    }
    return document("", "", open + close);
  };
  EXPECT_EXIT(readToDeath(nested(200000)), ExitedWithCode(1),
              "Could not load data/models/bad.dae. Error='Elements nested deeper than 1024 "
              "levels'. Exiting.");
  EXPECT_EXIT(readToDeath(nested(600)), ExitedWithCode(1), "Nodes nested deeper than 512 levels");
  read(nested(500));  // as deep as the reader goes
  EXPECT_EQ(root_.children.size(), 1u);
}

TEST_F(Collada, InterleavedIndicesGoToTheirInputByOffset) {
  std::string normals =
      "<source id=\"g-n\"><float_array>0 0 1 0 0 -1</float_array>"
      "<technique_common><accessor stride=\"3\"/></technique_common></source>"
      "<source id=\"g-uv\"><float_array>0 0 1 0 1 1 0 1</float_array>"
      "<technique_common><accessor stride=\"2\"/></technique_common></source>";
  std::string triangles =
      "<triangles><input semantic=\"VERTEX\" source=\"#g-vtx\" offset=\"0\"/>"
      "<input semantic=\"NORMAL\" source=\"#g-n\" offset=\"1\"/>"
      "<input semantic=\"TEXCOORD\" source=\"#g-uv\" offset=\"2\" set=\"0\"/>"
      // Line breaks and runs of spaces between numbers, and a trailing partial corner.
      "<p>0 1 3\n1  0 2\t2 1 1 0</p></triangles>";
  ColladaScene scene = read(document("", mesh("g", triangles, normals), ""));
  const Geometry& g = scene.geometries[0];
  EXPECT_EQ(g.positionIndices, (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(g.normalIndices, (std::vector<uint32_t>{1, 0, 1}));
  EXPECT_EQ(g.texcoordIndices, (std::vector<uint32_t>{3, 2, 1}));
  EXPECT_EQ(g.normalStride, 3u);
  EXPECT_EQ(g.texcoordStride, 2u);
}

TEST_F(Collada, PolylistMeshesGiveNothing) {
  std::string geometry =
      "<geometry id=\"poly\"><mesh><source id=\"p\"><float_array>0 0 0</float_array>"
      "<technique_common><accessor stride=\"3\"/></technique_common></source>"
      "<polylist count=\"1\"><input semantic=\"VERTEX\" source=\"#p\"/><vcount>3</vcount><p>0 0 0</p>"
      "</polylist></mesh></geometry>";
  Object3D object;
  read(document("", geometry, "<node id=\"n\"><instance_geometry url=\"#poly\"/></node>"), object);
  EXPECT_TRUE(object.geometries.empty());
  EXPECT_TRUE(object.root->children[0]->geometryIndices.empty());
}

TEST_F(Collada, MatrixAfterTranslateDiscardsTheTranslation) {
  std::string nodes =
      "<node id=\"a\"><translate>5 6 7</translate>"
      "<matrix>1 0 0 10 0 1 0 20 0 0 1 30 0 0 0 1</matrix></node>"
      "<node id=\"b\"><matrix>1 0 0 10 0 1 0 20 0 0 1 30 0 0 0 1</matrix>"
      "<translate>1 0 0</translate><rotate>0 0 1 90</rotate><scale>2 2 2</scale></node>";
  read(document("", "", nodes));
  Matrix a;
  a.translate(10, 20, 30);
  EXPECT_EQ(root_.children[0]->matrix, a);
  Matrix b;
  b.translate(10, 20, 30).translate(1, 0, 0).rotate(90, 0, 0, 1).scale(2, 2, 2);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(root_.children[1]->matrix[i], b[i], 1e-5f) << i;
}

TEST_F(Collada, MirroringFollowsTheDeterminantOfEachNodeOwnMatrix) {
  std::string nodes =
      "<node id=\"outer\"><scale>-1 1 1</scale>"
      "<node id=\"inner\"><scale>1 -1 1</scale></node>"
      "<node id=\"plain\"><scale>-1 -1 1</scale></node></node>";
  read(document("", "", nodes));
  const Node& outer = *root_.children[0];
  EXPECT_TRUE(outer.mirrored);
  EXPECT_TRUE(outer.children[0]->mirrored);
  EXPECT_FALSE(outer.children[1]->mirrored);
  EXPECT_FALSE(root_.mirrored);
}

TEST_F(Collada, ObjectWorldMatrixChainsObjectAncestorsAndNodeInOrder) {
  std::string nodes =
      "<node id=\"top\"><rotate>0 0 1 90</rotate>"
      "<node id=\"mid\"><translate>1 0 0</translate>"
      "<node id=\"leaf\"><scale>2 2 2</scale></node></node></node>";
  Object3D object;
  read(document("", "", nodes), object);
  object.matrix.translate(0, 0, -5);
  Matrix world;
  object.getNodeWorldMatrix(world, "leaf");
  // Rotating after translating would put the origin elsewhere: the order matters.
  Matrix expected;
  expected.translate(0, 0, -5).rotate(90, 0, 0, 1).translate(1, 0, 0).scale(2, 2, 2);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(world[i], expected[i], 1e-5f) << i;
  EXPECT_NEAR(world[12], 0.0f, 1e-5f);
  EXPECT_NEAR(world[13], 1.0f, 1e-5f);

  EXPECT_EXIT(object.getNodeWorldMatrix(world, "LEAF"), ExitedWithCode(1),
              "Couldn't find node LEAF!");
}

TEST_F(Collada, NodeFlagsStopAtTheFirstMatchOnEachPath) {
  std::string nodes =
      "<node id=\"wheel\"><node id=\"wheel\"/></node><node id=\"body\"><node id=\"wheel\"/></node>";
  Object3D object;
  read(document("", "", nodes), object);
  object.setNodeEnabled("wheel", false);
  const Node& first = *object.root->children[0];
  const Node& second = *object.root->children[1]->children[0];
  EXPECT_FALSE(first.enabled);
  EXPECT_TRUE(first.children[0]->enabled);  // below a match: not searched
  EXPECT_FALSE(second.enabled);
  EXPECT_TRUE(object.root->children[1]->enabled);

  object.setNodeShowGeometry("Wheel", false);  // case-sensitive: nothing
  EXPECT_TRUE(first.showGeometry);
  object.setSubtreeShowGeometry(false, object.root->children[1].get());
  EXPECT_FALSE(object.root->children[1]->showGeometry);
  EXPECT_FALSE(second.showGeometry);
  EXPECT_TRUE(first.showGeometry);
}

TEST_F(Collada, MaterialSearchesTakeSubstringsGeometrySearchesExactNames) {
  std::string libraries =
      "<library_materials><material id=\"wheel-material\"/><material id=\"FrontWheel\"/>"
      "<material id=\"body\"/></library_materials>";
  std::string geometries = mesh("mesh_a", plainTriangles("mesh_a")) + mesh("mesh", plainTriangles("mesh"));
  Object3D object;
  read(document(libraries, geometries, ""), object);

  object.setMaterialColourOffset("wheel", 0.1f, 0.2f, 0.3f, 0.4f);
  EXPECT_FLOAT_EQ(object.materials[1].colourOffset[2], 0.3f);
  EXPECT_FLOAT_EQ(object.materials[2].colourOffset[3], 0.4f);
  EXPECT_FLOAT_EQ(object.materials[3].colourOffset[0], 0.0f);
  EXPECT_EXIT(object.setMaterialColourOffset("tyre", 0, 0, 0, 0), ExitedWithCode(1),
              "Couldn't find material tyre");

  object.setGeometryVisible("mesh", false);
  EXPECT_TRUE(object.geometries[0].visible);
  EXPECT_FALSE(object.geometries[1].visible);
  object.setAllGeometriesVisible(true);
  EXPECT_TRUE(object.geometries[1].visible);
  EXPECT_EXIT(object.setGeometryVisible("mesh_", false), ExitedWithCode(1), "Can't find mesh_");

  Texture* screen = reinterpret_cast<Texture*>(&object);  // never drawn here
  object.setMaterialTexture("wheel", screen);
  EXPECT_EQ(object.materials[1].texture, screen);
  EXPECT_EQ(object.materials[3].texture, nullptr);
  EXPECT_EXIT(object.setMaterialTexture("screen_001", nullptr), ExitedWithCode(1),
              "Couldn't find material screen_001");
}

const char* kTexturedEffect =
    "<library_images><image id=\"WoodImg\"><init_from>C:\\Textures\\Wood.JPG</init_from></image>"
    "</library_images>"
    "<library_materials><material id=\"wood\"><instance_effect url=\"#wood-fx\"/></material>"
    "</library_materials>"
    "<library_effects><effect id=\"Wood-FX\"><profile_COMMON>"
    "<newparam sid=\"wood-surface\"><surface type=\"2D\"><init_from>woodimg</init_from></surface></newparam>"
    "<newparam sid=\"Wood-Sampler\"><sampler2D><source>WOOD-SURFACE</source></sampler2D></newparam>"
    "<technique sid=\"common\"><phong>"
    "<ambient><color>0.3 0.6 0.2 1</color></ambient>"
    "<diffuse><texture texture=\"wood-sampler\" texcoord=\"uv\"/></diffuse>"
    "</phong></technique></profile_COMMON></effect></library_effects>";

TEST_F(Collada, TexturedDiffuseComesFromTheImageBaseNameBesideTheDocument) {
  std::string uv =
      "<source id=\"g-uv\"><float_array>0 0 1 0 0 1</float_array>"
      "<technique_common><accessor stride=\"2\"/></technique_common></source>";
  std::string triangles =
      "<triangles material=\"wood\"><input semantic=\"VERTEX\" source=\"#g-vtx\" offset=\"0\"/>"
      "<input semantic=\"TEXCOORD\" source=\"#g-uv\" offset=\"0\"/><p>0 1 2</p></triangles>";
  ColladaScene scene = read(document(kTexturedEffect, mesh("g", triangles, uv) +
                                                          mesh("h", plainTriangles("h", "wood")),
                                     "<node id=\"n\"><instance_geometry url=\"#g\"/>"
                                     "<instance_geometry url=\"#h\"/></node>"));
  ASSERT_EQ(texturePaths_, (std::vector<std::string>{"data/models/wood.jpg"}));
  const Material& wood = scene.materials[1];
  EXPECT_EQ(wood.texture, textures_[0].get());
  const float diffuse[4] = {0.6f, 1.0f, 0.4f, 1.0f};  // twice the ambient, at most 1
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(wood.diffuse[i], diffuse[i]) << i;
  // No specular or emission element: white.
  EXPECT_FLOAT_EQ(wood.specular[0], 1.0f);
  EXPECT_FLOAT_EQ(wood.emission[3], 1.0f);
  EXPECT_TRUE(scene.geometries[0].textured);
  EXPECT_FALSE(scene.geometries[1].textured);  // no texture coordinates
}

std::string transparencyEffect(const std::string& transparent, const std::string& value) {
  return "<library_materials><material id=\"m\"><instance_effect url=\"#fx\"/></material>"
         "</library_materials><library_effects><effect id=\"fx\"><profile_COMMON><technique>"
         "<lambert><diffuse><color>0.2 0.4 0.6 0.8</color></diffuse>" +
         transparent + "<transparency><float>" + value +
         "</float></transparency></lambert></technique></profile_COMMON></effect></library_effects>";
}

TEST_F(Collada, TransparencyGivesEveryColourTheSameAlpha) {
  struct Case {
    const char* transparent;
    const char* value;
    float alpha;
  } cases[] = {
      {"<transparent opaque=\"A_ONE\"><color>1 1 1 1</color></transparent>", "0.5", 0.5f},
      {"<transparent><color>1 1 1 1</color></transparent>", "0.25", 0.75f},
      {"<transparent opaque=\"A_ONE\"><color>0 0 0 1</color></transparent>", "1", 0.0f},
      {"<transparent><color>0 0 0 1</color></transparent>", "1", 1.0f},
  };
  for (const Case& c : cases) {
    dataIndex.clear();
    ColladaScene scene = read(document(transparencyEffect(c.transparent, c.value), "", ""));
    const Material& m = scene.materials[1];
    EXPECT_FLOAT_EQ(m.diffuse[0], 0.2f);
    for (const float* colour : {m.emission, m.ambient, m.diffuse, m.specular})
      EXPECT_NEAR(colour[3], c.alpha, 1e-6f) << c.transparent << " " << c.value;
  }
}

TEST_F(Collada, PointLightZeroAttenuationsAreReplacedAndNodesPlaceLightsAndCameras) {
  std::string libraries =
      "<library_cameras><camera id=\"Cam\"><optics><technique_common><perspective>"
      "<yfov>40</yfov><znear>0.5</znear><zfar>300</zfar></perspective></technique_common>"
      "</optics></camera></library_cameras>"
      "<library_lights><light id=\"Lamp\"><technique_common><point><color>1 0.5 0.25</color>"
      "<constant_attenuation>0</constant_attenuation><linear_attenuation>0</linear_attenuation>"
      "</point></technique_common></light>"
      "<light id=\"sun\"><technique_common><directional/></technique_common></light>"
      "</library_lights>";
  std::string nodes =
      "<node id=\"rig\"><translate>0 0 10</translate>"
      "<node id=\"c\"><instance_camera url=\"#cam\"/></node>"
      "<node id=\"l\"><translate>1 2 3</translate><instance_light url=\"#LAMP\"/></node></node>";
  ColladaScene scene = read(document(libraries, "", nodes));
  ASSERT_EQ(scene.lights.size(), 2u);
  const Light& lamp = scene.lights[0];
  EXPECT_FLOAT_EQ(lamp.constantAttenuation, 1.0f);
  EXPECT_FLOAT_EQ(lamp.linearAttenuation, 0.1f);
  EXPECT_FLOAT_EQ(lamp.quadraticAttenuation, 0.0f);  // absent: kept
  EXPECT_FLOAT_EQ(lamp.diffuse[1], 0.5f);
  EXPECT_FLOAT_EQ(lamp.specular[3], 1.0f);
  EXPECT_FLOAT_EQ(lamp.position[0], 1.0f);
  EXPECT_FLOAT_EQ(lamp.position[2], 13.0f);
  EXPECT_FLOAT_EQ(lamp.position[3], 1.0f);
  EXPECT_EQ(scene.lights[1].type, Light::kDirectional);

  const Camera& camera = scene.cameras[0];
  EXPECT_EQ(camera.name, "cam");
  EXPECT_FLOAT_EQ(camera.yfov, 40.0f);
  EXPECT_FLOAT_EQ(camera.xfov, -1.0f);
  EXPECT_FLOAT_EQ(camera.zfar, 300.0f);
  // World to eye: the camera at z = 10 sees the origin 10 units ahead.
  EXPECT_FLOAT_EQ(camera.view[14], -10.0f);
  EXPECT_FLOAT_EQ(camera.view[3], 0.0f);
}

TEST_F(Collada, LoadDispatchesOnTheExtension) {
  Object3D object;
  EXPECT_FALSE(object.load("data/models/train.obj"));
  EXPECT_FALSE(object.load("dae"));
  // Any case of ".ase" goes to the ASE reader, which opens plain files only.
  EXPECT_EXIT(object.load("data/models/train.ASE"), ExitedWithCode(1),
              "Failed to open file data/models/train.ASE");
}

TEST_F(Collada, BrokenDocumentsStopWithTheirMessage) {
  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {"<COLLADA>", "Could not load data/models/bad.dae. Error='"},
      {"<collada/>", "node is NULL"},
      {"<COLLADA><library_visual_scenes/></COLLADA>", "node_geometries is NULL"},
      {"<COLLADA><library_geometries/></COLLADA>", "node_visual_scenes is NULL"},
      {"<COLLADA><library_geometries/><library_visual_scenes/></COLLADA>",
       "scene_element is NULL"},
      {document("<library_cameras><camera id=\"C\"/></library_cameras>", "", ""),
       "No camera perspective info found for camera c"},
      {document("<library_lights><light id=\"S\"><technique_common><spot/></technique_common>"
                "</light></library_lights>", "", ""),
       "Unrecognized light type s"},
      {document("<library_effects><effect id=\"fx\"><profile_COMMON/></effect></library_effects>",
                "", ""),
       "element is NULL"},
      {document("<library_effects><effect id=\"fx\"><profile_COMMON><technique><phong/>"
                "</technique></profile_COMMON></effect></library_effects>", "", ""),
       "Couldn't find material fx match for fx!"},
      {document("<library_materials><material id=\"m\"><instance_effect url=\"#fx\"/></material>"
                "</library_materials><library_effects><effect id=\"fx\"><profile_COMMON>"
                "<technique><phong><diffuse><param ref=\"x\"/></diffuse></phong></technique>"
                "</profile_COMMON></effect></library_effects>", "", ""),
       "Couldn't find either color or texture for this material, child is param"},
      {document("<library_materials><material id=\"m\"><instance_effect url=\"#fx\"/></material>"
                "</library_materials><library_effects><effect id=\"fx\"><profile_COMMON>"
                "<technique><phong><diffuse><texture texture=\"s\"/></diffuse></phong></technique>"
                "</profile_COMMON></effect></library_effects>", "", ""),
       "Couldn't find match for texture sampler s"},
      {document("", mesh("g", "<triangles><input semantic=\"COLOR\" source=\"#x\"/><p>0</p></triangles>"), ""),
       "Unimplemented input type COLOR"},
      {document("", mesh("g", "<triangles><input semantic=\"VERTEX\" source=\"#g-vtx\"/></triangles>"), ""),
       "ind_el is NULL"},
      {document("", "", "<node id=\"n\"><instance_camera url=\"#none\"/></node>"),
       "Couldn't find matching camera for none. Corrupt file\\?"},
      {document("", "", "<node id=\"n\"><instance_light url=\"#none\"/></node>"),
       "Couldn't find matching light for none. Corrupt file\\?"},
  };
  for (const Case& c : cases)
    EXPECT_EXIT(readToDeath(c.text), ExitedWithCode(1), c.message) << c.text;
}

// Faults that would otherwise read outside the source arrays when drawing.
TEST_F(Collada, IndicesAndStridesThatDoNotFitTheirArraysAreFatal) {
  std::string badStride =
      "<geometry id=\"g\"><mesh><source id=\"p\"><float_array>0 0 0 1 0 0 0 1</float_array>"
      "<technique_common><accessor stride=\"3\"/></technique_common></source>"
      "<triangles><input semantic=\"VERTEX\" source=\"#p\"/><p>0 1 2</p></triangles></mesh></geometry>";
  EXPECT_EXIT(readToDeath(document("", badStride, "")), ExitedWithCode(1),
              "Source p holds 8 numbers, not a whole number of groups of 3");

  std::string strideFour =
      "<geometry id=\"g\"><mesh><source id=\"p\"><float_array>0 0 0 1</float_array>"
      "<technique_common><accessor stride=\"4\"/></technique_common></source>"
      "<triangles><input semantic=\"VERTEX\" source=\"#p\"/><p>0 0 0</p></triangles></mesh></geometry>";
  EXPECT_EXIT(readToDeath(document("", strideFour, "")), ExitedWithCode(1),
              "Invalid source stride 4");

  EXPECT_EXIT(readToDeath(document("", mesh("g", "<triangles><input semantic=\"VERTEX\" "
                                                 "source=\"#g-vtx\"/><p>0 1 3</p></triangles>"), "")),
              ExitedWithCode(1),
              "Index 3 in <p> of geometry g is outside its position source g-vtx of 3 entries");
  EXPECT_EXIT(readToDeath(document("", mesh("g", "<triangles><input semantic=\"VERTEX\" "
                                                 "source=\"#g-vtx\"/><p>0 -1 2</p></triangles>"), "")),
              ExitedWithCode(1), "Index -1 in <p> of geometry g");

  std::string normals2 =
      "<source id=\"n\"><float_array>0 1 0 1</float_array>"
      "<technique_common><accessor stride=\"2\"/></technique_common></source>";
  EXPECT_EXIT(readToDeath(document("", mesh("g", "<triangles><input semantic=\"VERTEX\" "
                                                 "source=\"#g-vtx\"/><input semantic=\"NORMAL\" "
                                                 "source=\"#n\"/><p>0 1 2</p></triangles>",
                                            normals2), "")),
              ExitedWithCode(1), "Normal source n has stride 2; normals need 3");
  EXPECT_EXIT(readToDeath(document("", mesh("g", "<triangles><input semantic=\"VERTEX\" "
                                                 "source=\"#g-vtx\"/><input semantic=\"NORMAL\" "
                                                 "source=\"#missing\" offset=\"1\"/>"
                                                 "<p>0 0 1 0 2 0</p></triangles>"), "")),
              ExitedWithCode(1), "Couldn't find the normal source missing of geometry g");
  EXPECT_EXIT(readToDeath(document("", mesh("g", "<triangles><input semantic=\"NORMAL\" "
                                                 "source=\"#g-pos\"/><p>0 1 2</p></triangles>"), "")),
              ExitedWithCode(1), "Triangles of geometry g have no VERTEX input");
}

}  // namespace
