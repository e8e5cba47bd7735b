#include "util/objects3d/prefabs.h"

#include <GL/glew.h>

#include <cstdint>
#include <cstring>

#include "util/error.h"

namespace {

// The quad's vertex buffer: four vertices' positions, normals, unit 0
// coordinates and unit 1 tangents, one section after the other.
constexpr GLintptr kPositions = 0;
constexpr GLintptr kNormals = 48;
constexpr GLintptr kTexCoords = 96;
constexpr GLintptr kTangents = 128;
constexpr GLsizeiptr kVertexBytes = 192;

GLuint vbo_id = 0;
GLuint ibo_id = 0;
float filledRepeat = -1.0f;  // no repeat is negative: the first call fills
bool filledFacing = true;

GLuint boxList = 0;

void fillQuad(float repeat, bool facing) {
  const float positions[12] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  float nz = facing ? 1.0f : -1.0f;
  const float normals[12] = {0, 0, nz, 0, 0, nz, 0, 0, nz, 0, 0, nz};
  const float r = repeat;
  const float texCoords[8] = {0, 0, r, 0, 0, r, r, r};
  const float tangents[16] = {1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1};
  const uint32_t indices[6] = {0, 1, 2, 2, 3, 1};

  // The four blocks at their offsets, handed over in one upload: a static
  // buffer is never updated in parts (drivers warn that it is slow).
  unsigned char block[kVertexBytes];
  std::memcpy(block + kPositions, positions, sizeof positions);
  std::memcpy(block + kNormals, normals, sizeof normals);
  std::memcpy(block + kTexCoords, texCoords, sizeof texCoords);
  std::memcpy(block + kTangents, tangents, sizeof tangents);
  glBindBuffer(GL_ARRAY_BUFFER, vbo_id);
  glBufferData(GL_ARRAY_BUFFER, kVertexBytes, block, GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo_id);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);
  filledRepeat = repeat;
  filledFacing = facing;
}

const GLvoid* offset(GLintptr bytes) { return reinterpret_cast<const GLvoid*>(bytes); }

void vertex(float s, float t, float x, float y, float z) {
  glTexCoord2f(s, t);
  glVertex3f(x, y, z);
}

void face(float nx, float ny, float nz, float tx, float ty, float tz) {
  glNormal3f(nx, ny, nz);
  glMultiTexCoord4f(GL_TEXTURE1, tx, ty, tz, 1.0f);
}

void recordBox() {
  glBegin(GL_QUADS);
  face(0, -1, 0, -1, 0, 0);  // bottom
  vertex(1, 1, -1, -1, -1);
  vertex(0, 1, 1, -1, -1);
  vertex(0, 0, 1, -1, 1);
  vertex(1, 0, -1, -1, 1);
  glEnd();

  glBegin(GL_QUADS);
  face(0, 0, 1, 1, 0, 0);  // front
  vertex(0, 0, -1, -1, 1);
  vertex(1, 0, 1, -1, 1);
  vertex(1, 1, 1, 1, 1);
  vertex(0, 1, -1, 1, 1);
  face(0, 0, -1, -1, 0, 0);  // back
  vertex(1, 0, -1, -1, -1);
  vertex(1, 1, -1, 1, -1);
  vertex(0, 1, 1, 1, -1);
  vertex(0, 0, 1, -1, -1);
  face(1, 0, 0, 0, 0, -1);  // right
  vertex(1, 0, 1, -1, -1);
  vertex(1, 1, 1, 1, -1);
  vertex(0, 1, 1, 1, 1);
  vertex(0, 0, 1, -1, 1);
  face(-1, 0, 0, 0, 0, 1);  // left
  vertex(0, 0, -1, -1, -1);
  vertex(1, 0, -1, -1, 1);
  vertex(1, 1, -1, 1, 1);
  vertex(0, 1, -1, 1, -1);
  glEnd();

  glBegin(GL_QUADS);
  face(0, 1, 0, 1, 0, 0);  // top
  vertex(0, 1, -1, 1, -1);
  vertex(0, 0, -1, 1, 1);
  vertex(1, 0, 1, 1, 1);
  vertex(1, 1, 1, 1, -1);
  glEnd();
}

}  // namespace

void drawQuad(float x, float y, float w, float h, float repeat, bool facing) {
  bool created = vbo_id == 0;
  if (created) {
    glGenBuffers(1, &vbo_id);
    ASSERT(vbo_id);
    glGenBuffers(1, &ibo_id);
    ASSERT(ibo_id);
  }
  if (created || repeat != filledRepeat || facing != filledFacing) fillQuad(repeat, facing);

  glPushMatrix();
  glTranslatef(x, y, 0.0f);
  glScalef(w, h, 0.0f);

  glBindBuffer(GL_ARRAY_BUFFER, vbo_id);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo_id);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, offset(kPositions));
  glEnableClientState(GL_NORMAL_ARRAY);
  glNormalPointer(GL_FLOAT, 0, offset(kNormals));
  glClientActiveTexture(GL_TEXTURE0);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, 0, offset(kTexCoords));
  glClientActiveTexture(GL_TEXTURE1);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(4, GL_FLOAT, 0, offset(kTangents));
  glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, offset(0));

  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);  // unit 1, still the client unit
  glClientActiveTexture(GL_TEXTURE0);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glPopMatrix();
}

void drawBox(float sizeX, float sizeZ) { drawBox(sizeX, sizeZ, 0.0f, 0.0f, 0.0f); }

void drawBox(float sizeX, float sizeZ, float x, float y, float z) {
  glPushMatrix();
  glTranslatef(x, y, z);
  glScalef(sizeX * 0.5f, 1.0f, sizeZ * 0.5f);
  if (boxList == 0) {
    boxList = glGenLists(1);
    if (boxList == 0) FATAL("Unable to create display list!");
    glNewList(boxList, GL_COMPILE);
    recordBox();
    glEndList();
  }
  glCallList(boxList);
  glPopMatrix();
}
