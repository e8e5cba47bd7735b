// libFuzzer target: arbitrary bytes as a COLLADA file through the whole
// reader (the XML reading, libraries, effects, geometries, the node tree),
// the file served from memory, read once as a file and once as the prefetch
// worker leaves it (parsed, its number lists read ahead), which must make
// no difference. The reader's fatal report throws here instead of ending
// the process, so every input either reads or stops with a message;
// sanitizers catch anything else. What is read must hold together: every
// index inside its source, equal index lists, node geometry and material
// indices in range.
// Built with -DCOLLADA_FUZZ_SEEDS instead, it writes a few valid documents
// into the directory named on its command line.
#include <tinyxml.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#ifndef COLLADA_FUZZ_SEEDS

#include "util/objects3d/dae_loader.h"
#include "util/prefetch.h"

#include "util/error.h"
#include "util/xml.h"

namespace {

// COLLADA_REPORT=1 says what became of each input (for runs over real files).
void report(const char* outcome, const std::string& detail = std::string()) {
  if (std::getenv("COLLADA_REPORT")) std::fprintf(stderr, "collada: %s %s\n", outcome, detail.c_str());
}

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_collada: %s\n", what);
    std::abort();
  }
}

bool fits(const std::vector<uint32_t>& indices, const std::vector<float>& source, uint32_t stride,
          size_t corners) {
  if (indices.empty()) return true;
  if (indices.size() != corners || stride == 0) return false;
  for (uint32_t i : indices)
    if ((static_cast<size_t>(i) + 1) * stride > source.size()) return false;
  return true;
}

void checkNode(const Node& node, const ColladaScene& scene) {
  for (uint32_t g : node.geometryIndices) {
    check(g < scene.geometries.size(), "node geometry index out of range");
    check(scene.geometries[g].materialIndex < scene.materials.size(), "material index out of range");
  }
  for (const auto& child : node.children) {
    check(child->parent == &node, "broken parent link");
    checkNode(*child, scene);
  }
}

Texture* fakeTexture(const std::string&) {
  static char stand_in;
  return reinterpret_cast<Texture*>(&stand_in);  // never dereferenced by the reader
}

}  // namespace

namespace {
const uint8_t* input = nullptr;
size_t inputLength = 0;
}  // namespace

// The file access layer: the input, as the data index serves a file.
FILE* dataFopen(const char*, const char*) {
  static uint8_t nothing;
  return fmemopen(inputLength ? const_cast<uint8_t*>(input) : &nothing, inputLength, "rb");
}
namespace {
bool readAhead = false;
}  // namespace

// The first read parses the file itself; the second takes it parsed, with
// its number lists, as the prefetch worker leaves it.
std::unique_ptr<TiXmlDocument> takePrefetchedDocument(const char*, std::unique_ptr<ColladaNumbers>* numbers) {
  if (!readAhead) return nullptr;
  auto document = std::make_unique<TiXmlDocument>();
  document->SetTabSize(0);
  FILE* file = dataFopen("", "rb");
  const bool parsed = file && loadXml(*document, file).empty();
  if (file) std::fclose(file);
  if (!parsed) return nullptr;
  if (numbers) *numbers = std::make_unique<ColladaNumbers>(readColladaNumbers(*document));
  return document;
}

namespace {

// The reader's outcome: the failure's text, or empty with the scene read.
std::string readOnce(bool ahead, ColladaScene& scene, Node& root) {
  readAhead = ahead;
  try {
    readCollada("data/models/fuzz.dae", scene, root, fakeTexture);
  } catch (const Failure& failure) {
    return failure.text.empty() ? "?" : failure.text;
  }
  return std::string();
}

bool sameGeometry(const Geometry& a, const Geometry& b) {
  return a.positionSource == b.positionSource && a.positionIndices == b.positionIndices &&
         a.normalSource == b.normalSource && a.normalIndices == b.normalIndices &&
         a.texcoordSource == b.texcoordSource && a.texcoordIndices == b.texcoordIndices;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
  input = bytes;
  inputLength = length;
  ColladaScene scene, ahead;
  Node root, aheadRoot;
  const std::string stopped = readOnce(false, scene, root);
  // With the numbers read ahead, the same failure or the same geometry.
  check(readOnce(true, ahead, aheadRoot) == stopped, "reading ahead changed the failure");
  if (!stopped.empty()) {
    report("stopped:", stopped);
    return 0;
  }
  check(ahead.geometries.size() == scene.geometries.size(), "reading ahead changed the geometries");
  for (size_t i = 0; i < scene.geometries.size(); ++i)
    check(sameGeometry(ahead.geometries[i], scene.geometries[i]), "reading ahead changed a geometry");
  report("loaded");
  check(!scene.materials.empty() && scene.materials[0].name == "dummy", "no dummy material");
  for (const Geometry& g : scene.geometries) {
    size_t corners = g.positionIndices.size();
    check(fits(g.positionIndices, g.positionSource, g.positionStride, corners), "positions");
    check(fits(g.normalIndices, g.normalSource, g.normalStride, corners), "normals");
    check(fits(g.texcoordIndices, g.texcoordSource, g.texcoordStride, corners), "texcoords");
    check(g.normalStride == 0 || g.normalStride == 3, "normal stride");
  }
  checkNode(root, scene);
  return 0;
}

#else

#include <cstring>

#include "seed_files.h"

int main(int argc, char** argv) {
  const std::string dir = seedDirectory(argc, argv);
  const char* seeds[] = {
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<COLLADA><library_images><image id=\"i\"><init_from>a\\b.png</init_from></image>"
      "</library_images><library_materials><material id=\"m-material\"><instance_effect "
      "url=\"#fx\"/></material></library_materials><library_effects><effect id=\"fx\">"
      "<profile_COMMON><newparam sid=\"s\"><surface><init_from>i</init_from></surface></newparam>"
      "<newparam sid=\"t\"><sampler2D><source>s</source></sampler2D></newparam><technique>"
      "<phong><ambient><color>0.3 0.6 0.2 1</color></ambient><diffuse><texture texture=\"t\"/>"
      "</diffuse><transparent opaque=\"A_ONE\"><color>1 1 1 1</color></transparent>"
      "<transparency><float>0.5</float></transparency></phong></technique></profile_COMMON>"
      "</effect></library_effects><library_geometries><geometry id=\"g\"><mesh>"
      "<source id=\"p\"><float_array>0 0 0 1 0 0 0 1 0</float_array><technique_common>"
      "<accessor stride=\"3\"/></technique_common></source><source id=\"n\"><float_array>0 0 1"
      "</float_array><technique_common><accessor stride=\"3\"/></technique_common></source>"
      "<source id=\"uv\"><float_array>0 0 1 0 0 1</float_array><technique_common><accessor "
      "stride=\"2\"/></technique_common></source><vertices id=\"v\"><input semantic=\"POSITION\" "
      "source=\"#p\"/></vertices><triangles material=\"m\"><input semantic=\"VERTEX\" "
      "source=\"#v\" offset=\"0\"/><input semantic=\"NORMAL\" source=\"#n\" offset=\"1\"/>"
      "<input semantic=\"TEXCOORD\" source=\"#uv\" offset=\"2\"/><p>0 0 0 1 0 1 2 0 2</p>"
      "</triangles></mesh></geometry></library_geometries><library_visual_scenes>"
      "<visual_scene id=\"s\"><node id=\"N\"><translate>1 2 3</translate><rotate>0 0 1 90"
      "</rotate><node id=\"M\"><scale>-1 1 1</scale><instance_geometry url=\"#g\">"
      "<bind_material><technique_common><instance_material symbol=\"m\" target=\"#m\"/>"
      "</technique_common></bind_material></instance_geometry></node></node></visual_scene>"
      "</library_visual_scenes></COLLADA>",
      "<COLLADA><library_cameras><camera id=\"c\"><optics><technique_common><perspective>"
      "<xfov>80</xfov><znear>1</znear><zfar>100</zfar></perspective></technique_common>"
      "</optics></camera></library_cameras><library_lights><light id=\"l\"><technique_common>"
      "<point><color>1 1 1</color><linear_attenuation>0</linear_attenuation></point>"
      "</technique_common></light></library_lights><library_geometries><geometry id=\"f\">"
      "<mesh><source id=\"q\"><float_array>0 0 1 0 0 1</float_array><technique_common>"
      "<accessor stride=\"2\"/></technique_common></source><triangles><input "
      "semantic=\"VERTEX\" source=\"#q\"/><p>0 1 2</p></triangles></mesh></geometry>"
      "</library_geometries><library_visual_scenes><visual_scene><node id=\"a\"><matrix>"
      "1 0 0 0 0 1 0 0 0 0 1 5 0 0 0 1</matrix><instance_camera url=\"#c\"/><instance_light "
      "url=\"#l\"/><instance_geometry url=\"#f\"/></node></visual_scene>"
      "</library_visual_scenes></COLLADA>",
  };
  for (size_t i = 0; i < sizeof seeds / sizeof seeds[0]; ++i) {
    writeSeed(dir + "/seed" + std::to_string(i) + ".dae", seeds[i], std::strlen(seeds[i]));
  }
  return 0;
}

#endif
