#include "util/shaderprogram/shaderprogram.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "util/data/data.h"
#include "util/error.h"

namespace {

bool isArbText(const char* source) { return std::strncmp(source, "!!ARB", 5) == 0; }

// The ARB program's log, noted under the caption "Error" for the short
// failure that follows with the location.
void arbError(const char* stage, GLint position) {
  const char* log = reinterpret_cast<const char*>(glGetString(GL_PROGRAM_ERROR_STRING_ARB));
  char text[4096];
  std::snprintf(text, sizeof text, "%s program error at position: %d\n%s\n", stage, position,
                log ? log : "");
  noteFailure("Error", text);
}

void loadArb(GLenum target, GLuint& name, const char* source) {
  glGenProgramsARB(1, &name);
  glBindProgramARB(target, name);
  glProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB, static_cast<GLsizei>(std::strlen(source)),
                     source);
}

GLint arbErrorPosition() {
  GLint position = -1;
  glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &position);
  return position;
}

// The info log of a shader or program object; the caller frees it.
char* infoLog(GLhandleARB object) {
  GLint length = 0;
  glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
  char* log = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
  log[0] = '\0';
  if (length > 0) glGetInfoLogARB(object, length, nullptr, log);
  return log;
}

}  // namespace

ShaderProgram::ShaderProgram(const char* vertexFile, const char* fragmentFile) {
  if (!vertexFile || !fragmentFile) {
    program = 0;
    return;
  }
  char* vertexSource = readShaderFile(vertexFile);
  if (!vertexSource) FATAL("Can't read shader file %s\n", vertexFile);
  char* fragmentSource = readShaderFile(fragmentFile);
  if (!fragmentSource) {
    std::free(vertexSource);
    FATAL("Can't read shader file %s\n", fragmentFile);
  }

  if (isArbText(vertexSource)) {
    if (!isArbText(fragmentSource)) FATAL_SHORT();
    kind = kArb;
    buildArb(vertexSource, fragmentSource);
  } else {
    // Only the vertex source decides: a stray "!!ARB" fragment source simply
    // fails to compile as GLSL and says so.
    kind = kGlsl;
    buildGlsl(vertexSource, fragmentSource);
  }
  std::free(vertexSource);
  std::free(fragmentSource);
}

char* ShaderProgram::readShaderFile(const char* name) {
  FILE* file = dataFopen(name, "rt");
  if (!file) {
    std::string shared = std::string("data/common/shaders/") + name;
    file = dataFopen(shared.c_str(), "rt");
  }
  if (!file) return nullptr;
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::rewind(file);
  if (size < 0) size = 0;
  char* text = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
  // Text mode may deliver fewer bytes than the size: terminate after what came.
  size_t got = std::fread(text, 1, static_cast<size_t>(size), file);
  text[got] = '\0';
  std::fclose(file);
  return text;
}

void ShaderProgram::buildArb(const char* vertexSource, const char* fragmentSource) {
  loadArb(GL_VERTEX_PROGRAM_ARB, vertexProgram, vertexSource);
  GLint position = arbErrorPosition();
  if (position != -1) {
    arbError("Vertex", position);
    FATAL_SHORT();
  }
  loadArb(GL_FRAGMENT_PROGRAM_ARB, fragmentProgram, fragmentSource);
  position = arbErrorPosition();
  if (position != -1) {
    arbError("Fragment", position);
    FATAL_SHORT();
  }
}

void ShaderProgram::buildGlsl(const char* vertexSource, const char* fragmentSource) {
  vertexShader = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
  fragmentShader = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
  glShaderSourceARB(vertexShader, 1, &vertexSource, nullptr);
  glShaderSourceARB(fragmentShader, 1, &fragmentSource, nullptr);

  GLint status = 0;
  glCompileShaderARB(vertexShader);
  char* log = infoLog(vertexShader);
  glGetObjectParameterivARB(vertexShader, GL_OBJECT_COMPILE_STATUS_ARB, &status);
  if (status != 1) FATAL("--- Vertex shader compile failed, log:\n %s\n---\n", log);
  std::free(log);

  glCompileShaderARB(fragmentShader);
  log = infoLog(fragmentShader);
  glGetObjectParameterivARB(fragmentShader, GL_OBJECT_COMPILE_STATUS_ARB, &status);
  if (status != 1) FATAL("--- Fragment shader compile failed, log:\n %s\n---\n", log);
  std::free(log);

  program = glCreateProgramObjectARB();
  glAttachObjectARB(program, vertexShader);
  glAttachObjectARB(program, fragmentShader);
  glLinkProgramARB(program);
  log = infoLog(program);
  glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &status);
  if (status != 1) FATAL("--- Shader linking failed, log:\n %s\n---\n", log);
  std::free(log);

  // Validation depends on the GL state at load time (bound textures and the
  // like), so its verdict is not held against the program.
  glValidateProgramARB(program);
}

void ShaderProgram::use() {
  if (kind == kGlsl) {
    glUseProgramObjectARB(program);
  } else if (kind == kArb) {
    glUseProgramObjectARB(0);
    glEnable(GL_FRAGMENT_PROGRAM_ARB);
    glBindProgramARB(GL_VERTEX_PROGRAM_ARB, vertexProgram);
    glEnable(GL_VERTEX_PROGRAM_ARB);
    glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, fragmentProgram);
  } else {
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
    glDisable(GL_VERTEX_PROGRAM_ARB);
    glUseProgramObjectARB(0);
  }
}

namespace {
bool missingUniformsTolerated = false;
}  // namespace

void ShaderProgram::tolerateMissingUniforms(bool tolerate) { missingUniformsTolerated = tolerate; }

GLint ShaderProgram::uniformLocation(const char* name) {
  for (int i = 0; i < cachedUniforms_; ++i)
    if (std::strcmp(uniforms_[i].name, name) == 0) return uniforms_[i].location;
  GLint location = glGetUniformLocationARB(program, name);
  if (location == -1) {
    if (!missingUniformsTolerated) FATAL("Couldn't find uniform %s in %i", name, static_cast<int>(program));
    std::fprintf(stderr, "tinlantern: shader program %i has no uniform %s: it is left out\n",
                 static_cast<int>(program), name);
  }
  if (cachedUniforms_ < kUniformCache && std::strlen(name) < kUniformName) {
    CachedUniform& cached = uniforms_[cachedUniforms_++];
    std::strcpy(cached.name, name);
    cached.location = location;
  }
  return location;
}

void ShaderProgram::setUniform(const char* name, int value) {
  glUniform1iARB(uniformLocation(name), value);
}

void ShaderProgram::setUniform(const char* name, float value) {
  glUniform1fARB(uniformLocation(name), value);
}

void ShaderProgram::setUniform(const char* name, float x, float y, float z, float w) {
  const GLfloat value[4] = {x, y, z, w};
  glUniform4fvARB(uniformLocation(name), 1, value);
}

void ShaderProgram::setCamPos(float x, float y, float z) {
  const GLfloat value[3] = {x, y, z};
  glUniform3fvARB(uniformLocation("camPos"), 1, value);
}
