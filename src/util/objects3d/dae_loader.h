#pragma once
// The COLLADA reader: one COLLADA 1.4 document into the parts of an
// Object3D. It reads a small subset: one visual scene, `triangles` only,
// positions, normals and one set of texture coordinates, COMMON-profile
// effects with colours or a diffuse texture, perspective cameras, point,
// directional and ambient lights, nodes with translate, rotate, scale and
// matrix. What it relies on and finds missing or malformed is fatal; what
// it does not rely on is ignored.
//
// Ids of everything but nodes, and all references to them, are compared in
// lower case; node ids keep their case because scenes look nodes up by them.
// Every index and stride is checked against its array here, so the drawing
// code can trust what it gets.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "util/objects3d/objects3d.h"

class TiXmlDocument;
class TiXmlElement;

struct ColladaScene {
  std::vector<Camera> cameras;
  std::vector<Light> lights;
  std::vector<Material> materials;  // element 0: the fallback "dummy"
  std::vector<Geometry> geometries;
  std::string directory;  // the document's name up to its last "/", or ""
};

// Makes the texture of an effect parameter from an image path
// (`directory` + base name). Object3D passes one that loads a real texture
// and keeps it; tests and the fuzzer pass stand-ins that need no GL.
using ColladaTextureLoader = std::function<Texture*(const std::string& path)>;

// Reads the file (through dataFopen, so it may come from the archive) into
// `scene` and builds the node tree under `root`. Every failure is fatal.
void readCollada(const char* fileName, ColladaScene& scene, Node& root,
                 const ColladaTextureLoader& loadTexture);

// The number lists of a parsed document, read ahead of the reader (by the
// worker that parsed it): every <p> element's pieces as the indices and
// every <float_array>'s as the floats that the reader would read from them,
// by element. The reader takes a list from here instead of reading it; a
// list of floats that failed keeps the piece that is no number.
struct ColladaNumbers {
  struct Floats {
    std::vector<float> values;
    bool read = false;
    std::string bad;
  };
  std::unordered_map<const TiXmlElement*, std::vector<int64_t>> indices;
  std::unordered_map<const TiXmlElement*, Floats> floats;
};
ColladaNumbers readColladaNumbers(const TiXmlDocument& document);

// The same over an already parsed document; `scene.directory` must be set.
// The lists it takes from `numbers` are moved out of it.
void readColladaDocument(const TiXmlDocument& document, ColladaScene& scene, Node& root,
                         const ColladaTextureLoader& loadTexture, ColladaNumbers* numbers = nullptr);
