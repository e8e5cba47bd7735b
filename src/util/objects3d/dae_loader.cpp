#include "util/objects3d/dae_loader.h"

#include <charconv>

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#if defined(__GLIBC__)
#include <locale.h>
#endif

#include "util/data/data.h"
#include "util/error.h"
#include "util/prefetch.h"
#include "util/xml.h"

namespace {

// Deeper node trees than this are taken for a broken or hostile file rather
// than a model: the node rule recurses once per level.
constexpr int kMaxNodeDepth = 512;
// Inputs of one `triangles` element share the `p` list; a handful is usual.
constexpr int kMaxInputOffset = 255;

using Element = TiXmlElement;

std::string lower(const char* text) {
  std::string out(text ? text : "");
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string attribute(const Element* element, const char* name) {
  const char* value = element->Attribute(name);
  return value ? value : "";
}

// References (url, source, target) are "#id": the first character goes,
// whatever it is, and the rest compares in lower case.
std::string reference(const Element* element, const char* name) {
  std::string value = lower(element->Attribute(name));
  return value.empty() ? value : value.substr(1);
}

const char* textOf(const Element* element) {
  const char* text = element ? element->GetText() : nullptr;
  return text ? text : "";
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

float strtofInCLocale(const char* text, char** stop) {
#if defined(__GLIBC__)
  static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  return strtof_l(text, stop, c);
#else
  return std::strtof(text, stop);
#endif
}

// The leading number of [text, end) as strtof reads it in the C locale
// (whatever locale the process runs in; a decimal comma would cut numbers
// short): `next` is where it stopped, `text` when there was no number.
float readFloat(const char* text, const char* end, const char*& next) {
  while (text < end && isSpace(*text)) ++text;
  float value = 0.0f;
#if defined(__cpp_lib_to_chars)
  std::from_chars_result read = std::from_chars(text, end, value);
  if (read.ec == std::errc() && (read.ptr == end || (*read.ptr != 'x' && *read.ptr != 'X'))) {
    next = read.ptr;
    return value;
  }
#endif
  // What from_chars leaves to strtof: a leading plus, hexadecimal, values
  // out of range; everything where the C++ library has no from_chars for
  // floats (GCC 10, which builds the release), under the C locale.
  std::string piece(text, end);
  char* stop = nullptr;
  value = strtofInCLocale(piece.c_str(), &stop);
  next = text + (stop - piece.c_str());
  return value;
}

// Like sscanf with n "%f": reads up to n leading numbers, the rest stay 0.
void scanFloats(const char* text, float* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = 0.0f;
  const char* end = text + std::strlen(text);
  for (int i = 0; i < n; ++i) {
    const char* next = text;
    float value = readFloat(text, end, next);
    if (next == text) return;
    out[i] = value;
    text = next;
  }
}

float scanFloat(const char* text, float fallback) {
  const char* next = text;
  float value = readFloat(text, text + std::strlen(text), next);
  return next == text ? fallback : value;
}

// Number lists: pieces between whitespace. The show's files use single
// spaces; exporters that break lines or align columns read the same.
template <typename Visit>
void forEachPiece(const char* text, Visit visit) {
  const char* p = text;
  while (*p) {
    while (*p && isSpace(*p)) ++p;
    if (!*p) break;
    const char* start = p;
    while (*p && !isSpace(*p)) ++p;
    visit(start, p);
  }
}

// Every piece must be a finite number as a whole: a word, "nan", "inf" or a
// value beyond float's range would only show up later as broken geometry.
// False, with `bad` the first such piece, otherwise.
bool readFloatList(const char* text, std::vector<float>& out, std::string& bad) {
  out.clear();
  bool ok = true;
  forEachPiece(text, [&](const char* begin, const char* end) {
    if (!ok) return;
    const char* next = begin;
    const float value = readFloat(begin, end, next);
    if (next != end || !std::isfinite(value)) {
      bad.assign(begin, std::min<size_t>(size_t(end - begin), 40));
      ok = false;
      return;
    }
    out.push_back(value);
  });
  return ok;
}

// Integers as "%i" reads them (a leading 0 means octal, 0x hex); a piece
// that is no number, or one out of range, reads as -1 and fails the
// range check of the indices.
int64_t scanIndex(const char* begin, const char* end) {
  // The usual piece, plain decimal digits without a leading zero, at once.
  if (begin < end && *begin >= '1' && *begin <= '9' && end - begin <= 18) {
    int64_t value = 0;
    const char* p = begin;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) value = value * 10 + (*p - '0');
    if (p == end) return value;
  }
  std::string piece(begin, end);
  char* stop = nullptr;
  errno = 0;
  long long value = std::strtoll(piece.c_str(), &stop, 0);
  if (stop == piece.c_str() || errno == ERANGE) return -1;
  return value;
}

int64_t scanIndex(const std::string& piece) { return scanIndex(piece.data(), piece.data() + piece.size()); }

// A <p> element's pieces, each as scanIndex reads it.
void readIndexList(const Element* p, std::vector<int64_t>& pieces) {
  forEachPiece(textOf(p), [&](const char* begin, const char* end) { pieces.push_back(scanIndex(begin, end)); });
}

bool isTag(const Element* element, const char* tag) { return lower(element->Value()) == tag; }

float det3(const Matrix& m) {
  return m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) -
         m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
         m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
}

// The node's world matrix without the object's: the root's down to N's.
Matrix worldOf(const Node& node) {
  if (!node.parent) return node.matrix;
  return worldOf(*node.parent) * node.matrix;
}

struct ImageEntry {
  std::string id;
  std::string file;
};

struct Param {
  float colour[4] = {0, 0, 0, 0};
  Texture* texture = nullptr;
};

class Reader {
 public:
  Reader(ColladaScene& scene, const ColladaTextureLoader& loadTexture, ColladaNumbers* numbers)
      : scene_(scene), loadTexture_(loadTexture), numbers_(numbers) {}

  void read(const TiXmlDocument& document, Node& root) {
    scene_.cameras.clear();
    scene_.lights.clear();
    scene_.materials.clear();
    scene_.geometries.clear();

    const Element* collada = document.FirstChildElement("COLLADA");
    if (!collada) FATAL("node is NULL");
    const Element* cameras = collada->FirstChildElement("library_cameras");
    const Element* lights = collada->FirstChildElement("library_lights");
    const Element* images = collada->FirstChildElement("library_images");
    const Element* materials = collada->FirstChildElement("library_materials");
    const Element* effects = collada->FirstChildElement("library_effects");
    const Element* geometries = collada->FirstChildElement("library_geometries");
    if (!geometries) FATAL("node_geometries is NULL");
    const Element* scenes = collada->FirstChildElement("library_visual_scenes");
    if (!scenes) FATAL("node_visual_scenes is NULL");

    if (cameras) readCameras(cameras);
    if (lights) readLights(lights);
    if (images) readImages(images);
    readMaterials(materials);
    if (effects) readEffects(effects);
    readGeometries(geometries);

    const Element* scene = scenes->FirstChildElement("visual_scene");
    if (!scene) FATAL("scene_element is NULL");
    readNode(root, scene, 0);
  }

 private:
  void readCameras(const Element* library) {
    // A Camera copy leaves its name behind: the vector must never regrow,
    // and each name is set on the element in place.
    size_t count = 0;
    for (const Element* e = library->FirstChildElement("camera"); e;
         e = e->NextSiblingElement("camera"))
      ++count;
    scene_.cameras.reserve(count);
    for (const Element* e = library->FirstChildElement("camera"); e;
         e = e->NextSiblingElement("camera")) {
      scene_.cameras.emplace_back();
      Camera& camera = scene_.cameras.back();
      camera.name = lower(e->Attribute("id"));
      const Element* perspective = nullptr;
      if (const Element* optics = e->FirstChildElement("optics"))
        if (const Element* common = optics->FirstChildElement("technique_common"))
          perspective = common->FirstChildElement("perspective");
      if (!perspective)
        FATAL("No camera perspective info found for camera %s\n", camera.name.c_str());
      readOptional(perspective, "yfov", camera.yfov);
      readOptional(perspective, "xfov", camera.xfov);
      readOptional(perspective, "znear", camera.znear);
      readOptional(perspective, "zfar", camera.zfar);
    }
  }

  static void readOptional(const Element* parent, const char* tag, float& value) {
    if (const Element* e = parent->FirstChildElement(tag)) value = scanFloat(textOf(e), value);
  }

  void readLights(const Element* library) {
    for (const Element* e = library->FirstChildElement("light"); e;
         e = e->NextSiblingElement("light")) {
      Light light;
      light.name = lower(e->Attribute("id"));
      const Element* common = e->FirstChildElement("technique_common");
      const Element* kind = nullptr;
      if (common) {
        if ((kind = common->FirstChildElement("point"))) {
          light.type = Light::kPoint;
        } else if ((kind = common->FirstChildElement("directional"))) {
          light.type = Light::kDirectional;
        } else if ((kind = common->FirstChildElement("ambient"))) {
          light.type = Light::kAmbient;
        }
      }
      if (!kind) FATAL("Unrecognized light type %s\n", light.name.c_str());
      if (const Element* colour = kind->FirstChildElement("color")) {
        float rgb[3];
        scanFloats(textOf(colour), rgb, 3);
        for (float* target : {light.ambient, light.diffuse, light.specular}) {
          target[0] = rgb[0];
          target[1] = rgb[1];
          target[2] = rgb[2];
          target[3] = 1.0f;
        }
      }
      if (light.type == Light::kPoint) {
        // Exporters write 0 for "not used"; GL would then light with no
        // falloff at all, so a zero term takes a gentle default.
        readAttenuation(kind, "constant_attenuation", light.constantAttenuation, 1.0f);
        readAttenuation(kind, "linear_attenuation", light.linearAttenuation, 0.1f);
        readAttenuation(kind, "quadratic_attenuation", light.quadraticAttenuation, 0.01f);
      }
      scene_.lights.push_back(light);
    }
  }

  static void readAttenuation(const Element* kind, const char* tag, float& value, float ifZero) {
    const Element* e = kind->FirstChildElement(tag);
    if (!e) return;
    value = scanFloat(textOf(e), 0.0f);
    if (value == 0.0f) value = ifZero;
  }

  void readImages(const Element* library) {
    for (const Element* e = library->FirstChildElement("image"); e;
         e = e->NextSiblingElement("image")) {
      images_.push_back({lower(e->Attribute("id")), lower(textOf(e->FirstChildElement("init_from")))});
    }
  }

  void readMaterials(const Element* library) {
    Material dummy;
    const float dim[4] = {0.1f, 0.1f, 0.1f, 1.0f};
    const float grey[4] = {0.6f, 0.6f, 0.6f, 1.0f};
    for (int i = 0; i < 4; ++i) {
      dummy.emission[i] = dim[i];
      dummy.ambient[i] = dim[i];
      dummy.diffuse[i] = grey[i];
      dummy.specular[i] = grey[i];
    }
    scene_.materials.push_back(dummy);
    if (!library) return;
    for (const Element* e = library->FirstChildElement("material"); e;
         e = e->NextSiblingElement("material")) {
      Material material;
      material.name = lower(e->Attribute("id"));
      const Element* instance = e->FirstChildElement("instance_effect");
      material.effect = instance ? reference(instance, "url") : "";
      scene_.materials.push_back(material);
    }
  }

  void readEffects(const Element* library) {
    for (const Element* e = library->FirstChildElement("effect"); e;
         e = e->NextSiblingElement("effect")) {
      std::string id = lower(e->Attribute("id"));
      const Element* profile = e->FirstChildElement("profile_COMMON");
      if (!profile) profile = e->FirstChildElement();
      const Element* technique = profile ? profile->FirstChildElement("technique") : nullptr;
      const Element* shading = technique ? technique->FirstChildElement() : nullptr;
      if (!shading) FATAL("element is NULL");

      Param emission = readParam(profile, shading, "emission");
      Param ambient = readParam(profile, shading, "ambient");
      Param diffuse = readParam(profile, shading, "diffuse");
      Param specular = readParam(profile, shading, "specular");
      // A textured surface is lit through its texture: a bright diffuse
      // term derived from the ambient keeps it from going dark.
      if (diffuse.texture)
        for (int i = 0; i < 4; ++i) diffuse.colour[i] = std::min(2.0f * ambient.colour[i], 1.0f);

      float shininess = 20.0f;
      if (const Element* s = shading->FirstChildElement("shininess"))
        shininess = scanFloat(textOf(s->FirstChildElement()), shininess);

      float transparentColour[4] = {1, 1, 1, 1};
      bool aOne = false;
      bool transparentTexture = false;
      if (const Element* transparent = shading->FirstChildElement("transparent")) {
        aOne = attribute(transparent, "opaque") == "A_ONE";
        if (const Element* colour = transparent->FirstChildElement("color")) {
          scanFloats(textOf(colour), transparentColour, 4);
        } else if (transparent->FirstChildElement("texture")) {
          transparentTexture = true;
        } else {
          FATAL("Found neither texture nor color for transparency parsing material %s!",
                id.c_str());
        }
      }
      if (const Element* transparency = shading->FirstChildElement("transparency")) {
        if (!transparentTexture) {
          float t = scanFloat(textOf(transparency->FirstChildElement()), 1.0f);
          float v = (transparentColour[0] + transparentColour[1] + transparentColour[2]) *
                    (1.0f / 3.0f) * t;
          if (!aOne) v = 1.0f - v;
          emission.colour[3] = ambient.colour[3] = diffuse.colour[3] = specular.colour[3] = v;
        }
      }

      bool found = false;
      for (Material& material : scene_.materials) {
        if (material.effect != id) continue;
        found = true;
        std::memcpy(material.emission, emission.colour, sizeof material.emission);
        std::memcpy(material.ambient, ambient.colour, sizeof material.ambient);
        std::memcpy(material.diffuse, diffuse.colour, sizeof material.diffuse);
        std::memcpy(material.specular, specular.colour, sizeof material.specular);
        material.shininess = shininess;
        if (diffuse.texture) material.texture = diffuse.texture;
      }
      if (!found) FATAL("Couldn't find material fx match for %s!\n", id.c_str());
    }
  }

  // A colour or a texture reached through sampler and surface parameters.
  Param readParam(const Element* profile, const Element* shading, const char* name) {
    Param param;
    const Element* e = shading->FirstChildElement(name);
    if (!e) {
      for (float& c : param.colour) c = 1.0f;
      return param;
    }
    const Element* child = e->FirstChildElement();
    std::string tag = child ? lower(child->Value()) : "";
    if (tag == "color") {
      scanFloats(textOf(child), param.colour, 4);
      return param;
    }
    if (tag != "texture")
      FATAL("Couldn't find either color or texture for this material, child is %s\n",
            child ? tag.c_str() : "(none)");

    std::string sampler = lower(child->Attribute("texture"));
    const Element* samplerParam = findNewparam(profile, sampler);
    if (!samplerParam) FATAL("Couldn't find match for texture sampler %s\n", sampler.c_str());
    const Element* sampler2D = samplerParam->FirstChildElement();
    std::string surface =
        lower(textOf(sampler2D ? sampler2D->FirstChildElement("source") : nullptr));
    const Element* surfaceParam = findNewparam(profile, surface);
    if (!surfaceParam) FATAL("Couldn't find match for texture surface %s\n", surface.c_str());
    const Element* surfaceElement = surfaceParam->FirstChildElement();
    std::string imageId =
        lower(textOf(surfaceElement ? surfaceElement->FirstChildElement("init_from") : nullptr));
    const ImageEntry* image = nullptr;
    for (const ImageEntry& entry : images_) {
      if (entry.id == imageId) {
        image = &entry;
        break;
      }
    }
    if (!image) FATAL("Couldn't find match for texture name %s\n", imageId.c_str());
    // Exporters write absolute paths of the artist's machine: only the base
    // name counts, looked for beside the document.
    size_t cut = image->file.find_last_of("/\\");
    std::string base = cut == std::string::npos ? image->file : image->file.substr(cut + 1);
    param.texture = loadTexture_(scene_.directory + base);
    for (float& c : param.colour) c = -1.0f;
    return param;
  }

  static const Element* findNewparam(const Element* profile, const std::string& sid) {
    for (const Element* p = profile->FirstChildElement("newparam"); p;
         p = p->NextSiblingElement("newparam")) {
      if (lower(p->Attribute("sid")) == sid) return p;
    }
    return nullptr;
  }

  void readGeometries(const Element* library) {
    for (const Element* e = library->FirstChildElement("geometry"); e;
         e = e->NextSiblingElement("geometry")) {
      std::string id = lower(e->Attribute("id"));
      // Splines and convex meshes are not ours to draw.
      const Element* mesh = e->FirstChildElement("mesh");
      if (!mesh) continue;
      meshSources_.clear();
      for (const Element* t = mesh->FirstChildElement("triangles"); t;
           t = t->NextSiblingElement("triangles")) {
        readTriangles(id, mesh, t);
      }
    }
  }

  struct Input {
    std::string source;
    int offset = -1;  // -1: absent
  };

  void readTriangles(const std::string& id, const Element* mesh, const Element* triangles) {
    Geometry geometry;
    geometry.name = id;
    std::string symbol = lower(triangles->Attribute("material"));
    if (!symbol.empty()) geometry.materialSymbol = symbol;

    std::string positionSource;
    if (const Element* vertices = mesh->FirstChildElement("vertices")) {
      const Element* input = vertices->FirstChildElement();
      if (input) {
        if (!isTag(input, "input"))
          FATAL("Unexpected vert_el in vertices: %s\n", input->Value());
        if (attribute(input, "semantic") != "POSITION")
          FATAL("Uhm, got input semantic other than POSITION from a vertices vert_el: %s. Bah.",
                attribute(input, "semantic").c_str());
        positionSource = reference(input, "source");
      }
    }

    Input vertex, normal, texcoord;
    int inputStride = 1;
    for (const Element* input = triangles->FirstChildElement("input"); input;
         input = input->NextSiblingElement("input")) {
      std::string semantic = attribute(input, "semantic");
      Input* target = semantic == "VERTEX"     ? &vertex
                      : semantic == "NORMAL"   ? &normal
                      : semantic == "TEXCOORD" ? &texcoord
                                               : nullptr;
      if (!target) FATAL("Unimplemented input type %s\n", semantic.c_str());
      std::string offsetText = attribute(input, "offset");
      int64_t offset = offsetText.empty() ? 0 : scanIndex(offsetText);
      if (offset < 0 || offset > kMaxInputOffset)
        FATAL("Invalid input offset \"%s\" in geometry %s", offsetText.c_str(), id.c_str());
      target->source = reference(input, "source");
      target->offset = static_cast<int>(offset);
      inputStride = std::max(inputStride, target->offset + 1);
    }

    // Normals and texture coordinates are only ever drawn along positions.
    if (vertex.offset < 0 && (normal.offset >= 0 || texcoord.offset >= 0))
      FATAL("Triangles of geometry %s have no VERTEX input", id.c_str());

    for (const Element* source = mesh->FirstChildElement("source"); source;
         source = source->NextSiblingElement("source")) {
      std::string sourceId = lower(source->Attribute("id"));
      if (vertex.offset >= 0 && (sourceId == vertex.source || sourceId == positionSource))
        useSource(source, sourceId, geometry.positionSource, geometry.positionStride);
      if (normal.offset >= 0 && sourceId == normal.source) {
        useSource(source, sourceId, geometry.normalSource, geometry.normalStride);
        // glNormalPointer always takes three floats a vertex.
        if (geometry.normalStride != 3)
          FATAL("Normal source %s has stride %u; normals need 3", sourceId.c_str(),
                geometry.normalStride);
      }
      if (texcoord.offset >= 0 && sourceId == texcoord.source)
        useSource(source, sourceId, geometry.texcoordSource, geometry.texcoordStride);
    }

    const Element* p = triangles->FirstChildElement("p");
    if (!p) FATAL("ind_el is NULL");
    std::vector<int64_t> pieces;
    if (!takeAhead(numbers_ ? &numbers_->indices : nullptr, p, pieces)) readIndexList(p, pieces);
    // Whole corners only: every index list gets the same length.
    size_t corners = pieces.size() / inputStride;
    readIndices(id, "position", vertex, pieces, corners, inputStride, geometry.positionSource,
                geometry.positionStride, geometry.positionIndices);
    readIndices(id, "normal", normal, pieces, corners, inputStride, geometry.normalSource,
                geometry.normalStride, geometry.normalIndices);
    readIndices(id, "texture coordinate", texcoord, pieces, corners, inputStride,
                geometry.texcoordSource, geometry.texcoordStride, geometry.texcoordIndices);
    scene_.geometries.push_back(std::move(geometry));
  }

  // A source of the mesh being read, read once however many triangle lists
  // of the mesh use it.
  void useSource(const Element* source, const std::string& id, std::vector<float>& values, uint32_t& stride) {
    for (const MeshSource& known : meshSources_) {
      if (known.element != source) continue;
      values = known.values;
      stride = known.stride;
      return;
    }
    readSource(source, id, values, stride);
    meshSources_.push_back({source, values, stride});
  }

  // The element's list read ahead, moved out of `lists` (a second read of
  // it reads the text again): true. False when there is none.
  template <typename List>
  static bool takeAhead(std::unordered_map<const Element*, List>* lists, const Element* element, List& out) {
    if (!lists) return false;
    auto found = lists->find(element);
    if (found == lists->end()) return false;
    out = std::move(found->second);
    lists->erase(found);
    return true;
  }

  void readSource(const Element* source, const std::string& id, std::vector<float>& values,
                  uint32_t& stride) {
    const Element* accessor = nullptr;
    if (const Element* common = source->FirstChildElement("technique_common"))
      accessor = common->FirstChildElement("accessor");
    if (!accessor) FATAL("Failed to retrieve accessor src_el!");
    std::string strideText = attribute(accessor, "stride");
    int64_t read = scanIndex(strideText);
    if (read != 2 && read != 3)
      FATAL("Invalid source stride %i", read < -1 || read > 1000 ? -1 : static_cast<int>(read));
    stride = static_cast<uint32_t>(read);
    std::string bad;
    const Element* array = source->FirstChildElement("float_array");
    ColladaNumbers::Floats floats;
    bool numbers;
    if (takeAhead(numbers_ ? &numbers_->floats : nullptr, array, floats)) {
      values = std::move(floats.values);
      bad = std::move(floats.bad);
      numbers = floats.read;
    } else {
      numbers = readFloatList(textOf(array), values, bad);
    }
    if (!numbers) FATAL("Source %s holds \"%s\", which is not a number", id.c_str(), bad.c_str());
    if (values.size() % stride != 0)
      FATAL("Source %s holds %zu numbers, not a whole number of groups of %u", id.c_str(),
            values.size(), stride);
  }

  static void readIndices(const std::string& id, const char* what, const Input& input,
                          const std::vector<int64_t>& pieces, size_t corners, int inputStride,
                          const std::vector<float>& source, uint32_t stride,
                          std::vector<uint32_t>& out) {
    if (input.offset < 0 || corners == 0) return;
    if (stride == 0)
      FATAL("Couldn't find the %s source %s of geometry %s", what, input.source.c_str(),
            id.c_str());
    const int64_t entries = static_cast<int64_t>(source.size() / stride);
    out.reserve(corners);
    for (size_t corner = 0; corner < corners; ++corner) {
      int64_t index = pieces[corner * inputStride + input.offset];
      if (index < 0 || index >= entries)
        FATAL("Index %lld in <p> of geometry %s is outside its %s source %s of %lld entries",
              static_cast<long long>(index), id.c_str(), what, input.source.c_str(),
              static_cast<long long>(entries));
      out.push_back(static_cast<uint32_t>(index));
    }
  }

  void readNode(Node& node, const Element* element, int depth) {
    if (depth > kMaxNodeDepth) FATAL("Nodes nested deeper than %d levels", kMaxNodeDepth);
    for (const Element* c = element->FirstChildElement(); c; c = c->NextSiblingElement()) {
      std::string tag = c->Value();
      if (tag == "node") {
        auto child = std::make_unique<Node>();
        child->parent = &node;
        child->name = attribute(c, "id");
        readNode(*child, c, depth + 1);
        node.children.push_back(std::move(child));
      } else if (tag == "translate") {
        float v[3];
        scanFloats(textOf(c), v, 3);
        node.matrix.translate(v[0], v[1], v[2]);
      } else if (tag == "scale") {
        float v[3];
        scanFloats(textOf(c), v, 3);
        node.matrix.scale(v[0], v[1], v[2]);
      } else if (tag == "rotate") {
        float v[4];
        scanFloats(textOf(c), v, 4);
        node.matrix.rotate(v[3], v[0], v[1], v[2]);
      } else if (tag == "matrix") {
        // Written row by row; replaces what earlier transforms built.
        float v[16];
        scanFloats(textOf(c), v, 16);
        node.matrix = Matrix::fromColumnMajor(v).transposed();
      } else if (tag == "instance_geometry") {
        instanceGeometry(node, c);
      } else if (tag == "instance_camera") {
        std::string target = reference(c, "url");
        bool found = false;
        // The camera looks down its node's -z: the view is the inverse of
        // the node's world transform.
        Matrix view = worldOf(node).inverse();
        for (Camera& camera : scene_.cameras) {
          if (camera.name != target) continue;
          camera.view = view;
          found = true;
        }
        if (!found) FATAL("Couldn't find matching camera for %s. Corrupt file?", target.c_str());
      } else if (tag == "instance_light") {
        std::string target = reference(c, "url");
        bool found = false;
        Matrix world = worldOf(node);
        for (Light& light : scene_.lights) {
          if (light.name != target) continue;
          light.position[0] = world[12];
          light.position[1] = world[13];
          light.position[2] = world[14];
          found = true;
        }
        if (!found) FATAL("Couldn't find matching light for %s. Corrupt file?", target.c_str());
      }
      node.mirrored = det3(node.matrix) < 0.0f;
    }
  }

  void instanceGeometry(Node& node, const Element* instance) {
    std::string target = reference(instance, "url");
    const Element* common = nullptr;
    if (const Element* bind = instance->FirstChildElement("bind_material"))
      common = bind->FirstChildElement("technique_common");
    std::vector<Geometry>& geometries = scene_.geometries;
    for (size_t g = 0; g < geometries.size(); ++g) {
      Geometry& geometry = geometries[g];
      if (geometry.name != target) continue;
      node.geometryIndices.push_back(static_cast<uint32_t>(g));
      if (common) {
        for (const Element* m = common->FirstChildElement("instance_material"); m;
             m = m->NextSiblingElement("instance_material")) {
          if (lower(m->Attribute("symbol")) == geometry.materialSymbol)
            geometry.materialSymbol = reference(m, "target");
        }
      }
      int index = findMaterial(geometry.materialSymbol);
      if (index < 0) {
        // Exporters name the material "x-material" but bind it as "x".
        geometry.materialSymbol += "-material";
        index = findMaterial(geometry.materialSymbol);
      }
      if (index < 0)
        FATAL("Couldn't find material \"%s\" entry for object \"%s\". Corrupt file?",
              geometry.materialSymbol.c_str(), geometry.name.c_str());
      geometry.materialIndex = static_cast<uint32_t>(index);
      geometry.textured =
          !geometry.texcoordIndices.empty() && scene_.materials[index].texture != nullptr;
    }
  }

  int findMaterial(const std::string& name) const {
    for (size_t i = 0; i < scene_.materials.size(); ++i)
      if (scene_.materials[i].name == name) return static_cast<int>(i);
    return -1;
  }

  struct MeshSource {
    const Element* element;
    std::vector<float> values;
    uint32_t stride;
  };

  ColladaScene& scene_;
  const ColladaTextureLoader& loadTexture_;
  ColladaNumbers* numbers_;  // read ahead, or null
  std::vector<ImageEntry> images_;
  std::vector<MeshSource> meshSources_;  // of the mesh being read
};

}  // namespace

ColladaNumbers readColladaNumbers(const TiXmlDocument& document) {
  ColladaNumbers numbers;
  // Every element, depth first without recursion (a hostile file may nest deep).
  std::vector<const Element*> pending;
  for (const Element* e = document.FirstChildElement(); e; e = e->NextSiblingElement()) pending.push_back(e);
  while (!pending.empty()) {
    const Element* element = pending.back();
    pending.pop_back();
    const char* tag = element->Value();
    if (std::strcmp(tag, "p") == 0) {
      readIndexList(element, numbers.indices[element]);
    } else if (std::strcmp(tag, "float_array") == 0) {
      ColladaNumbers::Floats& floats = numbers.floats[element];
      floats.read = readFloatList(textOf(element), floats.values, floats.bad);
    }
    for (const Element* c = element->FirstChildElement(); c; c = c->NextSiblingElement()) pending.push_back(c);
  }
  return numbers;
}

void readColladaDocument(const TiXmlDocument& document, ColladaScene& scene, Node& root,
                         const ColladaTextureLoader& loadTexture, ColladaNumbers* numbers) {
  Reader(scene, loadTexture, numbers).read(document, root);
}

void readCollada(const char* fileName, ColladaScene& scene, Node& root,
                 const ColladaTextureLoader& loadTexture) {
  std::string name = fileName;
  size_t slash = name.find_last_of('/');
  scene.directory = slash == std::string::npos ? "" : name.substr(0, slash + 1);

  std::unique_ptr<ColladaNumbers> numbers;
  std::unique_ptr<TiXmlDocument> document = takePrefetchedDocument(fileName, &numbers);
  FILE* file = dataFopen(fileName, "rb");  // opened all the same: the loading counts it
  std::string error = file ? "" : "Failed to open file";
  if (!document && file) {
    document = std::make_unique<TiXmlDocument>();
    // No row and column tracking (only the error's text is reported): it
    // walks the whole text once more, a character at a time.
    document->SetTabSize(0);
    error = loadXml(*document, file);
  }
  if (file) std::fclose(file);
  if (!error.empty())
    FATAL("Could not load %s. Error='%s'. Exiting.\n", fileName, error.c_str());
  readColladaDocument(*document, scene, root, loadTexture, numbers.get());
}
