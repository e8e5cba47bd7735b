// The start-up's check of OpenGL entry points: it covers every function
// beyond 1.1 that the show's sources call, fills a missing one from its
// other names, and names what is still missing. No GL context here: GLEW's
// pointers are all null, and the tests set and clear the ones they use.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "platform/messagebox.h"
#include "util/gl_entry_points.h"

namespace {

std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The names GLEW loads from the driver, from its header.
std::set<std::string> glewFunctions() {
  std::set<std::string> names;
  const std::string header = readText("/usr/include/GL/glew.h");
  const std::regex define(R"(#define (gl[A-Z]\w*) GLEW_GET_FUN\(__glew\w+\))");
  for (std::sregex_iterator it(header.begin(), header.end(), define), end; it != end; ++it)
    names.insert((*it)[1]);
  return names;
}

// The GL names in the show's sources (the tools' own programs aside).
std::set<std::string> namesInShowSources() {
  std::set<std::string> names;
  const std::regex word(R"(\bgl[A-Z]\w*)");
  for (const auto& file : std::filesystem::recursive_directory_iterator("src")) {
    const std::string path = file.path().string();
    // The check's own stand-ins call core functions only where the driver has them.
    if (path.find("src/modelview/") == 0 || path.find("src/mvltool/") == 0 ||
        path.find("src/util/gl_entry_points.") == 0)
      continue;
    if (file.path().extension() != ".cpp" && file.path().extension() != ".h") continue;
    const std::string text = readText(file.path());
    for (std::sregex_iterator it(text.begin(), text.end(), word), end; it != end; ++it)
      names.insert(it->str());
  }
  return names;
}

std::set<std::string> checkedOrExplained() {
  std::set<std::string> names;
  for (const GlEntryPoint& point : requiredGlEntryPoints()) names.insert(point.name);
  for (const auto& optional : optionalGlEntryPoints()) names.insert(optional.first);
  return names;
}

TEST(GlEntryPoints, EveryFunctionBeyondOneOneThatTheShowCallsIsCheckedOrExplained) {
  const std::set<std::string> glew = glewFunctions();
  ASSERT_GT(glew.size(), 1000u) << "GLEW's header not read";
  const std::set<std::string> known = checkedOrExplained();
  const std::set<std::string> used = namesInShowSources();
  for (const std::string& name : used) {
    if (glew.count(name)) {
      EXPECT_TRUE(known.count(name)) << name << " is called but not checked";
    }
  }
  // And nothing is checked that the show does not call (a stale entry
  // would end the show on a driver that lacks only that).
  for (const std::string& name : known) {
    EXPECT_TRUE(used.count(name)) << name << " is checked but never called";
    EXPECT_TRUE(glew.count(name)) << name << " is no GLEW function";
  }
}

void* fake(int n) { return reinterpret_cast<void*>(uintptr_t(0x1000 + n)); }

std::vector<std::string> namesOf(const std::vector<GlEntryPoint>& points) {
  std::vector<std::string> names;
  for (const GlEntryPoint& point : points) names.push_back(point.name);
  return names;
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(GlEntryPoints, AMissingFunctionIsTakenFromItsOtherNameOrVersion) {
  // The core render-target calls of GL 3.0 stand in for the EXT ones, and
  // the ARB texture unit call for the GL 1.3 one.
  __glewBindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(fake(1));
  __glewActiveTextureARB = reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(fake(2));
  const std::vector<std::string> missing = namesOf(resolveGlEntryPoints());
  EXPECT_EQ(reinterpret_cast<void*>(__glewBindFramebufferEXT), fake(1));
  EXPECT_EQ(reinterpret_cast<void*>(__glewActiveTexture), fake(2));
  EXPECT_FALSE(contains(missing, "glBindFramebufferEXT"));
  EXPECT_FALSE(contains(missing, "glActiveTexture"));
  EXPECT_TRUE(contains(missing, "glGenFramebuffersEXT"));
  EXPECT_TRUE(contains(missing, "glGetInfoLogARB"));
  __glewBindFramebuffer = nullptr;
  __glewBindFramebufferEXT = nullptr;
  __glewActiveTextureARB = nullptr;
  __glewActiveTexture = nullptr;
}

TEST(GlEntryPoints, TheShaderObjectQueriesStandOnTheCoreQueriesOnlyWhenAllAreThere) {
  __glewIsProgram = reinterpret_cast<PFNGLISPROGRAMPROC>(fake(1));
  __glewGetProgramiv = reinterpret_cast<PFNGLGETPROGRAMIVPROC>(fake(2));
  __glewGetShaderiv = reinterpret_cast<PFNGLGETSHADERIVPROC>(fake(3));
  __glewGetProgramInfoLog = reinterpret_cast<PFNGLGETPROGRAMINFOLOGPROC>(fake(4));
  std::vector<std::string> missing = namesOf(resolveGlEntryPoints());
  EXPECT_TRUE(contains(missing, "glGetInfoLogARB"));  // no glGetShaderInfoLog
  EXPECT_TRUE(contains(missing, "glGetObjectParameterivARB"));

  __glewGetShaderInfoLog = reinterpret_cast<PFNGLGETSHADERINFOLOGPROC>(fake(5));
  missing = namesOf(resolveGlEntryPoints());
  EXPECT_FALSE(contains(missing, "glGetInfoLogARB"));
  EXPECT_FALSE(contains(missing, "glGetObjectParameterivARB"));
  EXPECT_NE(reinterpret_cast<void*>(__glewGetInfoLogARB), nullptr);
  __glewIsProgram = nullptr;
  __glewGetProgramiv = nullptr;
  __glewGetShaderiv = nullptr;
  __glewGetProgramInfoLog = nullptr;
  __glewGetShaderInfoLog = nullptr;
  __glewGetInfoLogARB = nullptr;
  __glewGetObjectParameterivARB = nullptr;
}

TEST(GlEntryPoints, TheReportNamesTheMissingOnesByWhatBringsThem) {
  EXPECT_EQ(missingEntryPointsMessage({}), "");
  EXPECT_EQ(missingEntryPointsMessage({{"glGenFramebuffersEXT", "GLEW_EXT_framebuffer_object"},
                                       {"glBindFramebufferEXT", "GLEW_EXT_framebuffer_object"},
                                       {"glDrawBuffers", "GLEW_ARB_draw_buffers"}}),
            "The OpenGL driver lacks glGenFramebuffersEXT, glBindFramebufferEXT "
            "(GLEW_EXT_framebuffer_object); glDrawBuffers (GLEW_ARB_draw_buffers), which this "
            "demo cannot run without.\n");
}

TEST(GlEntryPointsDeathTest, WithoutADriverEveryEntryPointIsMissingAndTheStartUpEnds) {
  EXPECT_EXIT((setMessageBoxesEnabled(false), checkGlEntryPoints()), testing::ExitedWithCode(1),
              "Error in file src/util/gl_entry_points.cpp:[0-9]+\n\nThe OpenGL driver lacks "
              "glActiveTexture, glClientActiveTexture, glMultiTexCoord4f \\(GL 1.3\\); glActiveTextureARB, "
              "glClientActiveTextureARB \\(GLEW_ARB_multitexture\\);.*"
              "glProgramStringARB \\(GLEW_ARB_vertex_program\\), which this demo cannot run");
}

}  // namespace
