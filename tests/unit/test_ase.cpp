// The ASE reader without a window: texts inline, textures from a stand-in
// loader that records the paths it was asked for.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/messagebox.h"
#include "tempfiles.h"
#include "util/error.h"
#include "util/objects3d/ase_loader.h"
#include "util/objects3d/objects3d.h"

namespace {

using ::testing::ExitedWithCode;

std::string material(int id, const std::string& body) {
  return "\t*MATERIAL " + std::to_string(id) + " {\n\t\t*MATERIAL_NAME \"m" + std::to_string(id) +
         "\"\n" + body + "\t}\n";
}

std::string diffuse(const char* rgb) { return "\t\t*MATERIAL_DIFFUSE " + std::string(rgb) + "\n"; }

std::string bitmap(const std::string& name) {
  return "\t\t*MAP_DIFFUSE {\n\t\t\t*BITMAP \"" + name + "\"\n\t\t}\n";
}

// One quad of two faces as 3ds Max writes it, with the given extras.
std::string object(const std::string& name, int materialRef, const std::string& textures = "",
                   const std::string& normals = "") {
  return "*GEOMOBJECT {\n\t*NODE_NAME \"" + name +
         "\"\n\t*MESH {\n"
         "\t\t*MESH_NUMVERTEX 4\n"
         "\t\t*MESH_VERTEX_LIST {\n"
         "\t\t\t*MESH_VERTEX    0\t0.0000\t0.0000\t0.0000\n"
         "\t\t\t*MESH_VERTEX    1\t1.0000\t0.0000\t0.0000\n"
         "\t\t\t*MESH_VERTEX    2\t1.0000\t1.0000\t0.0000\n"
         "\t\t\t*MESH_VERTEX    3\t0.0000\t1.0000\t-2.5000\n"
         "\t\t}\n"
         "\t\t*MESH_FACE_LIST {\n"
         "\t\t\t*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 BC:    1 CA:    0\t "
         "*MESH_SMOOTHING 1 \t*MESH_MTLID 0\n"
         "\t\t\t*MESH_FACE    1:    A:    0 B:    2 C:    3 AB:    1 BC:    1 CA:    0\t "
         "*MESH_SMOOTHING 1 \t*MESH_MTLID 0\n"
         "\t\t}\n" +
         textures +
         (normals.empty() ? "\t\t*MESH_NORMALS {\n"
                            "\t\t\t*MESH_FACENORMAL 0\t0.0000\t0.0000\t1.0000\n"
                            "\t\t\t\t*MESH_VERTEXNORMAL 0\t0.0000\t0.0000\t1.0000\n"
                            "\t\t\t*MESH_FACENORMAL 1\t0.0000\t0.1000\t0.9000\n"
                            "\t\t}\n"
                          : normals) +
         "\t}\n\t*MATERIAL_REF " + std::to_string(materialRef) + "\n}\n";
}

const std::string kTextures =
    "\t\t*MESH_NUMTVERTEX 3\n"
    "\t\t*MESH_TVERTLIST {\n"
    "\t\t\t*MESH_TVERT 0\t0.0000\t0.0000\t0.0000\n"
    "\t\t\t*MESH_TVERT 1\t1.0000\t0.0000\t0.0000\n"
    "\t\t\t*MESH_TVERT 2\t0.5000\t1.0000\t0.0000\n"
    "\t\t}\n"
    "\t\t*MESH_TFACELIST {\n"
    "\t\t\t*MESH_TFACE 0\t0\t1\t2\n"
    "\t\t\t*MESH_TFACE 1\t2\t1\t0\n"
    "\t\t}\n";

std::string file(const std::string& materials, const std::string& objects) {
  return "*3DSMAX_ASCIIEXPORT\t200\n*SCENE {\n\t*SCENE_FILENAME \"test.max\"\n}\n"
         "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 2\n" +
         materials + "}\n" + objects;
}

class Ase : public ::testing::Test {
 protected:
  void SetUp() override { setMessageBoxesEnabled(false); }

  // Reads with failures thrown here; what stopped the reader lands in `error`.
  bool read(const std::string& text) {
    model = AseModel();
    error = Stopped();
    FailuresThrown thrown;
    try {
      const bool ok = readAseText(text.data(), text.size(), model, loader);
      const std::vector<FailureNote> notes = takeFailureNotes();
      if (!ok) {
        EXPECT_EQ(notes.size(), 2u) << "the problem, then the step";
        EXPECT_EQ(notes.front().caption, "Error");
        EXPECT_EQ(notes.back().caption, "Error.");
        error = {true, false, notes.front().text, notes.back().text};
      }
      return ok;
    } catch (const Failure& failure) {
      EXPECT_TRUE(takeFailureNotes().empty());
      const size_t detail = failure.text.find("\n\n");
      error = {true, true, failure.text.substr(detail == std::string::npos ? 0 : detail + 2), ""};
      return false;
    }
  }

  // Reads text that must stop the program; returns the message.
  std::string fatalMessage(const std::string& text) {
    EXPECT_FALSE(read(text));
    EXPECT_TRUE(error);
    EXPECT_TRUE(error.fatal);
    return error.message;
  }

  Texture* fakeTexture(size_t i) { return reinterpret_cast<Texture*>(&stand_ins[i]); }

  char stand_ins[8] = {};
  std::vector<std::string> paths;
  AseTextureLoader loader = [this](const std::string& path) {
    paths.push_back(path);
    return fakeTexture(paths.size() - 1);
  };
  // What stopped the last read: a failure (fatal) or a step that failed.
  struct Stopped {
    bool stopped = false;
    bool fatal = false;
    std::string message;
    std::string summary;
    explicit operator bool() const { return stopped; }
  };

  AseModel model;
  Stopped error;
};

TEST_F(Ase, ReadsMaterialsAndGeometry) {
  ASSERT_TRUE(read(file(material(0, diffuse("0.5\t0.25\t1.0")) + material(1, bitmap("wood.tga")),
                        object("plain", 0) + object("wood", 1, kTextures))))
      << error.message;
  ASSERT_EQ(model.materials.size(), 2u);
  EXPECT_FLOAT_EQ(model.materials[0].diffuse[0], 0.5f);
  EXPECT_FLOAT_EQ(model.materials[0].diffuse[1], 0.25f);
  EXPECT_FLOAT_EQ(model.materials[0].diffuse[2], 1.0f);
  EXPECT_FLOAT_EQ(model.materials[0].diffuse[3], 1.0f);
  EXPECT_EQ(model.materials[0].texture, nullptr);
  EXPECT_EQ(model.materials[1].texture, fakeTexture(0));
  EXPECT_EQ(paths, std::vector<std::string>{"data/images/wood.tga"});

  ASSERT_EQ(model.geometries.size(), 2u);
  const Geometry& plain = model.geometries[0];
  EXPECT_EQ(plain.positionStride, 3u);
  EXPECT_EQ(plain.normalStride, 3u);
  EXPECT_EQ(plain.texcoordStride, 0u);
  ASSERT_EQ(plain.positionSource.size(), 12u);
  EXPECT_FLOAT_EQ(plain.positionSource[11], -2.5f);
  EXPECT_EQ(plain.positionIndices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
  // Every corner of a face takes that face's normal.
  EXPECT_EQ(plain.normalIndices, (std::vector<uint32_t>{0, 0, 0, 1, 1, 1}));
  EXPECT_EQ(plain.normalSource, (std::vector<float>{0, 0, 1, 0, 0.1f, 0.9f}));
  EXPECT_TRUE(plain.texcoordIndices.empty());
  EXPECT_EQ(plain.materialIndex, 0u);
  EXPECT_FALSE(plain.textured);

  const Geometry& wood = model.geometries[1];
  EXPECT_EQ(wood.texcoordStride, 3u);
  EXPECT_EQ(wood.texcoordSource.size(), 9u);
  EXPECT_FLOAT_EQ(wood.texcoordSource[6], 0.5f);
  EXPECT_EQ(wood.texcoordIndices, (std::vector<uint32_t>{0, 1, 2, 2, 1, 0}));
  EXPECT_EQ(wood.materialIndex, 1u);
  EXPECT_TRUE(wood.textured);
}

TEST_F(Ase, BitmapWinsOverDiffuseAndAbsolutePathsAreAppendedWhole) {
  ASSERT_TRUE(
      read(file(material(0, diffuse("0.1\t0.2\t0.3") + bitmap("C:\\maps\\stone.jpg")), "")));
  EXPECT_EQ(paths, std::vector<std::string>{"data/images/C:\\maps\\stone.jpg"});
  ASSERT_EQ(model.materials.size(), 1u);
  EXPECT_EQ(model.materials[0].texture, fakeTexture(0));
  EXPECT_FLOAT_EQ(model.materials[0].diffuse[0], 1.0f);  // the default, not 0.1
}

TEST_F(Ase, TexturedMaterialWithoutTextureVerticesIsNotTextured) {
  ASSERT_TRUE(read(file(material(0, bitmap("a.png")), object("o", 0))));
  EXPECT_TRUE(model.geometries[0].texcoordIndices.empty());
  EXPECT_EQ(model.geometries[0].texcoordStride, 0u);
  EXPECT_FALSE(model.geometries[0].textured);
}

TEST_F(Ase, TextureVerticesOfTheNextObjectAreNotBorrowed) {
  ASSERT_TRUE(read(file(material(0, bitmap("a.png")), object("a", 0) + object("b", 0, kTextures))));
  EXPECT_TRUE(model.geometries[0].texcoordSource.empty());
  EXPECT_FALSE(model.geometries[0].textured);
  EXPECT_TRUE(model.geometries[1].textured);
}

TEST_F(Ase, ZeroBytesDoNotEndTheText) {
  std::string text = file(material(0, diffuse("1 1 1")), object("o", 0));
  text.insert(text.find("*MATERIAL_LIST"), std::string("\0\0", 2));
  ASSERT_TRUE(read(text)) << error.message;
  EXPECT_EQ(model.geometries.size(), 1u);
}

TEST_F(Ase, MaterialIdsOutOfOrderFailWithoutEndingTheProgram) {
  EXPECT_FALSE(read(file(material(0, diffuse("1 1 1")) + material(2, diffuse("1 1 1")), "")));
  EXPECT_FALSE(error.fatal);
  EXPECT_NE(error.message.find("Material list size 1 does not match current Material ID 2 at "
                               "src/util/objects3d/ase_loader.cpp:"),
            std::string::npos)
      << error.message;
  EXPECT_EQ(error.summary, "Failed to load ASE materials");
}

TEST_F(Ase, MaterialWithoutColourIsFatal) {
  EXPECT_EQ(fatalMessage(file(material(0, ""), "")),
            "Material 0 has no texture AND no MATERIAL_DIFFUSE colours...");
}

TEST_F(Ase, MaterialClosedOnlyAfterTheNextOneIsFatal) {
  const std::string text =
      file("\t*MATERIAL 0 {\n\t\t*MATERIAL_DIFFUSE 1 1 1\n" + material(1, diffuse("1 1 1")), "");
  EXPECT_NE(fatalMessage(text).find("not closed"), std::string::npos);
}

TEST_F(Ase, MissingRequiredListFailsTheGeometryStep) {
  const std::string noNormals = object("o", 0, "", " ");
  EXPECT_FALSE(read(file(material(0, diffuse("1 1 1")), noNormals)));
  EXPECT_FALSE(error.fatal);
  EXPECT_EQ(error.summary, "Failed to load ASE geometry objects");
  EXPECT_NE(error.message.find("*MESH_NORMALS"), std::string::npos);

  // Texture vertices without texture faces.
  const std::string tverts = kTextures.substr(0, kTextures.find("\t\t*MESH_TFACELIST"));
  EXPECT_FALSE(read(file(material(0, diffuse("1 1 1")), object("o", 0, tverts))));
  EXPECT_FALSE(error.fatal);
  EXPECT_NE(error.message.find("*MESH_TFACELIST"), std::string::npos);
}

TEST_F(Ase, MaterialReferenceMissingOrOutOfRangeIsFatal) {
  std::string text = file(material(0, diffuse("1 1 1")), object("o", 0));
  text.erase(text.find("*MATERIAL_REF"));
  EXPECT_NE(fatalMessage(text).find("*MATERIAL_REF"), std::string::npos);
  EXPECT_NE(fatalMessage(file(material(0, diffuse("1 1 1")), object("o", 1))).find("material 1"),
            std::string::npos);
  // Without any materials there is nothing to refer to.
  EXPECT_NE(fatalMessage(object("o", 0)).find("material 0, but there are 0"), std::string::npos);
}

TEST_F(Ase, CountsThatDisagreeAreFatal) {
  const std::string oneNormal =
      "\t\t*MESH_NORMALS {\n\t\t\t*MESH_FACENORMAL 0\t0\t0\t1\n\t\t}\n";
  EXPECT_EQ(fatalMessage(file(material(0, diffuse("1 1 1")), object("o", 0, "", oneNormal))),
            "Loaded 6 ivertices, 3 normals and 0 itexcoords, material id is 0");
  std::string oneTface = kTextures;
  const std::string lastTface = "\t\t\t*MESH_TFACE 1\t2\t1\t0\n";
  oneTface.erase(oneTface.find(lastTface), lastTface.size());
  EXPECT_EQ(fatalMessage(file(material(0, diffuse("1 1 1")), object("o", 0, oneTface))),
            "Loaded 6 ivertices, 6 normals and 3 itexcoords, material id is 0");
}

TEST_F(Ase, IndicesOutsideTheirListsAreFatal) {
  const std::string base = file(material(0, diffuse("1 1 1")), object("o", 0, kTextures));
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = base;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  EXPECT_NE(fatalMessage(replaced("C:    3", "C:    4")).find("vertex 4, but there are 4"),
            std::string::npos);
  EXPECT_NE(fatalMessage(replaced("B:    2", "B:    -1")).find("vertex -1"), std::string::npos);
  EXPECT_NE(fatalMessage(replaced("C:    3", "C:    99999999999999999999")).find("vertex"),
            std::string::npos);
  EXPECT_NE(fatalMessage(replaced("*MESH_TFACE 1\t2", "*MESH_TFACE 1\t3")).find("texture vertex 3"),
            std::string::npos);
}

TEST_F(Ase, ShortEntriesDoNotTakeTheirNeighboursNumbers) {
  const std::string base = file(material(0, diffuse("1 1 1")), object("o", 0));
  std::string face = base;
  const size_t cut = face.find(" C:    2");
  face.erase(cut, face.find('\n', cut) - cut);  // face 0 ends after "B: 1"
  EXPECT_NE(fatalMessage(face).find("*MESH_FACE 0"), std::string::npos);
  std::string vertex = base;
  vertex.replace(vertex.find("\t0.0000\n"), 7, "");
  EXPECT_NE(fatalMessage(vertex).find("*MESH_VERTEX 0"), std::string::npos);
}

// Every prefix of a good file either reads or stops with an error; what is
// read holds together.
TEST_F(Ase, TruncatedTextNeverReadsBadData) {
  const std::string text =
      file(material(0, diffuse("1 1 1")) + material(1, bitmap("w.tga")),
           object("a", 0) + object("b", 1, kTextures));
  for (size_t length = 0; length <= text.size(); ++length) {
    paths.clear();
    if (!read(text.substr(0, length))) {
      EXPECT_TRUE(error) << length;
      EXPECT_FALSE(error.message.empty()) << length;
      continue;
    }
    for (const Geometry& g : model.geometries) {
      EXPECT_EQ(g.normalIndices.size(), g.positionIndices.size());
      for (uint32_t i : g.positionIndices) EXPECT_LT(3 * i + 2, g.positionSource.size());
      for (uint32_t i : g.normalIndices) EXPECT_LT(3 * i + 2, g.normalSource.size());
      for (uint32_t i : g.texcoordIndices) EXPECT_LT(3 * i + 2, g.texcoordSource.size());
      EXPECT_LT(g.materialIndex, model.materials.size());
    }
  }
}

TEST_F(Ase, AttachedGeometriesAllDrawAtTheRoot) {
  ASSERT_TRUE(read(file(material(0, diffuse("1 1 1")), object("a", 0) + object("b", 0))));
  Object3D object;
  attachAse(model, object);
  EXPECT_EQ(object.materials.size(), 1u);
  EXPECT_EQ(object.geometries.size(), 2u);
  EXPECT_EQ(object.root->geometryIndices, (std::vector<uint32_t>{0, 1}));
  EXPECT_TRUE(object.root->children.empty());
}

class AseFile : public Ase {
 protected:
  std::string write(const std::string& text) { return dir_.write("model.ase", text); }
  TempDir dir_;
};

TEST_F(AseFile, MissingFileIsFatal) {
  Object3D object;
  EXPECT_EXIT(object.loadAse("no/such/model.ase"), ExitedWithCode(1),
              "Failed to open file no/such/model.ase");
}

TEST_F(AseFile, FatalContentEndsTheProgramWithItsMessage) {
  const std::string path = write(file(material(0, ""), ""));
  Object3D object;
  EXPECT_EXIT(object.loadAse(path.c_str()), ExitedWithCode(1),
              "ase_loader.cpp:[0-9]+\n\nMaterial 0 has no texture AND no MATERIAL_DIFFUSE");
}

TEST_F(AseFile, FailedStepMakesLoadingReturnFalse) {
  const std::string path = write(file(material(1, diffuse("1 1 1")), ""));
  Object3D object;
  EXPECT_FALSE(object.loadAse(path.c_str()));
  EXPECT_TRUE(object.materials.empty());
  EXPECT_EQ(takeFailureNotes().size(), 2u);
}

// The reader's notes come before the failure that its caller reports.
TEST_F(AseFile, TheCallersReportSaysTheReadersNotesFirst) {
  const std::string path = write(file(material(1, diffuse("1 1 1")), ""));
  auto loadModel = [&] {
    Object3D object;
    if (!object.loadAse(path.c_str())) FATAL("Failed to load model %s", "model.ase");
  };
  EXPECT_EXIT(loadModel(), ExitedWithCode(1),
              "^Error: Material list size 0 does not match current Material ID 1 at "
              "src/util/objects3d/ase_loader\\.cpp:[0-9]+\n"
              "Error\\.: Failed to load ASE materials\n"
              "Error in file tests/unit/test_ase\\.cpp:[0-9]+\n\nFailed to load model model\\.ase\n$");
}

}  // namespace
