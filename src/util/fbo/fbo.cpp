#include "util/fbo/fbo.h"

#include "util/error.h"

namespace {
constexpr int kRequiredDrawBuffers = 3;
}

int powerOfTwoSide(int width) {
  int side = 2;
  while (side < width) side *= 2;
  return side / 2;
}

FBO::FBO(int w, int h, int type) : width(w), height(h) {
  glGetIntegerv(GL_MAX_DRAW_BUFFERS, &maxDrawBuffers);
  if (maxDrawBuffers < kRequiredDrawBuffers)
    FATAL("GL_MAX_DRAW_BUFFERS is %i, which just ain't gonna cut it. You must have %i for this ride.",
          maxDrawBuffers, kRequiredDrawBuffers);
  glGenFramebuffersEXT(1, &framebuffer);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  switch (type) {
    case 1:
      addDepthBuffer();
      addColorTexture(GL_RGBA8);
      break;
    case 2:
      addDepthBuffer();
      for (int i = 0; i < 3; ++i) addColorTexture(GL_RGBA32F);
      break;
    case 3:
      addDepthBuffer();
      addColorTexture(GL_RGBA32F);
      break;
    case 4:
      addDepthTexture();
      addColorTexture(GL_RGBA8);
      break;
    default:
      FATAL("Unrecognized FBO type");
  }
  checkComplete();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

std::unique_ptr<Texture> FBO::makeTexture(GLint internalFormat) const {
  auto texture = std::make_unique<Texture>();
  texture->width = static_cast<uint32_t>(width);
  texture->height = static_cast<uint32_t>(height);
  texture->format = GL_RGBA;
  texture->bpp = 32;
  texture->internalFormat = internalFormat;
  texture->samples = static_cast<uint32_t>(samples);
  return texture;
}

void FBO::addDepthBuffer() {
  if (depthRenderbuffer) FATAL("Depth buffer already present!");
  glGenRenderbuffersEXT(1, &depthRenderbuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthRenderbuffer);
  if (samples > 0)
    glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, samples, GL_DEPTH_COMPONENT, width, height);
  else
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, width, height);
  glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                               depthRenderbuffer);
}

void FBO::addDepthTexture() {
  if (depthTexture) FATAL("Trying to add depth texture to an FBO that already has one!");
  depthTexture = makeTexture(GL_DEPTH_COMPONENT32);
  depthTexture->create();
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, depthTexture->target(),
                            depthTexture->id, 0);
}

void FBO::addColorTexture(GLint internalFormat) {
  int n = static_cast<int>(colorTextures.size());
  if (n >= maxDrawBuffers)
    FATAL("Tried to add more than %i color attachments, and GL_MAX_DRAW_BUFFERS is %i", n,
          maxDrawBuffers);
  colorTextures.push_back(makeTexture(internalFormat));
  Texture& texture = *colorTextures.back();
  texture.create();
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT + n, texture.target(),
                            texture.id, 0);
}

void FBO::checkComplete() const {
  GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
  switch (status) {
    case GL_FRAMEBUFFER_COMPLETE_EXT: return;
    case 0x8CD6: FATAL("FBO error: GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT");
    case 0x8CD7: FATAL("FBO error: GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT");
    case 0x8CD9: FATAL("FBO error: GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT");
    case 0x8CDA: FATAL("FBO error: GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT");
    case 0x8CDB: FATAL("FBO error: GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT");
    case 0x8CDC: FATAL("FBO error: GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT");
    case 0x8CDD: FATAL("FBO error: GL_FRAMEBUFFER_UNSUPPORTED_EXT");
    case 0x8D56: FATAL("FBO error: GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE");
    default: FATAL("FBO error: Unknown error %x", status);
  }
}

void FBO::resize(int w, int h) { resize(w, h, GLEW_ARB_texture_non_power_of_two != 0); }

void FBO::resize(int w, int h, bool nonPowerOfTwo) {
  if (!nonPowerOfTwo) w = h = powerOfTwoSide(w);
  if (w == width && h == height) return;

  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  width = w;
  height = h;
  if (depthRenderbuffer) {
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, 0);
    glDeleteRenderbuffersEXT(1, &depthRenderbuffer);
    depthRenderbuffer = 0;
    addDepthBuffer();
  } else if (depthTexture) {
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, depthTexture->target(), 0, 0);
    depthTexture->resize(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, depthTexture->target(),
                              depthTexture->id, 0);
  }
  for (size_t i = 0; i < colorTextures.size(); ++i) {
    Texture& texture = *colorTextures[i];
    GLenum attachment = GL_COLOR_ATTACHMENT0_EXT + static_cast<GLenum>(i);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, attachment, texture.target(), 0, 0);
    texture.resize(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, attachment, texture.target(), texture.id, 0);
  }
  checkComplete();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void FBO::bind(bool clear) {
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  glPushAttrib(GL_VIEWPORT_BIT);
  static const GLenum buffers[kRequiredDrawBuffers] = {
      GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_COLOR_ATTACHMENT2_EXT};
  GLsizei n = static_cast<GLsizei>(colorTextures.size());
  if (n > kRequiredDrawBuffers)
    FATAL("Can only draw to %i buffers at a time here", kRequiredDrawBuffers);
  glDrawBuffers(n, buffers);
  glViewport(0, 0, width, height);
  if (clear) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_ACCUM_BUFFER_BIT);
}

void FBO::bindColorTexture(int unit) const {
  glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
  glBindTexture(colorTextures[0]->target(), colorTextures[0]->id);
}

void FBO::bindDepthTexture() const {
  if (!depthTexture) FATAL("No depth texture is created!");
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(depthTexture->target(), depthTexture->id);
}

void FBO::setFilter(GLenum filter) {
  for (const std::unique_ptr<Texture>& texture : colorTextures) {
    if (texture->minFilter == filter && texture->magFilter == filter) continue;
    texture->minFilter = texture->magFilter = filter;
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture->id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(filter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(filter));
    glBindTexture(GL_TEXTURE_2D, 0);
  }
}

void FBO::drawFullscreen() const {
  // The whole of the current viewport; the texture's bind selects unit 0.
  drawTexture(*colorTextures[0], 0.0f, 0.0f, 1.0f, 1.0f);
}
