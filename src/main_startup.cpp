#include "main_startup.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>

#include "platform/messagebox.h"
#include "platform/setup_dialog.h"
#include "platform/video.h"
#include "scenes/depth_of_field.h"
#include "util/error.h"
#include "util/gl_debug.h"
#include "util/gl_entry_points.h"
#include "util/texture/texture.h"
#include "util/video_settings.h"

namespace {

const char* const kCaption = "Morvella - Tin Lantern";

const char* const kExtensionWarning =
    " not supported, which means this demo probably won't run very well or at all. If you still "
    "want to risk it, press OK. \n\n(Side effects may include bubonic plague, outbreaks of "
    "cholera, Spontaneous Massive Existence Failures and other conditions too horrible for mere "
    "words. The author of this application does not take responsibility for any damages, "
    "injuries or death resulting from the erroneous use of this product.)";

// GLEW's flags, valid once glewInit has run, in the order of requiredExtensions.
std::vector<bool> extensionFlags() {
  return {GLEW_ARB_vertex_program != 0,        GLEW_ARB_fragment_program != 0,
          GLEW_ARB_multitexture != 0,          GLEW_ARB_vertex_shader != 0,
          GLEW_ARB_fragment_shader != 0,       GLEW_ARB_multisample != 0,
          GLEW_ARB_point_sprite != 0,          GLEW_EXT_texture_filter_anisotropic != 0,
          GLEW_ARB_vertex_buffer_object != 0,  GLEW_EXT_framebuffer_object != 0,
          GLEW_ARB_texture_non_power_of_two != 0, GLEW_ARB_texture_float != 0,
          GLEW_ARB_draw_buffers != 0,          GLEW_ARB_depth_texture != 0};
}

}  // namespace

const std::vector<std::string>& requiredExtensions() {
  static const std::vector<std::string> names = {
      "GLEW_ARB_vertex_program",
      "GLEW_ARB_fragment_program",
      "GLEW_ARB_multitexture",
      "GLEW_ARB_vertex_shader",
      "GLEW_ARB_fragment_shader",
      "GLEW_ARB_multisample",
      "GLEW_ARB_point_sprite",
      "GLEW_EXT_texture_filter_anisotropic",
      "GLEW_ARB_vertex_buffer_object",
      "GLEW_EXT_framebuffer_object",
      "GLEW_ARB_texture_non_power_of_two",
      "GLEW_ARB_texture_float",
      "GLEW_ARB_draw_buffers",
      "GLEW_ARB_depth_texture",
  };
  return names;
}

std::string extensionMessage(const std::vector<std::string>& missing) {
  if (missing.empty()) return std::string();
  std::string message = missing.size() == 1 ? "Extension " : "Extensions ";
  message += missing[0];
  for (size_t i = 1; i < missing.size(); ++i) message += ", " + missing[i];
  return message + kExtensionWarning;
}

void checkGlExtensions() {
  std::vector<bool> present = extensionFlags();
  std::vector<std::string> missing;
  for (size_t i = 0; i < present.size(); ++i)
    if (!present[i]) missing.push_back(requiredExtensions()[i]);
  std::string message = extensionMessage(missing);
  if (message.empty()) return;

  std::fprintf(stderr, "Missing extension(s)\n\n%s\n", message.c_str());
  if (!messageBoxesAvailable()) return;  // nobody to ask: go on and risk it
  if (!showMessageBox("Missing extension(s)", message, BoxButtons::OkCancel, BoxIcon::Question))
    std::exit(1);
}

void fillUnchosenSize(VideoSettings& settings, const DesktopFormat& desktop) {
  if (settings.width > 0 && settings.height > 0) return;
  bool known = desktop.width > 0 && desktop.height > 0;
  settings.width = known ? desktop.width : 1280;
  settings.height = known ? desktop.height : 720;
}

namespace {

void startGlew() {
  GLenum glew = glewInit();
  // Without GLX (the offscreen driver) GLEW still loads every GL entry point
  // and only fails to find the GLX display: that is fine for drawing.
  if (glew != GLEW_OK && !(glew == GLEW_ERROR_NO_GLX_DISPLAY && !videoUsesGlx()))
    FATAL("GLEW Error: %s\n", reinterpret_cast<const char*>(glewGetErrorString(glew)));
}

}  // namespace

int chooseSamples(const char* renderer, int requested, bool chosen) {
  return chosen || !isSoftwareRenderer(renderer) ? requested : 0;
}

bool startVideo(const Options& options) {
  if (!videoInit()) FATAL("Video initialization failed: %s\n", videoError().c_str());
  DesktopFormat desktop = desktopFormat();

  applyVideoOptions(options, videoSettings);
  bool samplesChosen = options.samples >= 0;
  if (!options.setsVideo() && !options.batch) {
    samplesChosen = true;
    std::vector<DisplayMode> modes;
    ModeQuery query = fullscreenModes(modes);
    if (runSetupDialog(videoSettings, query, modes) != SetupDialogModel::kRun) return false;
  }
  fillUnchosenSize(videoSettings, desktop);

  requestGlAttributes(videoSettings.samples, videoSettings.vsync);
  requestGlDebugContext(options.glDebug);
  videoSettings.videoFlags |= kVideoOpenGL | kVideoResizable;
  if (!openVideoWindow(kCaption, videoSettings.width, videoSettings.height, desktop,
                       videoSettings.videoFlags))
    FATAL("Video mode set failed: %s\n", videoError().c_str());

  startGlew();
  const int samples = chooseSamples(reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                                    videoSettings.samples, samplesChosen);
  if (samples != videoSettings.samples) {
    videoSettings.samples = samples;
    // A window that fell back to none already (Xvfb without such visuals) stays.
    GLint has = 0;
    glGetIntegerv(GL_SAMPLES, &has);
    if (has > samples) {
      if (!reopenVideoWindow(samples)) FATAL("Video mode set failed: %s\n", videoError().c_str());
      startGlew();
    }
  }
  showVideoWindow();

  if (options.glDebug) {
    bool khr = enableGlDebug();
    std::fprintf(stderr, "tinlantern: GL debug output through %s\n",
                 khr ? "KHR_debug" : "glGetError after each scene");
  }

  checkGlExtensions();
  checkGlEntryPoints();  // whatever the answer: nothing may call a missing one
  configureDriver(options);
  if (videoSettings.fullscreen()) setCursorVisible(false);
  return true;
}

namespace {

// What the batch line says of the window's multisampling.
std::string multisamplingSaid(const char* renderer, const Options& options) {
  GLint samples = 0;
  glGetIntegerv(GL_SAMPLES, &samples);
  if (samples > 0) return "multisampling " + std::to_string(samples) + "x";
  if (videoSettings.samples == 0 && options.samples < 0 && isSoftwareRenderer(renderer))
    return "no multisampling (software renderer; --samples asks for it)";
  return "no multisampling";
}

}  // namespace

void configureDriver(const Options& options) {
  const char* vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  GLfloat maximum = 1.0f;
  const bool supported = anisotropicFilteringSupported();
  if (supported) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maximum);
  float anisotropy = chooseAnisotropy(renderer, maximum, options.anisotropy);
  setTextureAnisotropy(anisotropy);
  const bool software = isSoftwareRenderer(renderer);
  setMipmapBlending(!software);
  DepthOfField::setReflectionDivisor(software ? 2 : 1);
  if (options.batch)
    std::fprintf(stderr, "tinlantern: OpenGL %s, %s (%s); anisotropic filtering %gx (%s); %s; %s\n",
                 glGetString(GL_VERSION), renderer ? renderer : "?", vendor ? vendor : "?",
                 anisotropy,
                 !supported                     ? "the driver has none"
                 : options.anisotropy > 0       ? "chosen with --anisotropy"
                 : software                     ? "software renderer"
                                                : "the driver's maximum",
                 software ? "mipmaps filtered within one level (software renderer)" : "trilinear filtering",
                 multisamplingSaid(renderer, options).c_str());
}
