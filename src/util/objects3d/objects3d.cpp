#include "util/objects3d/objects3d.h"

#include <algorithm>
#include <map>

#include "util/error.h"
#include "util/objects3d/closed_surface.h"
#include "util/objects3d/coarse_mesh.h"
#include "util/objects3d/dae_loader.h"
#include "util/shaderprogram/shaderprogram.h"
#include "util/texture/texture.h"
#include "util/util.h"

namespace {

// Byte offsets into the bound buffer, as the gl*Pointer calls take them.
const void* bufferOffset(uint32_t bytes) {
  return reinterpret_cast<const void*>(static_cast<uintptr_t>(bytes));
}

void appendGroup(std::vector<float>& out, const std::vector<float>& source, uint32_t index,
                 uint32_t stride) {
  const size_t at = static_cast<size_t>(index) * stride;
  out.insert(out.end(), source.begin() + at, source.begin() + at + stride);
}

void setMaterialColour(GLenum which, const float* colour, const float* offset) {
  const float sum[4] = {colour[0] + offset[0], colour[1] + offset[1], colour[2] + offset[2],
                        colour[3] + offset[3]};
  glMaterialfv(GL_FRONT_AND_BACK, which, sum);
}

template <typename Flag>
void setNamedNodeFlag(Node* node, const char* name, bool value, Flag flag) {
  if (node->name == name) {
    node->*flag = value;
    return;
  }
  for (auto& child : node->children) setNamedNodeFlag(child.get(), name, value, flag);
}

const Node* findNode(const Node* node, const char* name) {
  if (node->name == name) return node;
  for (const auto& child : node->children)
    if (const Node* found = findNode(child.get(), name)) return found;
  return nullptr;
}

// What the model's own flags show, read the way a PartMask is.
struct OwnFlags {
  const Object3D& object;
  bool enabled(const Node& node) const { return node.enabled; }
  bool showsNodeGeometry(const Node& node) const { return node.showGeometry; }
  bool showsGeometry(uint32_t index) const { return object.geometries[index].visible; }
};

template <class Shown>
void boundShown(const Object3D& object, const Shown& shown, const Node* node, const Matrix& above,
                float min[3], float max[3], bool& any) {
  if (!shown.enabled(*node)) return;
  const Matrix here = above * node->matrix;
  for (const auto& child : node->children) boundShown(object, shown, child.get(), here, min, max, any);
  if (!shown.showsNodeGeometry(*node)) return;
  for (uint32_t index : node->geometryIndices) {
    const Geometry& geometry = object.geometries[index];
    if (!shown.showsGeometry(index) || geometry.positionStride < 2) continue;
    const Matrix m = here * geometry.matrix;
    const std::vector<float>& p = geometry.positionSource;
    for (size_t i = 0; i + geometry.positionStride <= p.size(); i += geometry.positionStride) {
      const float x = p[i], y = p[i + 1], z = geometry.positionStride > 2 ? p[i + 2] : 0.0f;
      for (int r = 0; r < 3; ++r) {
        const float v = m(r, 0) * x + m(r, 1) * y + m(r, 2) * z + m(r, 3);
        min[r] = any ? std::min(min[r], v) : v;
        max[r] = any ? std::max(max[r], v) : v;
      }
      any = true;
    }
  }
}

uint32_t numberNodes(Node* node, uint32_t next) {
  node->index = next++;
  for (auto& child : node->children) next = numberNodes(child.get(), next);
  return next;
}

}  // namespace

bool Geometry::createVBOs() {
  // Corners that name the same position, normal and texture coordinate in
  // the file become one vertex: the renderer then transforms each of the
  // file's vertices once instead of once per triangle that meets there.
  // Vertices are numbered in the order of their first corner. A search looks
  // at the last kSearched vertices of a position only, so a file that hangs
  // countless normals on one position costs linear time (sharing less).
  constexpr uint32_t kNone = UINT32_MAX;
  constexpr int kSearched = 32;
  const size_t corners = positionIndices.size();
  vertices.clear();
  normals.clear();
  texcoords.clear();
  indices.clear();
  indices.reserve(corners);
  uint32_t positions = 0;
  for (uint32_t p : positionIndices) positions = std::max(positions, p + 1);
  // Per position the vertices made from it so far, as a chain; per vertex
  // its normal and texture coordinate index (kNone when there are none).
  std::vector<uint32_t> firstOf(positions, kNone), next, normalOf, texcoordOf;
  for (size_t i = 0; i < corners; ++i) {
    const uint32_t p = positionIndices[i];
    const uint32_t n = normalStride > 0 ? normalIndices[i] : kNone;
    const uint32_t t = texcoordStride > 0 ? texcoordIndices[i] : kNone;
    uint32_t v = firstOf[p];
    for (int searched = 0; v != kNone && (normalOf[v] != n || texcoordOf[v] != t); ++searched)
      v = searched + 1 < kSearched ? next[v] : kNone;
    if (v == kNone) {
      v = static_cast<uint32_t>(next.size());
      next.push_back(firstOf[p]);
      firstOf[p] = v;
      normalOf.push_back(n);
      texcoordOf.push_back(t);
      appendGroup(vertices, positionSource, p, positionStride);
      if (normalStride > 0) appendGroup(normals, normalSource, n, normalStride);
      if (texcoordStride > 0) appendGroup(texcoords, texcoordSource, t, texcoordStride);
    }
    indices.push_back(v);
  }

  glGenBuffers(1, &vertexBuffer);
  glGenBuffers(1, &indexBuffer);
  if (vertexBuffer == 0 || indexBuffer == 0) return false;

  vertexBytes = static_cast<uint32_t>(4 * vertices.size());
  normalBytes = static_cast<uint32_t>(4 * normals.size());
  texcoordBytes = static_cast<uint32_t>(4 * texcoords.size());
  indexBytes = static_cast<uint32_t>(4 * indices.size());

  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, vertexBytes + normalBytes + texcoordBytes, nullptr,
               GL_STATIC_DRAW);
  if (positionStride > 0) glBufferSubData(GL_ARRAY_BUFFER, 0, vertexBytes, vertices.data());
  if (normalStride > 0) glBufferSubData(GL_ARRAY_BUFFER, vertexBytes, normalBytes, normals.data());
  if (texcoordStride > 0)
    glBufferSubData(GL_ARRAY_BUFFER, vertexBytes + normalBytes, texcoordBytes, texcoords.data());
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, indexBytes, indices.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  return true;
}

Object3D::Object3D() : root(std::make_unique<Node>()) {}

void Object3D::makeCoarse(float cell) {
  for (Geometry& geometry : geometries) {
    // A textured geometry keeps its own list: vertices merged across a seam
    // of its texture would stretch the whole texture over one row of triangles.
    if (geometry.indexBuffer == 0 || geometry.texcoordStride > 0) continue;
    const std::vector<uint32_t> coarse =
        coarseTriangles(geometry.vertices, geometry.positionStride, geometry.indices, cell);
    // Both lists in one buffer: the full one first, where drawing starts.
    std::vector<uint32_t> both(geometry.indices);
    both.insert(both.end(), coarse.begin(), coarse.end());
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, geometry.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(4 * both.size()), both.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    geometry.hasCoarse = true;
    geometry.coarseIndexCount = static_cast<uint32_t>(coarse.size());
  }
}

Object3D::~Object3D() {
  // Buffers go with the object; at exit the context may already be gone,
  // and then GL is not called at all.
  if (!glDeleteBuffers) return;
  for (Geometry& geometry : geometries) {
    if (geometry.vertexBuffer) glDeleteBuffers(1, &geometry.vertexBuffer);
    if (geometry.indexBuffer) glDeleteBuffers(1, &geometry.indexBuffer);
  }
}

bool Object3D::load(const char* fileName) {
  const std::string extension = lowerTail(fileName, 4);
  if (extension == ".ase") return loadAse(fileName);
  if (extension == ".dae") return loadCollada(fileName);
  return false;
}

bool Object3D::loadCollada(const char* fileName) {
  ColladaScene scene;
  // One texture per image file, however many effects use it.
  std::map<std::string, Texture*> loaded;
  ColladaTextureLoader loadTexture = [this, &loaded](const std::string& path) {
    Texture*& texture = loaded[path];
    if (!texture) {
      ownedTextures.push_back(std::make_unique<Texture>());
      texture = ownedTextures.back().get();
      texture->load(path.c_str(), true, true, GL_LINEAR, GL_LINEAR);
    }
    return texture;
  };
  readCollada(fileName, scene, *root, loadTexture);
  cameras = std::move(scene.cameras);
  lights = std::move(scene.lights);
  materials = std::move(scene.materials);
  geometries = std::move(scene.geometries);
  preDraw();
  return true;
}

void Object3D::preDraw() {
  nodeCount_ = numberNodes(root.get(), 0);
  draw();
}

void Object3D::draw() {
  glPushMatrix();
  glMultMatrixf(matrix.data());
  drawNode(root.get(), root->mirrored);
  glPopMatrix();
}

void Object3D::draw(const PartMask& shown) {
  glPushMatrix();
  glMultMatrixf(matrix.data());
  drawNode(root.get(), root->mirrored, shown);
  glPopMatrix();
}

void Object3D::drawNode(const Node* node, bool flip) { drawTree(node, flip, OwnFlags{*this}); }

void Object3D::drawNode(const Node* node, bool flip, const PartMask& shown) { drawTree(node, flip, shown); }

template <class Shown>
void Object3D::drawTree(const Node* node, bool flip, const Shown& shown) {
  glPushMatrix();
  glMultMatrixf(node->matrix.data());
  const bool mirrored = node->mirrored != flip;
  const bool enabled = shown.enabled(*node);
  if (enabled)
    for (const auto& child : node->children) drawTree(child.get(), mirrored, shown);
  // Left as set: a mirrored transform turns the winding of its triangles.
  glFrontFace(mirrored ? GL_CW : GL_CCW);
  if (enabled && shown.showsNodeGeometry(*node)) {
    for (uint32_t index : node->geometryIndices) {
      if (!shown.showsGeometry(index)) continue;
      ShaderProgram* shader = shaderFor(index);
      if (shader) {
        shader->use();
      } else {
        glDisable(GL_FRAGMENT_PROGRAM_ARB);
        glDisable(GL_VERTEX_PROGRAM_ARB);
        glUseProgramObjectARB(0);
      }
      drawGeometry(index);
    }
  }
  glPopMatrix();
}

bool Material::unlit() const {
  for (int c = 0; c < 3; ++c)
    if (ambient[c] + colourOffset[c] > 0.0f || diffuse[c] + colourOffset[c] > 0.0f ||
        specular[c] + colourOffset[c] > 0.0f)
      return false;
  return true;
}

ShaderProgram* Object3D::shaderFor(uint32_t geometryIndex) const {
  const Material& material = materials[geometries[geometryIndex].materialIndex];
  if (material.program) return material.program;
  if (material.unlit() && glIsEnabled(GL_LIGHTING)) return nullptr;
  return drawnTextured(geometryIndex) ? texturedShader : plainShader;
}

void Object3D::drawGeometry(uint32_t index) {
  Geometry& geometry = geometries[index];
  const Material& material = materials[geometry.materialIndex];
  glPushMatrix();
  glMultMatrixf(geometry.matrix.data());
  if (geometry.vertexBuffer == 0 || geometry.indexBuffer == 0) {
    if (!geometry.createVBOs()) FATAL("Failed to create VBOs!");
  }

  glColor4f(1, 1, 1, 1);
  glDisable(GL_COLOR_MATERIAL);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.shininess);
  setMaterialColour(GL_AMBIENT, material.ambient, material.colourOffset);
  setMaterialColour(GL_DIFFUSE, material.diffuse, material.colourOffset);
  setMaterialColour(GL_SPECULAR, material.specular, material.colourOffset);
  setMaterialColour(GL_EMISSION, material.emission, material.colourOffset);

  if (drawnTextured(index)) {
    glEnable(GL_TEXTURE_2D);
    material.texture->bind();
  } else {
    glDisable(GL_TEXTURE_2D);
  }

  glBindBuffer(GL_ARRAY_BUFFER, geometry.vertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, geometry.indexBuffer);
  const bool hasVertices = !geometry.vertices.empty();
  const bool hasNormals = !geometry.normals.empty();
  const bool hasTexcoords = !geometry.texcoords.empty();
  if (hasVertices) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(static_cast<GLint>(geometry.positionStride), GL_FLOAT, 0, bufferOffset(0));
  }
  if (hasNormals) {
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, 0, bufferOffset(geometry.vertexBytes));
  }
  if (hasTexcoords) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(static_cast<GLint>(geometry.texcoordStride), GL_FLOAT, 0,
                      bufferOffset(geometry.vertexBytes + geometry.normalBytes));
  }
  const bool twoSided = twoSidedOpenGeometry_ && !geometry.closed && glIsEnabled(GL_CULL_FACE);
  if (twoSided) glDisable(GL_CULL_FACE);
  const bool coarse = drawCoarse && geometry.hasCoarse;
  const size_t corners = coarse ? geometry.coarseIndexCount : geometry.indices.size();
  if (corners > 0)
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(corners), GL_UNSIGNED_INT,
                   bufferOffset(coarse ? geometry.indexBytes : 0));
  if (twoSided) glEnable(GL_CULL_FACE);
  if (hasTexcoords) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  if (hasNormals) glDisableClientState(GL_NORMAL_ARRAY);
  if (hasVertices) glDisableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glPopMatrix();
}

void Object3D::bindLights() const { bindLightsFrom(0); }

void Object3D::bindLightsNearestFirst() const {
  Matrix modelview;
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview.data());
  const Matrix toEye = modelview * matrix;
  size_t nearest = 0;
  float nearestDistance = -1.0f;
  for (size_t i = 0; i < lights.size(); ++i) {
    const float* p = lights[i].position;
    if (lights[i].type != Light::kPoint || p[3] == 0.0f) continue;
    float distance = 0.0f;
    for (int r = 0; r < 3; ++r) {
      const float e = toEye(r, 0) * p[0] + toEye(r, 1) * p[1] + toEye(r, 2) * p[2] + toEye(r, 3) * p[3];
      distance += e * e / (p[3] * p[3]);
    }
    if (nearestDistance < 0.0f || distance < nearestDistance) {
      nearest = i;
      nearestDistance = distance;
    }
  }
  bindLightsFrom(nearest);
}

void Object3D::bindLightsFrom(size_t first) const {
  glPushMatrix();
  glMultMatrixf(matrix.data());
  for (int i = 0; i < 8; ++i) glDisable(GL_LIGHT0 + i);
  int slot = 0;
  if (first < lights.size()) lights[first].apply(slot++);
  for (size_t i = 0; i < lights.size(); ++i)
    if (i != first) lights[i].apply(slot++);
  glPopMatrix();
}

void Object3D::setNodeShowGeometry(const char* name, bool value, Node* start) {
  setNamedNodeFlag(start ? start : root.get(), name, value, &Node::showGeometry);
}

void Object3D::setSubtreeShowGeometry(bool value, Node* start) {
  Node* node = start ? start : root.get();
  node->showGeometry = value;
  for (auto& child : node->children) setSubtreeShowGeometry(value, child.get());
}

void Object3D::setNodeEnabled(const char* name, bool value, Node* start) {
  setNamedNodeFlag(start ? start : root.get(), name, value, &Node::enabled);
}

void Object3D::getNodeWorldMatrix(Matrix& out, const char* name) const {
  const Node* node = findNode(root.get(), name);
  if (!node) FATAL("Couldn't find node %s!", name);
  Matrix chain = node->matrix;
  for (const Node* up = node->parent; up; up = up->parent) chain = up->matrix * chain;
  out = matrix * chain;
}

void Object3D::drawOpenGeometryTwoSided() {
  for (Geometry& geometry : geometries)
    geometry.closed = isClosedSurface(geometry.positionSource, geometry.positionStride, geometry.positionIndices);
  twoSidedOpenGeometry_ = true;
}

bool Object3D::shownBounds(float min[3], float max[3]) const {
  bool any = false;
  if (root) boundShown(*this, OwnFlags{*this}, root.get(), matrix, min, max, any);
  return any;
}

bool Object3D::shownBounds(const PartMask& shown, float min[3], float max[3]) const {
  bool any = false;
  if (root) boundShown(*this, shown, root.get(), matrix, min, max, any);
  return any;
}

void Object3D::setAllGeometriesVisible(bool value) {
  for (Geometry& geometry : geometries) geometry.visible = value;
}

void Object3D::setGeometryVisible(const char* name, bool value) {
  bool found = false;
  for (Geometry& geometry : geometries) {
    if (geometry.name != name) continue;
    geometry.visible = value;
    found = true;
  }
  if (!found) FATAL("Can't find %s\n", name);
}

std::vector<Material*> Object3D::materialsNamed(const char* name) {
  std::vector<Material*> named;
  for (Material& material : materials)
    if (material.name.find(name) != std::string::npos) named.push_back(&material);
  if (named.empty()) FATAL("Couldn't find material %s", name);
  return named;
}

void Object3D::setMaterialTexture(const char* name, Texture* texture) {
  for (Material* material : materialsNamed(name)) material->texture = texture;
}

void Object3D::setMaterialColourOffset(const char* name, float r, float g, float b, float a) {
  for (Material* material : materialsNamed(name)) material->setColourOffset(r, g, b, a);
}

PartMask::PartMask(const Object3D& model)
    : model_(&model), nodes_(model.nodeCount(), kEnabled | kShowsGeometry), geometries_(model.geometries.size(), 1) {
  if (model.nodeCount() == 0) FATAL("A part mask of a model that is not loaded");
}

bool PartMask::showsGeometry(uint32_t index) const {
  return geometries_[index] != 0 && model_->geometries[index].visible;
}

void PartMask::set(uint32_t index, uint8_t bit, bool on) {
  if (on)
    nodes_[index] |= bit;
  else
    nodes_[index] &= static_cast<uint8_t>(~bit);
}

void PartMask::setSubtree(const Node* node, uint8_t bit, bool on) {
  set(node->index, bit, on);
  for (const auto& child : node->children) setSubtree(child.get(), bit, on);
}

void PartMask::setNamed(const Node* node, const char* name, uint8_t bit, bool on, bool& found) {
  if (node->name == name) {
    set(node->index, bit, on);
    found = true;
    return;
  }
  for (const auto& child : node->children) setNamed(child.get(), name, bit, on, found);
}

PartMask& PartMask::enable(const char* name, bool on) {
  bool found = false;
  setNamed(model_->root.get(), name, kEnabled, on, found);
  if (!found) FATAL("Couldn't find node %s!", name);
  return *this;
}

PartMask& PartMask::showNodeGeometry(const char* name, bool on) {
  bool found = false;
  setNamed(model_->root.get(), name, kShowsGeometry, on, found);
  if (!found) FATAL("Couldn't find node %s!", name);
  return *this;
}

PartMask& PartMask::showAllNodeGeometry(bool on) {
  setSubtree(model_->root.get(), kShowsGeometry, on);
  return *this;
}

PartMask& PartMask::showGeometry(const char* name, bool on) {
  bool found = false;
  for (size_t i = 0; i < geometries_.size(); ++i) {
    if (model_->geometries[i].name != name) continue;
    geometries_[i] = on;
    found = true;
  }
  if (!found) FATAL("Can't find %s\n", name);
  return *this;
}

PartMask& PartMask::showAllGeometries(bool on) {
  std::fill(geometries_.begin(), geometries_.end(), static_cast<uint8_t>(on));
  return *this;
}
