#pragma once
// OpenGL error and driver-message reports, for the people who make and test
// the show (--gl-debug).
//
// Every message is reported with the operation in progress, which the code
// names with GlOperation scopes ("Credits / draw", "loading Credits /
// texture data/credits/rain.png"). Where the driver has KHR_debug, messages
// arrive through its callback at the very call that caused them; elsewhere
// glGetError is polled at every checkGlErrors (after each scene's load, its
// state reset and its draw, and at the end of each frame). Switched off,
// scopes cost two stores and checkGlErrors returns at once.
#include <cstdint>

struct GlMessage {
  bool error;             // an OpenGL error or undefined behaviour; otherwise a notice
  const char* source;     // "API", "shader compiler", ... or "glGetError"
  const char* type;       // "error", "performance", ...
  const char* severity;   // "high", "medium", "low", "notification"
  uint32_t id;            // the driver's message id, or the GL error code
  const char* text;       // the driver's words
  const char* operation;  // the operations in progress, outermost first, joined by " / "
};

enum class GlDebugMode {
  Auto,  // KHR_debug where the driver has it, else glGetError
  Poll,  // glGetError only
};

// Starts reporting (the context must be current); true when KHR_debug is used.
bool enableGlDebug(GlDebugMode mode = GlDebugMode::Auto);
// Stops reporting (for tests that switch modes).
void disableGlDebug();
bool glDebugEnabled();

// Receives every message. The default handler prints one line on standard
// error, "tinlantern: GL error in OPERATION: TEXT" (or "GL message"), and
// stops repeating a message after its third time in the same operation.
using GlMessageHandler = void (*)(const GlMessage& message);
// Installs a handler (null: the default) and returns the one it replaces.
GlMessageHandler setGlMessageHandler(GlMessageHandler handler);
void printGlMessage(const GlMessage& message);

// Names an operation for the lifetime of the scope. Scopes nest (up to eight
// deep); `what` and `detail` must outlive the scope (string literals, names
// kept by their owners).
class GlOperation {
 public:
  explicit GlOperation(const char* what, const char* detail = nullptr);
  ~GlOperation();
  GlOperation(const GlOperation&) = delete;
  GlOperation& operator=(const GlOperation&) = delete;
};

// Reports what glGetError holds, under the current operation, when polling.
void checkGlErrors();

// Errors reported since start (notices are not counted).
uint32_t glErrorCount();
// The exit code for a program about to end with `code`: with errors seen, a
// summary line on standard error and 1.
int glDebugExitCode(int code);
