// libFuzzer target: arbitrary bytes as an ASE text through the in-memory
// reader the object model uses. Every input either reads or stops with an
// error; what is read must hold together: strides of 3, every index inside
// its source, one normal index and (if any) one texture index per corner,
// material references in range, `textured` only with a texture.
// Built with -DASE_FUZZ_SEEDS instead, it writes a few valid models into the
// directory named on its command line.
#include <cstdio>
#include <cstdlib>
#include <string>

#ifndef ASE_FUZZ_SEEDS

#include "util/error.h"
#include "util/objects3d/ase_loader.h"
#include "util/texture/texture.h"

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_ase: %s\n", what);
    std::abort();
  }
}

bool fits(const std::vector<uint32_t>& indices, const std::vector<float>& source) {
  for (uint32_t i : indices)
    if ((static_cast<size_t>(i) + 1) * 3 > source.size()) return false;
  return true;
}

Texture* fakeTexture(const std::string&) {
  static char stand_in;
  return reinterpret_cast<Texture*>(&stand_in);  // never dereferenced by the reader
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
  AseModel model;
  bool ok;
  try {
    ok = readAseText(reinterpret_cast<const char*>(bytes), length, model, fakeTexture);
  } catch (const Failure& failure) {
    check(failure.caption.rfind("Error in file ", 0) == 0, "a failure without its location");
    check(failure.notes.empty(), "a failure after a step that failed");
    return 0;
  }
  const std::vector<FailureNote> notes = takeFailureNotes();
  if (!ok) {
    check(notes.size() == 2 && !notes[0].text.empty(), "a step failed without its two notes");
    return 0;
  }
  check(notes.empty(), "notes on success");
  for (const Geometry& g : model.geometries) {
    const size_t corners = g.positionIndices.size();
    check(g.positionStride == 3 && g.normalStride == 3, "strides");
    check(g.texcoordStride == (g.texcoordIndices.empty() ? 0u : 3u), "texture stride");
    check(corners % 3 == 0, "not whole triangles");
    check(g.normalIndices.size() == corners, "normal indices");
    check(g.texcoordIndices.empty() || g.texcoordIndices.size() == corners, "texture indices");
    check(fits(g.positionIndices, g.positionSource), "positions");
    check(fits(g.normalIndices, g.normalSource), "normals");
    check(fits(g.texcoordIndices, g.texcoordSource), "texcoords");
    check(g.materialIndex < model.materials.size(), "material index");
    check(!g.textured || (!g.texcoordIndices.empty() && model.materials[g.materialIndex].texture),
          "textured without texture");
  }
  return 0;
}

// Failures are thrown (no handler is set) and caught above. The file loader
// in the same module refers to these but is never called here.
Texture::~Texture() {}
bool Texture::load(const char*, bool, bool, GLenum, GLenum) { std::abort(); }
void Object3D::preDraw() { std::abort(); }
std::vector<uint8_t> readAndClose(FILE*) { std::abort(); }

#else

#include "seed_files.h"

int main(int argc, char** argv) {
  const std::string dir = seedDirectory(argc, argv);
  const std::string mesh =
      "\t*MESH {\n\t\t*MESH_VERTEX_LIST {\n"
      "\t\t\t*MESH_VERTEX    0\t0.0\t0.0\t0.0\n\t\t\t*MESH_VERTEX    1\t1.0\t0.0\t0.0\n"
      "\t\t\t*MESH_VERTEX    2\t1.0\t1.0\t-0.5\n\t\t}\n\t\t*MESH_FACE_LIST {\n"
      "\t\t\t*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 BC:    1 CA:    0\n"
      "\t\t\t*MESH_FACE    1:    A:    2 B:    1 C:    0 AB:    1 BC:    1 CA:    0\n\t\t}\n";
  const std::string textures =
      "\t\t*MESH_TVERTLIST {\n\t\t\t*MESH_TVERT 0\t0.0\t0.0\t0.0\n"
      "\t\t\t*MESH_TVERT 1\t1.0\t0.5\t0.0\n\t\t}\n\t\t*MESH_TFACELIST {\n"
      "\t\t\t*MESH_TFACE 0\t0\t1\t1\n\t\t\t*MESH_TFACE 1\t1\t0\t0\n\t\t}\n";
  const std::string normals =
      "\t\t*MESH_NORMALS {\n\t\t\t*MESH_FACENORMAL 0\t0.0\t0.0\t1.0\n"
      "\t\t\t\t*MESH_VERTEXNORMAL 0\t0.0\t0.0\t1.0\n"
      "\t\t\t*MESH_FACENORMAL 1\t0.0\t0.0\t-1.0\n\t\t}\n\t}\n";
  const std::string materials =
      "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 2\n\t*MATERIAL 0 {\n"
      "\t\t*MATERIAL_DIFFUSE 0.5\t0.5\t0.25\n\t}\n\t*MATERIAL 1 {\n"
      "\t\t*MAP_DIFFUSE {\n\t\t\t*BITMAP \"wood.tga\"\n\t\t}\n\t}\n}\n";
  const std::string seeds[] = {
      "*3DSMAX_ASCIIEXPORT\t200\n*SCENE {\n\t*SCENE_FILENAME \"seed.max\"\n}\n" + materials +
          "*GEOMOBJECT {\n\t*NODE_NAME \"a\"\n" + mesh + normals + "\t*MATERIAL_REF 0\n}\n" +
          "*GEOMOBJECT {\n\t*NODE_NAME \"b\"\n" + mesh + textures + normals +
          "\t*MATERIAL_REF 1\n}\n",
      materials + "*GEOMOBJECT {\n" + mesh + textures + normals + "\t*MATERIAL_REF 0\n}\n",
  };
  for (size_t i = 0; i < sizeof seeds / sizeof seeds[0]; ++i) {
    writeSeed(dir + "/seed" + std::to_string(i) + ".ase", seeds[i].data(), seeds[i].size());
  }
  return 0;
}

#endif
