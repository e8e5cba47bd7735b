// An ASE model loaded from its plain file builds its buffers while loading,
// hangs its geometries on the root, and draws.
#include <GL/glew.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "util/objects3d/objects3d.h"

namespace {

const char* const kQuad =
    "*3DSMAX_ASCIIEXPORT\t200\n"
    "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n"
    "\t*MATERIAL 0 {\n\t\t*MATERIAL_NAME \"red\"\n\t\t*MATERIAL_DIFFUSE 1.0000\t0.0000\t0.0000\n\t}\n"
    "}\n"
    "*GEOMOBJECT {\n\t*NODE_NAME \"quad\"\n\t*MESH {\n"
    "\t\t*MESH_NUMVERTEX 4\n"
    "\t\t*MESH_VERTEX_LIST {\n"
    "\t\t\t*MESH_VERTEX    0\t-1.0000\t-1.0000\t0.0000\n"
    "\t\t\t*MESH_VERTEX    1\t1.0000\t-1.0000\t0.0000\n"
    "\t\t\t*MESH_VERTEX    2\t1.0000\t1.0000\t0.0000\n"
    "\t\t\t*MESH_VERTEX    3\t-1.0000\t1.0000\t0.0000\n"
    "\t\t}\n"
    "\t\t*MESH_FACE_LIST {\n"
    "\t\t\t*MESH_FACE    0:    A:    0 B:    1 C:    2 AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n"
    "\t\t\t*MESH_FACE    1:    A:    0 B:    2 C:    3 AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n"
    "\t\t}\n"
    "\t\t*MESH_NORMALS {\n"
    "\t\t\t*MESH_FACENORMAL 0\t0.0000\t0.0000\t1.0000\n"
    "\t\t\t*MESH_FACENORMAL 1\t0.0000\t0.0000\t1.0000\n"
    "\t\t}\n"
    "\t}\n\t*MATERIAL_REF 0\n}\n";

TEST(AseModel, LoadsFromThePlainFileAndDraws) {
  char path[] = "/tmp/tinlantern-ase-XXXXXX";
  close(mkstemp(path));
  std::string file = std::string(path) + ".ase";
  unlink(path);
  std::ofstream(file) << kQuad;

  // Loading draws once too (building the buffers), and sets materials: leave
  // the shared window's state as found for the tests after this one.
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();

  Object3D model;
  ASSERT_TRUE(model.load(file.c_str()));
  ASSERT_EQ(model.geometries.size(), 1u);
  EXPECT_NE(model.geometries[0].vertexBuffer, 0u) << "buffers are built while loading";
  EXPECT_EQ(model.root->geometryIndices.size(), 1u);

  glViewport(0, 0, 640, 360);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-2, 2, -2, 2, -5, 5);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glColor4f(1, 1, 1, 1);
  model.drawNode(model.root.get(), model.root->mirrored);
  GLubyte centre[4], corner[4];
  glReadPixels(320, 180, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
  glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
  EXPECT_GT(centre[0] + centre[1] + centre[2], 0) << "the quad covers the middle";
  EXPECT_EQ(corner[0] + corner[1] + corner[2], 0) << "and not the corner";
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
  unlink(file.c_str());
}

}  // namespace
