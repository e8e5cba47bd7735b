#pragma once
// A vertex and fragment program pair that the renderer switches on with one
// call: GLSL (through the ARB shader-object entry points) or ARB program text.
// The kind follows from the sources: a vertex source beginning "!!ARB" makes
// an ARB program pair, anything else is GLSL.
//
// Built during loading with the GL context current; every failure (missing
// file, compile or link error, missing uniform) is fatal with the driver's log.
// GL objects are never deleted: programs live as long as the show.
#include <GL/glew.h>

#include <cstddef>

class ShaderProgram {
 public:
  // Reads both sources (each by its own name, else under data/common/shaders/),
  // builds the program and frees the sources. With either name null nothing
  // is built and `program` is 0: the "fixed function" program.
  ShaderProgram(const char* vertexFile, const char* fragmentFile);

  // Makes this program current. GLSL: the program object. ARB: both ARB
  // program targets enabled and bound. Anything else: all shading off.
  void use();

  // Uniform setters for the GLSL kind; the caller calls use() first. A name
  // the linked program lacks (also one the compiler optimised away) is fatal.
  // Locations are asked of the driver once per name and kept (the first
  // kUniformCache names of up to kUniformName - 1 characters), so setting
  // uniforms every frame costs no look-up and allocates nothing.
  void setUniform(const char* name, int value);
  void setUniform(const char* name, float value);
  void setUniform(const char* name, float x, float y, float z, float w);
  void setCamPos(float x, float y, float z);  // the fixed uniform "camPos"

  // Text of a shader file, zero-terminated, allocated with malloc (the caller
  // frees it), or null when neither name nor data/common/shaders/name opens.
  static char* readShaderFile(const char* name);

  GLhandleARB vertexShader = 0;    // GLSL only
  GLhandleARB fragmentShader = 0;  // GLSL only
  GLhandleARB program = 0;         // GLSL; 0 without file names
  GLuint vertexProgram = 0;        // ARB only
  GLuint fragmentProgram = 0;      // ARB only
  GLint kind = 0;                  // kGlsl or kArb

  static constexpr GLint kGlsl = 0;
  static constexpr GLint kArb = 1;

  // A uniform the program does not have is fatal. Maker mode, where a
  // shader being edited often leaves one out, tolerates it instead: said
  // once on standard error, then set nowhere (as GL sets location -1).
  static void tolerateMissingUniforms(bool tolerate);

 private:
  void buildGlsl(const char* vertexSource, const char* fragmentSource);
  void buildArb(const char* vertexSource, const char* fragmentSource);
  GLint uniformLocation(const char* name);

  static constexpr int kUniformCache = 16;
  static constexpr size_t kUniformName = 32;
  struct CachedUniform {
    char name[kUniformName];
    GLint location;
  };
  CachedUniform uniforms_[kUniformCache] = {};
  int cachedUniforms_ = 0;
};
