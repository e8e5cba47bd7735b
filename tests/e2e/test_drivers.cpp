// The show is the same on every driver: Mesa pretends to be each of the
// common vendors (it changes only the GL_VENDOR string), and the frames at
// beats that use mipmapped pictures and the cube map must match Mesa's own
// within one level per channel, with no GL error on the way.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "picture.h"
#include "process.h"
#include "xvfb.h"

namespace {

TEST(Drivers, EveryVendorGetsMesasOwnFrames) {
  XvfbServer xvfb;
  ASSERT_TRUE(xvfb.running()) << "Xvfb did not start";
  char dir[] = "/tmp/tinlantern-drivers-XXXXXX";
  std::string folder = mkdtemp(dir);

  // "" is Mesa's own vendor string.
  const std::vector<std::string> vendors = {"", "NVIDIA Corporation", "ATI Technologies Inc.",
                                            "Advanced Micro Devices, Inc.", "Intel"};
  // The group logo and the landscape layers, the rain, the chrome metaballs
  // in the cube map's sky over the listing, the end text.
  const std::vector<std::string> beats = {"10", "30", "400", "560"};
  struct Run {
    size_t vendor;
    std::string beat, png;
    Child child;
  };
  std::vector<Run> runs;
  for (size_t v = 0; v < vendors.size(); ++v)
    for (const std::string& beat : beats) {
      std::vector<std::string> env = {"DISPLAY=" + xvfb.display(), "SDL_VIDEODRIVER=x11",
                                      "SDL_AUDIODRIVER=dummy"};
      if (!vendors[v].empty()) env.push_back("force_gl_vendor=" + vendors[v]);
      std::string png = folder + "/" + std::to_string(v) + "-" + beat + ".png";
      runs.push_back({v, beat, png,
                      spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--frame", beat,
                                    "--out", png, "--size", "320x180"},
                                   env)});
    }
  for (Run& run : runs) {
    EXPECT_EQ(waitProcess(run.child, 120), 0)
        << "'" << vendors[run.vendor] << "' at beat " << run.beat << ": "
        << readFile(run.child.stderrPath);
    std::string errors = readFile(run.child.stderrPath);
    EXPECT_EQ(errors.find("GL error"), std::string::npos) << errors;
  }

  for (const std::string& beat : beats) {
    Picture mesa = readPng(folder + "/0-" + beat + ".png");
    ASSERT_EQ(mesa.width, 320) << "beat " << beat;
    for (size_t v = 1; v < vendors.size(); ++v) {
      Picture other = readPng(folder + "/" + std::to_string(v) + "-" + beat + ".png");
      EXPECT_LE(largestDifference(mesa, other), 1) << vendors[v] << " at beat " << beat;
    }
  }
  std::string out;
  runCapture({"rm", "-rf", folder}, {}, out);
}

// And the multisampling: none on a software renderer unless --samples asks
// (the window is opened again without it), as many as asked otherwise.
TEST(Drivers, TheStartUpSaysTheAnisotropyItChose) {
  XvfbServer xvfb;
  ASSERT_TRUE(xvfb.running()) << "Xvfb did not start";
  char dir[] = "/tmp/tinlantern-anisotropy-XXXXXX";
  std::string folder = mkdtemp(dir);
  const std::vector<std::string> env = {"DISPLAY=" + xvfb.display(), "SDL_VIDEODRIVER=x11",
                                        "SDL_AUDIODRIVER=dummy"};
  std::vector<std::string> args = {TINLANTERN_BIN, "--batch", "--gl-debug", "--frame", "400",
                                   "--out", folder + "/f.png", "--size", "160x90"};
  Child automatic = spawnProcess(args, env);
  args[6] = folder + "/g.png";
  args.insert(args.end(), {"--anisotropy", "4", "--samples", "4"});
  Child chosen = spawnProcess(args, env);
  EXPECT_EQ(waitProcess(automatic, 60), 0);
  EXPECT_EQ(waitProcess(chosen, 60), 0);
  std::string said = readFile(automatic.stderrPath);
  EXPECT_NE(said.find("llvmpipe"), std::string::npos) << said;
  EXPECT_NE(said.find("anisotropic filtering 1x (software renderer); mipmaps filtered within one level"),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("; no multisampling (software renderer"), std::string::npos) << said;
  said = readFile(chosen.stderrPath);
  EXPECT_NE(said.find("anisotropic filtering 4x (chosen with --anisotropy)"), std::string::npos)
      << said;
  EXPECT_NE(said.find("; multisampling 4x"), std::string::npos) << said;
  // A driver without anisotropic filtering (Debian 11's Mesa) is never asked
  // for it: no GL error.
  std::vector<std::string> without = env;
  without.push_back("MESA_EXTENSION_OVERRIDE=-GL_EXT_texture_filter_anisotropic -GL_ARB_texture_filter_anisotropic");
  args[6] = folder + "/h.png";
  Child none = spawnProcess(args, without);
  EXPECT_EQ(waitProcess(none, 60), 0) << readFile(none.stderrPath);
  said = readFile(none.stderrPath);
  EXPECT_NE(said.find("anisotropic filtering 1x (the driver has none)"), std::string::npos) << said;
  EXPECT_EQ(said.find("GL error"), std::string::npos) << said;
  std::string out;
  runCapture({"rm", "-rf", folder}, {}, out);
}

// Mesa leaves out extensions on request, and GLEW then leaves their entry
// points null. Without EXT_framebuffer_object (and with it the other
// extensions Mesa's override drops) the show runs on the same functions
// under their GL 2.0 and 3.0 names, drawing exactly what it draws otherwise;
// without any render targets at all it names what is missing and ends.
TEST(Drivers, MissingExtensionsRunOnTheSameFunctionsUnderOtherNamesOrEndWithAReport) {
  XvfbServer xvfb;
  ASSERT_TRUE(xvfb.running()) << "Xvfb did not start";
  char dir[] = "/tmp/tinlantern-entry-points-XXXXXX";
  std::string folder = mkdtemp(dir);
  const std::vector<std::string> env = {"DISPLAY=" + xvfb.display(), "SDL_VIDEODRIVER=x11",
                                        "SDL_AUDIODRIVER=dummy"};
  auto frame = [&](const std::string& png, std::vector<std::string> extra) {
    extra.insert(extra.end(), env.begin(), env.end());
    return spawnProcess({TINLANTERN_BIN, "--batch", "--gl-debug", "--frame", "400", "--out",
                         folder + "/" + png, "--size", "160x90"},
                        extra);
  };
  Child plain = frame("plain.png", {});
  Child renamed = frame("renamed.png", {"MESA_EXTENSION_OVERRIDE=-GL_EXT_framebuffer_object"});
  Child lacking = frame("lacking.png", {"MESA_GL_VERSION_OVERRIDE=2.1",
                                        "MESA_EXTENSION_OVERRIDE=-GL_EXT_framebuffer_object "
                                        "-GL_ARB_framebuffer_object"});
  EXPECT_EQ(waitProcess(plain, 120), 0) << readFile(plain.stderrPath);
  EXPECT_EQ(waitProcess(renamed, 120), 0) << readFile(renamed.stderrPath);
  const std::string said = readFile(renamed.stderrPath);
  EXPECT_NE(said.find("GLEW_EXT_framebuffer_object"), std::string::npos) << said;  // the warning
  EXPECT_EQ(said.find("GL error"), std::string::npos) << said;
  Picture expected = readPng(folder + "/plain.png");
  Picture got = readPng(folder + "/renamed.png");
  ASSERT_EQ(got.width, 160);
  EXPECT_EQ(largestDifference(expected, got), 0);

  EXPECT_EQ(waitProcess(lacking, 120), 1) << readFile(lacking.stderrPath);
  const std::string report = readFile(lacking.stderrPath);
  EXPECT_NE(report.find("Error in file src/util/gl_entry_points.cpp:"), std::string::npos) << report;
  EXPECT_NE(report.find("The OpenGL driver lacks glGenFramebuffersEXT, glBindFramebufferEXT"),
            std::string::npos)
      << report;
  std::string out;
  runCapture({"rm", "-rf", folder}, {}, out);
}

}  // namespace
