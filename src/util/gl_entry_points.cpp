#include "util/gl_entry_points.h"

#include <GL/glew.h>

#include <algorithm>

#include "util/error.h"

namespace {

// GLEW's pointer behind a GL function's name (without its "gl").
#define GLEW_POINTER(fn) reinterpret_cast<void**>(&__glew##fn)

// GL 2.0 has no calls that take a shader or a program alike: these stand
// in for the shader-object queries over its calls for each (the queries'
// names, such as GL_OBJECT_COMPILE_STATUS_ARB, have the same values).
void GLAPIENTRY objectParameterFromCore(GLhandleARB object, GLenum name, GLint* value) {
  if (glIsProgram(object)) glGetProgramiv(object, name, value);
  else glGetShaderiv(object, name, value);
}

void GLAPIENTRY infoLogFromCore(GLhandleARB object, GLsizei size, GLsizei* length, GLcharARB* log) {
  if (glIsProgram(object)) glGetProgramInfoLog(object, size, length, log);
  else glGetShaderInfoLog(object, size, length, log);
}

bool coreObjectQueries() {
  return __glewIsProgram && __glewGetProgramiv && __glewGetShaderiv && __glewGetProgramInfoLog &&
         __glewGetShaderInfoLog;
}

void* objectParameterAdapter() {
  return coreObjectQueries() ? reinterpret_cast<void*>(&objectParameterFromCore) : nullptr;
}

void* infoLogAdapter() {
  return coreObjectQueries() ? reinterpret_cast<void*>(&infoLogFromCore) : nullptr;
}

struct Entry {
  GlEntryPoint point;
  void** pointer;
  std::vector<void**> otherNames;  // the same function, tried in order
  void* (*adapter)() = nullptr;    // last: a stand-in over other calls, if the driver has those
};

const std::vector<Entry>& entries() {
  // clang-format off
#define ENTRY(fn, provider, ...) {{"gl" #fn, provider}, GLEW_POINTER(fn), {__VA_ARGS__}}
  static const std::vector<Entry> table = {
    // Texture units.
    ENTRY(ActiveTexture, "GL 1.3", GLEW_POINTER(ActiveTextureARB)),
    ENTRY(ActiveTextureARB, "GLEW_ARB_multitexture", GLEW_POINTER(ActiveTexture)),
    ENTRY(ClientActiveTexture, "GL 1.3", GLEW_POINTER(ClientActiveTextureARB)),
    ENTRY(ClientActiveTextureARB, "GLEW_ARB_multitexture", GLEW_POINTER(ClientActiveTexture)),
    ENTRY(MultiTexCoord4f, "GL 1.3", GLEW_POINTER(MultiTexCoord4fARB)),
    ENTRY(BlendEquation, "GL 1.4", GLEW_POINTER(BlendEquationEXT)),
    ENTRY(BlendFuncSeparate, "GL 1.4", GLEW_POINTER(BlendFuncSeparateEXT)),
    // Vertex buffers.
    ENTRY(GenBuffers, "GLEW_ARB_vertex_buffer_object", GLEW_POINTER(GenBuffersARB)),
    ENTRY(BindBuffer, "GLEW_ARB_vertex_buffer_object", GLEW_POINTER(BindBufferARB)),
    ENTRY(BufferData, "GLEW_ARB_vertex_buffer_object", GLEW_POINTER(BufferDataARB)),
    ENTRY(BufferSubData, "GLEW_ARB_vertex_buffer_object", GLEW_POINTER(BufferSubDataARB)),
    ENTRY(DeleteBuffers, "GLEW_ARB_vertex_buffer_object", GLEW_POINTER(DeleteBuffersARB)),
    // Render targets.
    ENTRY(GenFramebuffersEXT, "GLEW_EXT_framebuffer_object", GLEW_POINTER(GenFramebuffers)),
    ENTRY(BindFramebufferEXT, "GLEW_EXT_framebuffer_object", GLEW_POINTER(BindFramebuffer)),
    ENTRY(FramebufferTexture2DEXT, "GLEW_EXT_framebuffer_object", GLEW_POINTER(FramebufferTexture2D)),
    ENTRY(CheckFramebufferStatusEXT, "GLEW_EXT_framebuffer_object", GLEW_POINTER(CheckFramebufferStatus)),
    ENTRY(GenRenderbuffersEXT, "GLEW_EXT_framebuffer_object", GLEW_POINTER(GenRenderbuffers)),
    ENTRY(BindRenderbufferEXT, "GLEW_EXT_framebuffer_object", GLEW_POINTER(BindRenderbuffer)),
    ENTRY(RenderbufferStorageEXT, "GLEW_EXT_framebuffer_object", GLEW_POINTER(RenderbufferStorage)),
    ENTRY(FramebufferRenderbufferEXT, "GLEW_EXT_framebuffer_object", GLEW_POINTER(FramebufferRenderbuffer)),
    ENTRY(DeleteRenderbuffersEXT, "GLEW_EXT_framebuffer_object", GLEW_POINTER(DeleteRenderbuffers)),
    ENTRY(GenerateMipmapEXT, "GLEW_EXT_framebuffer_object", GLEW_POINTER(GenerateMipmap)),
    ENTRY(DrawBuffers, "GLEW_ARB_draw_buffers", GLEW_POINTER(DrawBuffersARB), GLEW_POINTER(DrawBuffersATI)),
    // GLSL programs.
    ENTRY(CreateShaderObjectARB, "GLEW_ARB_shader_objects", GLEW_POINTER(CreateShader)),
    ENTRY(ShaderSourceARB, "GLEW_ARB_shader_objects", GLEW_POINTER(ShaderSource)),
    ENTRY(CompileShaderARB, "GLEW_ARB_shader_objects", GLEW_POINTER(CompileShader)),
    ENTRY(CreateProgramObjectARB, "GLEW_ARB_shader_objects", GLEW_POINTER(CreateProgram)),
    ENTRY(AttachObjectARB, "GLEW_ARB_shader_objects", GLEW_POINTER(AttachShader)),
    ENTRY(LinkProgramARB, "GLEW_ARB_shader_objects", GLEW_POINTER(LinkProgram)),
    ENTRY(ValidateProgramARB, "GLEW_ARB_shader_objects", GLEW_POINTER(ValidateProgram)),
    ENTRY(UseProgramObjectARB, "GLEW_ARB_shader_objects", GLEW_POINTER(UseProgram)),
    {{"glGetObjectParameterivARB", "GLEW_ARB_shader_objects"}, GLEW_POINTER(GetObjectParameterivARB), {}, objectParameterAdapter},
    {{"glGetInfoLogARB", "GLEW_ARB_shader_objects"}, GLEW_POINTER(GetInfoLogARB), {}, infoLogAdapter},
    ENTRY(GetUniformLocationARB, "GLEW_ARB_shader_objects", GLEW_POINTER(GetUniformLocation)),
    ENTRY(Uniform1iARB, "GLEW_ARB_shader_objects", GLEW_POINTER(Uniform1i)),
    ENTRY(Uniform1fARB, "GLEW_ARB_shader_objects", GLEW_POINTER(Uniform1f)),
    ENTRY(Uniform3fvARB, "GLEW_ARB_shader_objects", GLEW_POINTER(Uniform3fv)),
    ENTRY(Uniform4fvARB, "GLEW_ARB_shader_objects", GLEW_POINTER(Uniform4fv)),
    // Assembly programs.
    ENTRY(GenProgramsARB, "GLEW_ARB_vertex_program"),
    ENTRY(BindProgramARB, "GLEW_ARB_vertex_program"),
    ENTRY(ProgramStringARB, "GLEW_ARB_vertex_program"),
  };
#undef ENTRY
  // clang-format on
  return table;
}

}  // namespace

std::vector<GlEntryPoint> requiredGlEntryPoints() {
  std::vector<GlEntryPoint> points;
  for (const Entry& entry : entries()) points.push_back(entry.point);
  return points;
}

std::vector<std::pair<std::string, std::string>> optionalGlEntryPoints() {
  const char* khr = "only with GLEW_KHR_debug (--gl-debug)";
  const char* arb = "only with GLEW_ARB_debug_output (--gl-debug)";
  const char* multisampled = "only for multisampled render targets, which the show never makes";
  return {{"glDebugMessageControl", khr},
          {"glDebugMessageCallback", khr},
          {"glDebugMessageControlARB", arb},
          {"glDebugMessageCallbackARB", arb},
          {"glRenderbufferStorageMultisampleEXT", multisampled},
          {"glTexImage2DMultisample", multisampled}};
}

std::vector<GlEntryPoint> resolveGlEntryPoints() {
  std::vector<GlEntryPoint> missing;
  for (const Entry& entry : entries()) {
    for (void** other : entry.otherNames)
      if (!*entry.pointer) *entry.pointer = *other;
    if (!*entry.pointer && entry.adapter) *entry.pointer = entry.adapter();
    if (!*entry.pointer) missing.push_back(entry.point);
  }
  return missing;
}

std::string missingEntryPointsMessage(const std::vector<GlEntryPoint>& missing) {
  // Grouped by what brings them, in the order each group first comes up.
  std::vector<std::pair<std::string, std::string>> groups;  // provider, names
  for (const GlEntryPoint& point : missing) {
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& g) { return g.first == point.provider; });
    if (group == groups.end()) {
      groups.emplace_back(point.provider, point.name);
    } else {
      group->second += std::string(", ") + point.name;
    }
  }
  std::string message;
  for (const auto& group : groups) {
    if (!message.empty()) message += "; ";
    message += group.second + " (" + group.first + ")";
  }
  if (message.empty()) return message;
  return "The OpenGL driver lacks " + message + ", which this demo cannot run without.\n";
}

void checkGlEntryPoints() {
  const std::string message = missingEntryPointsMessage(resolveGlEntryPoints());
  if (!message.empty()) FATAL("%s", message.c_str());
}
