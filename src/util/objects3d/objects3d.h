#pragma once
// Object3D: a loaded 3D model as a small scene graph. Named nodes form a
// tree under `root`; each node draws geometries that live in one flat list
// and are referred to by index; each geometry uses one of the materials.
// Cameras and lights that came with the file are kept by value for the
// owning scene to apply.
//
// Loading goes by extension (".dae" COLLADA, ".ase" ASE) and builds every
// vertex buffer at once, so the first frame of a scene does not stall.
// Scenes then draw the whole graph or a subtree every frame, read node
// world matrices and tint or re-texture materials. What one drawing shows
// of the graph is a PartMask, made at load from the names of the parts;
// drawing with one changes nothing in the model, so a scene can draw one
// model several ways in a frame.
//
// The object owns its nodes, geometries, materials, cameras, lights, the GL
// buffers of its geometries and the textures its loader created. The two
// shader programs are the shader library's; the owning scene assigns them
// (the engine does not know the library) and may leave them null for
// fixed-function drawing.
#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "util/camera/camera.h"
#include "util/lights/light.h"
#include "util/objects3d/matrix.h"

class ShaderProgram;
class Texture;

struct Node {
  Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // Held by pointer so that `parent` links stay valid while the tree grows.
  std::vector<std::unique_ptr<Node>> children;
  std::vector<uint32_t> geometryIndices;  // into Object3D::geometries
  Node* parent = nullptr;                 // null for the root
  Matrix matrix;                          // local transform
  bool mirrored = false;  // the upper-left 3 x 3 of `matrix` has a negative determinant
  std::string name;       // the node id exactly as written in the file
  bool showGeometry = true;  // draw this node's own geometries
  bool enabled = true;       // draw this node and its subtree at all
  uint32_t index = 0;        // pre-order number in its model, from 0 at the root
};

// One triangle list. The file's indexed arrays are kept; createVBOs turns
// them into one vertex per distinct (position, normal, texture coordinate)
// triple of file indices and an index list of the corners, in one static
// buffer of three blocks, positions, normals, texture coordinates, not
// interleaved.
struct Geometry {
  uint32_t positionStride = 0;  // floats per position: 2 or 3
  std::vector<float> positionSource;
  std::vector<uint32_t> positionIndices;  // one per triangle corner
  uint32_t normalStride = 0;              // 0: no normals
  std::vector<float> normalSource;
  std::vector<uint32_t> normalIndices;
  uint32_t texcoordStride = 0;  // 0: no texture coordinates
  std::vector<float> texcoordSource;
  std::vector<uint32_t> texcoordIndices;
  Matrix matrix;  // extra transform applied when drawn

  GLuint vertexBuffer = 0;
  GLuint indexBuffer = 0;
  std::vector<float> vertices;  // positionStride floats per vertex
  std::vector<float> normals;
  std::vector<float> texcoords;
  std::vector<uint32_t> indices;  // one per corner: its vertex

  uint32_t vertexBytes = 0;       // also the byte offset of the normals in the buffer
  uint32_t normalBytes = 0;
  uint32_t texcoordBytes = 0;
  uint32_t indexBytes = 0;
  // A coarser list of the same triangles (Object3D::makeCoarse), after the
  // full one in the index buffer; it may be empty.
  bool hasCoarse = false;
  uint32_t coarseIndexCount = 0;

  std::string name;                     // the file's geometry id (COLLADA: lower case)
  std::string materialSymbol = "dummy";  // loader work field
  uint32_t materialIndex = 0;           // into Object3D::materials; 0 is "dummy"
  bool textured = false;  // has texture coordinates and its material a texture
  bool visible = true;
  // Every edge (by position) joins exactly two triangles: a closed surface,
  // whose back faces cannot be seen from outside. Found by
  // Object3D::drawOpenGeometryTwoSided; false until then.
  bool closed = false;

  // Fills the per-corner arrays and uploads them; false when GL gives no
  // buffer names. Needs the GL context. The index lists must be of equal
  // length (or empty) and in range of their sources: the loaders check that.
  bool createVBOs();
};

struct Material {
  Texture* texture = nullptr;  // diffuse texture, not owned
  std::string name = "dummy";    // lower case
  std::string effect = "dummy";  // COLLADA effect id, lower case
  float emission[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  float ambient[4] = {0.1f, 0.1f, 0.1f, 1.0f};
  float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  float specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  float colourOffset[4] = {0.0f, 0.0f, 0.0f, 0.0f};  // added to all four colours; scenes tint with it
  float shininess = 20.0f;
  // A scene's own program for this material, instead of the model's (see
  // Object3D::shaderFor); not owned.
  ShaderProgram* program = nullptr;

  // No light reaches it: its ambient, diffuse and specular colours (offset
  // included) are black, so it shows its emission alone, wherever the lights are.
  bool unlit() const;

  void setColourOffset(float r, float g, float b, float a) {
    colourOffset[0] = r;
    colourOffset[1] = g;
    colourOffset[2] = b;
    colourOffset[3] = a;
  }
};

class Object3D;

// What one drawing of a model shows: per node whether its subtree is drawn
// at all and whether its own geometries are, per geometry whether it is
// drawn. Made at load, showing everything at first, and changed by the
// names of the parts; every name must be in the model (the first failure
// is fatal, so a renamed part is found when the scene loads, not
// mid-show). Drawing with a mask shows what the mask and the model's own
// flags both show. Read by Object3D::draw and shownBounds; never changes
// the model.
class PartMask {
 public:
  explicit PartMask(const Object3D& model);

  // Every node named exactly `name` (below a match nothing more is searched).
  PartMask& enable(const char* name, bool on);
  PartMask& showNodeGeometry(const char* name, bool on);
  // Every node's own geometries.
  PartMask& showAllNodeGeometry(bool on);
  // Every geometry of exactly that name.
  PartMask& showGeometry(const char* name, bool on);
  PartMask& showAllGeometries(bool on);

  bool enabled(const Node& node) const { return (nodes_[node.index] & kEnabled) && node.enabled; }
  bool showsNodeGeometry(const Node& node) const {
    return (nodes_[node.index] & kShowsGeometry) && node.showGeometry;
  }
  bool showsGeometry(uint32_t index) const;

 private:
  static constexpr uint8_t kEnabled = 1;
  static constexpr uint8_t kShowsGeometry = 2;
  void set(uint32_t nodeIndex, uint8_t bit, bool on);
  void setNamed(const Node* node, const char* name, uint8_t bit, bool on, bool& found);
  void setSubtree(const Node* node, uint8_t bit, bool on);

  const Object3D* model_;
  std::vector<uint8_t> nodes_;       // by Node::index
  std::vector<uint8_t> geometries_;  // by index into Object3D::geometries
};

class Object3D {
 public:
  Object3D();
  ~Object3D();
  Object3D(const Object3D&) = delete;
  Object3D& operator=(const Object3D&) = delete;

  // By the last four characters of the name, in any case: ".dae" or ".ase".
  // Any other extension returns false without a message (the scene reports
  // it); every failure inside a loader is fatal. Needs the GL context.
  bool load(const char* fileName);
  bool loadCollada(const char* fileName);
  // The ASE reader lives in its own module, which defines this.
  bool loadAse(const char* fileName);

  // Draws a subtree: children first, then the node's own geometries, with
  // front faces flipped wherever an odd number of mirroring transforms lies
  // on the way down. Usual call: push, glMultMatrixf(matrix),
  // drawNode(root.get(), root->mirrored), pop. Allocates nothing.
  void drawNode(const Node* node, bool flip);
  // The same with what the mask shows instead of the model's own flags.
  void drawNode(const Node* node, bool flip, const PartMask& shown);
  // The whole model as placed: push, its matrix, the tree from the root, pop.
  void draw();
  void draw(const PartMask& shown);
  void drawGeometry(uint32_t index);
  // Whether the geometry is drawn with its texture: it has coordinates and
  // its material a texture now (a scene may take a material's texture away).
  bool drawnTextured(uint32_t index) const {
    const Geometry& geometry = geometries[index];
    return geometry.textured && materials[geometry.materialIndex].texture != nullptr;
  }
  // Disables GL lights 0 to 7, then applies every light (the first eight
  // matter) through the object's matrix on top of the current modelview.
  void bindLights() const;
  // The same, but the light nearest the eye (after the current modelview
  // and the object's matrix) is applied as GL light 0 and the others follow
  // in their order: for programs that light with light 0 once a pixel and
  // the rest once a vertex. Lights without a position (w = 0) are never
  // nearest; without positioned lights the order stays as it is.
  void bindLightsNearestFirst() const;

  // Sets the flag on every node named exactly `name` (below a match nothing
  // more is searched); start null means the root.
  void setNodeShowGeometry(const char* name, bool value, Node* start = nullptr);
  void setSubtreeShowGeometry(bool value, Node* start = nullptr);
  void setNodeEnabled(const char* name, bool value, Node* start = nullptr);
  // out := matrix x the chain of local matrices from the root down to the
  // first node named exactly `name` (pre-order); no such node is fatal.
  void getNodeWorldMatrix(Matrix& out, const char* name) const;

  // The box, after `matrix`, around every geometry that drawing the root
  // with the present flags would draw (its file positions through the node
  // chain and the geometry's own matrix); false when it would draw nothing.
  bool shownBounds(float min[3], float max[3]) const;
  bool shownBounds(const PartMask& shown, float min[3], float max[3]) const;
  // Nodes in the tree (numbered at load, see Node::index).
  uint32_t nodeCount() const { return nodeCount_; }

  void setAllGeometriesVisible(bool value);
  // Exact name; none is fatal.
  void setGeometryVisible(const char* name, bool value);
  // Every material whose name contains `name`; none is fatal. The pointers
  // stay valid for the object's life: a scene finds its materials once,
  // when it loads, and changes them from frame to frame.
  std::vector<Material*> materialsNamed(const char* name);
  void setMaterialTexture(const char* name, Texture* texture);
  void setMaterialColourOffset(const char* name, float r, float g, float b, float a);

  std::vector<Camera> cameras;
  std::vector<Light> lights;
  std::vector<Material> materials;  // element 0 is the loader's "dummy"
  std::vector<Geometry> geometries;
  Matrix matrix;  // the object's own placement, applied by the scene
  std::unique_ptr<Node> root;
  // Gives every geometry a coarser list of its triangles (coarse_mesh.h,
  // vertices merged on a grid `cell` units wide, in the geometries' own
  // units): a load-time step, after the loading made the buffers.
  void makeCoarse(float cell);
  // While true, geometries with a coarser list are drawn from it.
  bool drawCoarse = false;
  // From now on, with face culling on, draws the geometries that are not
  // closed (open tubes, single sheets) with it off, so their insides still
  // show. Finds which are closed first: a load-time step, not for a frame.
  void drawOpenGeometryTwoSided();
  // The programs geometry is drawn with; none (null) is the fixed pipeline.
  // A material's own program goes first. Under lighting a material no light
  // reaches (Material::unlit) takes the fixed pipeline: it shows the same
  // emission lit once a vertex as the programs show lit once a pixel, and a
  // wide glowing surface then costs a software renderer its texture alone.
  ShaderProgram* plainShader = nullptr;     // for untextured geometry
  ShaderProgram* texturedShader = nullptr;  // for textured geometry
  ShaderProgram* shaderFor(uint32_t geometryIndex) const;
  // Textures the loaders created for materials; they live with the object.
  std::vector<std::unique_ptr<Texture>> ownedTextures;

 private:
  // Applies lights[first] as GL light 0 and the others after it in their
  // order (bindLights: from 0, their order unchanged).
  void bindLightsFrom(size_t first) const;
  bool twoSidedOpenGeometry_ = false;
  uint32_t nodeCount_ = 0;
  // The end of loading: numbers the nodes, and the pre-draw creates every buffer.
  void preDraw();
  template <class Shown>
  void drawTree(const Node* node, bool flip, const Shown& shown);
};
