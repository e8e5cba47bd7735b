#include "util/gl_debug.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool enabled = false;
bool polling = false;
GlMessageHandler handler = nullptr;
uint32_t errors = 0;

struct Scope {
  const char* what;
  const char* detail;
};
constexpr int kMaxDepth = 8;
Scope scopes[kMaxDepth];
int depth = 0;  // may exceed kMaxDepth: the deeper scopes are then not named

// The operations in progress, outermost first.
std::string operationText() {
  if (depth == 0) return "no named operation";
  std::string text;
  for (int i = 0; i < depth && i < kMaxDepth; ++i) {
    if (i) text += " / ";
    text += scopes[i].what;
    if (scopes[i].detail) text += std::string(" ") + scopes[i].detail;
  }
  return text;
}

const char* sourceName(GLenum source) {
  switch (source) {
    case GL_DEBUG_SOURCE_API: return "API";
    case GL_DEBUG_SOURCE_WINDOW_SYSTEM: return "window system";
    case GL_DEBUG_SOURCE_SHADER_COMPILER: return "shader compiler";
    case GL_DEBUG_SOURCE_THIRD_PARTY: return "third party";
    case GL_DEBUG_SOURCE_APPLICATION: return "application";
    default: return "other";
  }
}

const char* typeName(GLenum type) {
  switch (type) {
    case GL_DEBUG_TYPE_ERROR: return "error";
    case GL_DEBUG_TYPE_DEPRECATED_BEHAVIOR: return "deprecated";
    case GL_DEBUG_TYPE_UNDEFINED_BEHAVIOR: return "undefined behaviour";
    case GL_DEBUG_TYPE_PORTABILITY: return "portability";
    case GL_DEBUG_TYPE_PERFORMANCE: return "performance";
    case GL_DEBUG_TYPE_MARKER: return "marker";
    default: return "other";
  }
}

const char* severityName(GLenum severity) {
  switch (severity) {
    case GL_DEBUG_SEVERITY_HIGH: return "high";
    case GL_DEBUG_SEVERITY_MEDIUM: return "medium";
    case GL_DEBUG_SEVERITY_LOW: return "low";
    default: return "notification";
  }
}

const char* errorName(GLenum error) {
  switch (error) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    default: return "unknown GL error";
  }
}

void deliver(GlMessage& message) {
  std::string operation = operationText();
  message.operation = operation.c_str();
  if (message.error) ++errors;
  (handler ? handler : printGlMessage)(message);
}

void GLAPIENTRY onDebugMessage(GLenum source, GLenum type, GLuint id, GLenum severity,
                               GLsizei length, const GLchar* text, const void*) {
  std::string words = length < 0 ? std::string(text) : std::string(text, static_cast<size_t>(length));
  // A shader that does not compile is the program's own failure, with the
  // compiler's log (ShaderProgram): the driver's word on it is no GL error
  // (maker mode goes on with the previous shader).
  const bool error = (type == GL_DEBUG_TYPE_ERROR || type == GL_DEBUG_TYPE_UNDEFINED_BEHAVIOR) &&
                     source != GL_DEBUG_SOURCE_SHADER_COMPILER;
  GlMessage message = {error,
                       sourceName(source),
                       typeName(type),
                       severityName(severity),
                       id,
                       words.c_str(),
                       nullptr};
  deliver(message);
}

// The default handler's memory of what it printed: a message (by id and
// operation) is shown three times, then only counted.
struct Seen {
  uint32_t id;
  std::string operation;
  int times;
};
std::vector<Seen>* seen = nullptr;

}  // namespace

bool enableGlDebug(GlDebugMode mode) {
  enabled = true;
  polling = true;
  while (glGetError() != GL_NO_ERROR) {
  }
  if (mode == GlDebugMode::Auto && GLEW_KHR_debug) {
    glEnable(GL_DEBUG_OUTPUT);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);  // the callback runs inside the faulty call
    glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_TRUE);
    glDebugMessageCallback(onDebugMessage, nullptr);
    polling = false;
  } else if (mode == GlDebugMode::Auto && GLEW_ARB_debug_output) {
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS_ARB);
    glDebugMessageControlARB(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_TRUE);
    glDebugMessageCallbackARB(onDebugMessage, nullptr);
    polling = false;
  }
  return !polling;
}

void disableGlDebug() {
  if (enabled && !polling) {
    if (GLEW_KHR_debug) {
      glDebugMessageCallback(nullptr, nullptr);
      glDisable(GL_DEBUG_OUTPUT);
    } else {
      glDebugMessageCallbackARB(nullptr, nullptr);
    }
  }
  enabled = false;
  polling = false;
}

bool glDebugEnabled() { return enabled; }

GlMessageHandler setGlMessageHandler(GlMessageHandler h) {
  GlMessageHandler previous = handler;
  handler = h;
  return previous;
}

void printGlMessage(const GlMessage& message) {
  if (!seen) seen = new std::vector<Seen>;
  Seen* entry = nullptr;
  for (Seen& s : *seen)
    if (s.id == message.id && s.operation == message.operation) entry = &s;
  if (!entry) {
    seen->push_back({message.id, message.operation, 0});
    entry = &seen->back();
  }
  if (++entry->times > 3) return;
  std::fprintf(stderr, "tinlantern: GL %s in %s: %s (%s, %s, id %u)%s\n",
               message.error ? "error" : "message", message.operation, message.text,
               message.source, message.type, message.id,
               entry->times == 3 ? "; further repeats not shown" : "");
}

GlOperation::GlOperation(const char* what, const char* detail) {
  if (depth < kMaxDepth) scopes[depth] = {what, detail};
  ++depth;
}

GlOperation::~GlOperation() { --depth; }

void checkGlErrors() {
  if (!enabled || !polling) return;
  // Each error flag is reported once; glGetError clears one per call.
  for (int i = 0; i < 16; ++i) {
    GLenum error = glGetError();
    if (error == GL_NO_ERROR) return;
    GlMessage message = {true, "glGetError", "error", "high", error, errorName(error), nullptr};
    deliver(message);
  }
}

uint32_t glErrorCount() { return errors; }

int glDebugExitCode(int code) {
  if (!enabled || errors == 0) return code;
  std::fprintf(stderr, "tinlantern: OpenGL reported %u error%s\n", errors, errors == 1 ? "" : "s");
  return 1;
}
