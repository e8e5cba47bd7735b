#include "util/objects3d/ase_loader.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "util/data/data.h"
#include "util/error.h"
#include "util/texture/texture.h"

namespace {

constexpr size_t npos = std::string_view::npos;

// Every search is bounded: materials and geometry objects are cut apart
// first, then each is searched only inside itself, so the whole read stays
// linear in the text even when it is garbage.
class AseReader {
 public:
  AseReader(std::string_view text, AseModel& model, const AseTextureLoader& loadTexture)
      : text_(text), model_(model), loadTexture_(loadTexture) {}

  bool read() { return readMaterials() && readGeometries(); }

 private:
  [[noreturn]] void fatal(int line, const char* format, ...) __attribute__((format(printf, 3, 4))) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    fatalError(__FILE__, line, "%s", buffer);
  }

  // A step that fails without ending anything: the message, then the step
  // that failed, as notes for the failure the caller reports.
  static bool fail(const std::string& message, const char* summary) {
    noteFailure("Error", message);
    noteFailure("Error.", summary);
    return false;
  }

  // First occurrence of `key` in [from, to), or npos.
  size_t find(std::string_view key, size_t from, size_t to) const {
    if (from >= to) return npos;
    const size_t at = text_.substr(from, to - from).find(key);
    return at == npos ? npos : from + at;
  }

  // A number starts at the next of "-0123456789" in [at, to) and runs to the
  // next white space; false when there is none. `at` moves past it.
  bool token(size_t& at, size_t to, char (&out)[64]) const {
    while (at < to && (text_[at] == '\0' || !std::strchr("-0123456789", text_[at]))) ++at;
    if (at >= to) return false;
    size_t n = 0;
    while (at < to && text_[at] != '\t' && text_[at] != ' ' && text_[at] != '\n' &&
           text_[at] != '\r' && text_[at] != '\0') {
      if (n + 1 < sizeof out) out[n++] = text_[at];
      ++at;
    }
    out[n] = '\0';
    return true;
  }

  bool readFloat(size_t& at, size_t to, float& value) const {
    char buffer[64];
    if (!token(at, to, buffer)) return false;
    value = std::strtof(buffer, nullptr);
    return true;
  }

  // Saturates rather than overflowing, so a huge index fails the range check.
  bool readInt(size_t& at, size_t to, long long& value) const {
    char buffer[64];
    if (!token(at, to, buffer)) return false;
    value = std::strtoll(buffer, nullptr, 10);
    return true;
  }

  bool readMaterials() {
    static constexpr std::string_view kMaterial = "*MATERIAL ";
    static constexpr std::string_view kBitmap = "*BITMAP \"";
    static constexpr std::string_view kDiffuse = "*MATERIAL_DIFFUSE ";
    std::vector<Material>& materials = model_.materials;
    size_t at = find(kMaterial, 0, text_.size());
    while (at != npos) {
      const int index = static_cast<int>(materials.size());
      const size_t next = find(kMaterial, at + kMaterial.size(), text_.size());
      const size_t limit = next == npos ? text_.size() : next;
      // A material ends at its first "\t}"; one that would reach into the
      // next material is broken, not merely odd.
      const size_t end = find("\t}", at, limit);
      if (end == npos) fatal(__LINE__, "ASE material %i is not closed before the next one", index);
      const size_t brace = find(" {", at + kMaterial.size(), end);
      long long id;
      size_t cursor = at + kMaterial.size();
      if (brace == npos || !readInt(cursor, brace, id))
        fatal(__LINE__, "ASE material %i has no id followed by \" {\"", index);

      Material material;
      const size_t bitmap = find(kBitmap, at, end);
      const size_t diffuse = find(kDiffuse, at, end);
      if (bitmap != npos) {
        const size_t name = bitmap + kBitmap.size();
        const size_t quote = find("\"", name, end);
        if (quote == npos)
          fatal(__LINE__, "ASE material %i: bitmap name without closing quote", index);
        material.texture =
            loadTexture_("data/images/" + std::string(text_.substr(name, quote - name)));
      } else if (diffuse != npos) {
        cursor = diffuse + kDiffuse.size();
        for (int c = 0; c < 3; ++c)
          if (!readFloat(cursor, end, material.diffuse[c]))
            fatal(__LINE__, "ASE material %i: *MATERIAL_DIFFUSE needs three numbers", index);
      } else {
        fatal(__LINE__, "Material %lli has no texture AND no MATERIAL_DIFFUSE colours...", id);
      }

      if (id != index) {
        char message[256];
        std::snprintf(message, sizeof message,
                      "Material list size %i does not match current Material ID %lli at %s:%i",
                      index, id, __FILE__, __LINE__);
        return fail(message, "Failed to load ASE materials");
      }
      materials.push_back(material);
      at = next;
    }
    return true;
  }

  // The extent of a list: from its keyword to the next "}". Null when the
  // keyword is not in [from, to).
  bool list(std::string_view key, size_t from, size_t to, size_t& start, size_t& end) {
    const size_t at = find(key, from, to);
    if (at == npos) return false;
    start = at + key.size();
    end = find("}", start, to);
    if (end == npos)
      fatal(__LINE__, "ASE geometry object %i: %.*s is not closed", object_, int(key.size() - 1),
            key.data());
    return true;
  }

  bool requireList(std::string_view key, size_t from, size_t to, size_t& start, size_t& end) {
    return list(key, from, to, start, end) ||
           fail("ASE geometry object " + std::to_string(object_) + " has no " +
                    std::string(key.substr(0, key.size() - 1)),
                "Failed to load ASE geometry objects");
  }

  // Calls entry(start, end) for each `key` in [from, to); an entry runs to
  // the next one, so a short entry never takes its neighbour's numbers.
  template <typename Entry>
  void forEach(std::string_view key, size_t from, size_t to, Entry entry) {
    size_t at = find(key, from, to);
    while (at != npos) {
      const size_t next = find(key, at + key.size(), to);
      entry(at + key.size(), next == npos ? to : next);
      at = next;
    }
  }

  // An index then three floats, as vertices, texture vertices and face
  // normals are written.
  void readTriple(std::string_view key, size_t from, size_t to, std::vector<float>& out) {
    size_t count = 0;
    forEach(key, from, to, [&](size_t at, size_t end) {
      long long index;
      float values[3];
      if (!readInt(at, end, index) || !readFloat(at, end, values[0]) ||
          !readFloat(at, end, values[1]) || !readFloat(at, end, values[2]))
        fatal(__LINE__, "ASE geometry object %i: %.*s %zu needs an index and three numbers",
              object_, int(key.size() - 1), key.data(), count);
      out.insert(out.end(), values, values + 3);
      ++count;
    });
  }

  void checkIndex(long long index, size_t size, const char* what, size_t face) {
    if (index < 0 || static_cast<unsigned long long>(index) >= size)
      fatal(__LINE__, "ASE geometry object %i: face %zu uses %s %lli, but there are %zu", object_,
            face, what, index, size);
  }

  bool readGeometry(size_t from, size_t to) {
    Geometry geometry;
    geometry.positionStride = 3;
    geometry.normalStride = 3;
    size_t start, end;

    if (!requireList("*MESH_VERTEX_LIST ", from, to, start, end)) return false;
    readTriple("*MESH_VERTEX ", start, end, geometry.positionSource);
    const size_t vertexCount = geometry.positionSource.size() / 3;

    if (!requireList("*MESH_FACE_LIST ", from, to, start, end)) return false;
    uint32_t face = 0;
    forEach("*MESH_FACE ", start, end, [&](size_t at, size_t entryEnd) {
      // "n:  A: i B: j C: k": the index after each of the three labels.
      at = find(":", at, entryEnd);
      for (int corner = 0; corner < 3; ++corner) {
        long long index;
        if (at != npos) at = find(":", at + 1, entryEnd);
        size_t cursor = at == npos ? entryEnd : at + 1;
        if (at == npos || !readInt(cursor, entryEnd, index))
          fatal(__LINE__, "ASE geometry object %i: *MESH_FACE %u needs three labelled indices",
                object_, face);
        checkIndex(index, vertexCount, "vertex", face);
        geometry.positionIndices.push_back(static_cast<uint32_t>(index));
        geometry.normalIndices.push_back(face);  // every corner takes the face's normal
      }
      ++face;
    });

    if (list("*MESH_TVERTLIST ", from, to, start, end)) {
      readTriple("*MESH_TVERT ", start, end, geometry.texcoordSource);
      const size_t tvertCount = geometry.texcoordSource.size() / 3;
      if (!requireList("*MESH_TFACELIST ", from, to, start, end)) return false;
      size_t tface = 0;
      forEach("*MESH_TFACE ", start, end, [&](size_t at, size_t entryEnd) {
        long long index;
        if (!readInt(at, entryEnd, index))
          fatal(__LINE__, "ASE geometry object %i: *MESH_TFACE %zu needs an index", object_, tface);
        for (int corner = 0; corner < 3; ++corner) {
          if (!readInt(at, entryEnd, index))
            fatal(__LINE__, "ASE geometry object %i: *MESH_TFACE %zu needs three indices", object_,
                  tface);
          checkIndex(index, tvertCount, "texture vertex", tface);
          geometry.texcoordIndices.push_back(static_cast<uint32_t>(index));
        }
        ++tface;
      });
    }
    geometry.texcoordStride = geometry.texcoordIndices.empty() ? 0 : 3;

    if (!requireList("*MESH_NORMALS ", from, to, start, end)) return false;
    readTriple("*MESH_FACENORMAL ", start, end, geometry.normalSource);

    static constexpr std::string_view kMaterialRef = "*MATERIAL_REF ";
    const size_t ref = find(kMaterialRef, from, to);
    long long material;
    size_t cursor = ref + kMaterialRef.size();
    if (ref == npos || !readInt(cursor, to, material) || find("}", cursor, to) == npos)
      fatal(__LINE__, "ASE geometry object %i has no *MATERIAL_REF with a number and \"}\"",
            object_);
    if (material < 0 || static_cast<unsigned long long>(material) >= model_.materials.size())
      fatal(__LINE__, "ASE geometry object %i refers to material %lli, but there are %zu", object_,
            material, model_.materials.size());
    geometry.materialIndex = static_cast<uint32_t>(material);
    geometry.textured = !geometry.texcoordIndices.empty() &&
                        model_.materials[geometry.materialIndex].texture != nullptr;

    // One normal per face, and a texture index for every corner if any.
    const size_t corners = geometry.positionIndices.size();
    const size_t texcorners = geometry.texcoordIndices.size();
    if (corners != geometry.normalSource.size() || (texcorners != 0 && texcorners != corners))
      fatal(__LINE__, "Loaded %zu ivertices, %zu normals and %zu itexcoords, material id is %lli",
            corners, geometry.normalSource.size(), texcorners, material);
    model_.geometries.push_back(std::move(geometry));
    return true;
  }

  bool readGeometries() {
    static constexpr std::string_view kObject = "*GEOMOBJECT ";
    size_t at = find(kObject, 0, text_.size());
    while (at != npos) {
      const size_t next = find(kObject, at + kObject.size(), text_.size());
      if (!readGeometry(at + kObject.size(), next == npos ? text_.size() : next)) return false;
      ++object_;
      at = next;
    }
    return true;
  }

  std::string_view text_;
  AseModel& model_;
  const AseTextureLoader& loadTexture_;
  int object_ = 0;  // the geometry object being read, for messages
};

}  // namespace

bool readAseText(const char* text, size_t length, AseModel& model,
                 const AseTextureLoader& loadTexture) {
  return AseReader(std::string_view(text, length), model, loadTexture).read();
}

void attachAse(AseModel& model, Object3D& object) {
  object.materials = std::move(model.materials);
  object.geometries = std::move(model.geometries);
  object.root->geometryIndices.clear();
  for (size_t i = 0; i < object.geometries.size(); ++i)
    object.root->geometryIndices.push_back(static_cast<uint32_t>(i));
}

bool Object3D::loadAse(const char* fileName) {
  // A loose file on disk: ASE models are never packed into the archive.
  FILE* file = std::fopen(fileName, "r");
  if (!file) FATAL("Failed to open file %s", fileName);
  std::vector<uint8_t> bytes = readAndClose(file);
  std::string text(bytes.begin(), bytes.end());

  AseTextureLoader loadTexture = [this](const std::string& path) {
    ownedTextures.push_back(std::make_unique<Texture>());
    Texture* texture = ownedTextures.back().get();
    texture->load(path.c_str(), true, true, GL_LINEAR, GL_LINEAR);
    return texture;
  };
  AseModel model;
  // False is not fatal here: the scene that asked for the model reports it.
  if (!readAseText(text.data(), text.size(), model, loadTexture)) return false;
  attachAse(model, *this);
  preDraw();
  return true;
}
