#include "scenes/scene_metaballmarch/scene_metaballmarch.h"

#include "util/error.h"
#include "util/fbo/fbo.h"

void Metaballmarch::load() {
  // The grid is laid out on a worker while the loading goes on; the first
  // polygonise waits for it.
  engine = std::make_unique<MarchingCubes>();
  const float max[3] = {150.0f, 150.0f, 150.0f};
  const float min[3] = {-150.0f, -150.0f, -150.0f};
  engine->startBuildingGrid(max, min);
  shader = std::make_unique<ShaderProgram>("data/metaballmarch/metaballmarch.vert",
                                           "data/metaballmarch/metaballmarch.frag");
  if (!environment.load()) FATAL("Failed to load cubemap!");
  resetBalls(balls);
}

void Metaballmarch::step(const FrameTime& time) { moveBalls(balls, time.beatStep); }

void Metaballmarch::rewind() { resetBalls(balls); }

void Metaballmarch::draw(const FrameTime&) {
  // No depth clear: the blobs keep the listing's depth in the target, and
  // nothing here touches the window.
  engine->polygonise(metaballField);

  renderTarget->bind(false);
  shader->use();
  shader->setUniform("Env", 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, environment.cube.id);
  shader->setCamPos(-200.0f, 0.0f, 100.0f);

  glTranslatef(0.0f, 0.0f, -250.0f);
  // Client-side arrays: no buffer object may stay bound (the prefab quad
  // leaves its own bound).
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  const MeshVertex* vertices = engine->vertices();
  glVertexPointer(3, GL_FLOAT, sizeof(MeshVertex), vertices ? vertices->position : nullptr);
  glNormalPointer(GL_FLOAT, sizeof(MeshVertex), vertices ? vertices->normal : nullptr);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(engine->indexCount()), GL_UNSIGNED_INT,
                 engine->indices());

  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  glPopAttrib();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}
