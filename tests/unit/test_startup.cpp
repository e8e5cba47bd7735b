// Start-up logic without a display: the options and the extension question.
#include <gtest/gtest.h>

#include "main_options.h"
#include "main_startup.h"

namespace {

const char* const kWarningStart = " not supported, which means this demo probably won't run";

bool parse(std::vector<const char*> args, Options& options, std::string& error) {
  args.insert(args.begin(), "tinlantern");
  return parseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(Multisampling, SoftwareRenderersGoWithoutUnlessAPersonChose) {
  EXPECT_EQ(chooseSamples("llvmpipe (LLVM 15.0.6, 256 bits)", 4, false), 0);
  EXPECT_EQ(chooseSamples("llvmpipe (LLVM 15.0.6, 256 bits)", 4, true), 4);
  EXPECT_EQ(chooseSamples("Mesa DRI swrast", 8, false), 0);
  EXPECT_EQ(chooseSamples("NVIDIA GeForce RTX 3060/PCIe/SSE2", 4, false), 4);
  EXPECT_EQ(chooseSamples("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)", 0, false), 0);
  EXPECT_EQ(chooseSamples(nullptr, 4, false), 4);  // an unknown renderer keeps the request
}

TEST(ExtensionMessage, NothingMissingAsksNothing) { EXPECT_EQ(extensionMessage({}), ""); }

TEST(ExtensionMessage, OneMissingName) {
  std::string message = extensionMessage({"GLEW_ARB_point_sprite"});
  EXPECT_EQ(message.rfind(std::string("Extension GLEW_ARB_point_sprite") + kWarningStart, 0), 0u)
      << message;
}

TEST(ExtensionMessage, SeveralMissingNamesInListOrder) {
  std::string message =
      extensionMessage({"GLEW_ARB_multitexture", "GLEW_ARB_multisample", "GLEW_ARB_depth_texture"});
  std::string names = "Extensions GLEW_ARB_multitexture, GLEW_ARB_multisample, GLEW_ARB_depth_texture";
  ASSERT_EQ(message.rfind(names + kWarningStart, 0), 0u) << message;
  // The fixed text is 418 characters, ending the question.
  std::string fixed = message.substr(names.size());
  EXPECT_EQ(fixed.size(), 418u);
  EXPECT_NE(fixed.find("press OK. \n\n(Side effects"), std::string::npos);
  const std::string end = "resulting from the erroneous use of this product.)";
  EXPECT_EQ(fixed.substr(fixed.size() - end.size()), end);
}

TEST(ExtensionMessage, CheckedExtensionsAreTheFourteenInOrder) {
  const auto& names = requiredExtensions();
  ASSERT_EQ(names.size(), 14u);
  EXPECT_EQ(names.front(), "GLEW_ARB_vertex_program");
  EXPECT_EQ(names[7], "GLEW_EXT_texture_filter_anisotropic");
  EXPECT_EQ(names.back(), "GLEW_ARB_depth_texture");
}

TEST(WindowSize, UnchosenSizeBecomesTheDesktops) {
  DesktopFormat desktop;
  desktop.width = 1920;
  desktop.height = 1200;

  VideoSettings confirmedWithoutModes;  // still -1 x -1
  fillUnchosenSize(confirmedWithoutModes, desktop);
  EXPECT_EQ(confirmedWithoutModes.width, 1920);
  EXPECT_EQ(confirmedWithoutModes.height, 1200);

  VideoSettings chosen;
  chosen.width = 800;
  chosen.height = 600;
  fillUnchosenSize(chosen, desktop);
  EXPECT_EQ(chosen.width, 800);
  EXPECT_EQ(chosen.height, 600);

  VideoSettings unknownDesktop;
  fillUnchosenSize(unknownDesktop, DesktopFormat());
  EXPECT_EQ(unknownDesktop.width, 1280);
  EXPECT_EQ(unknownDesktop.height, 720);
}

TEST(Options, NoneKeepTheDialog) {
  Options options;
  std::string error;
  ASSERT_TRUE(parse({}, options, error));
  EXPECT_FALSE(options.setsVideo());
  ASSERT_TRUE(parse({"--batch"}, options, error));
  EXPECT_TRUE(options.batch);
  EXPECT_FALSE(options.setsVideo());
}

TEST(Options, WindowOpensAWindowOverTheDefaults) {
  Options options;
  std::string error;
  ASSERT_TRUE(parse({"--window", "640x360", "--samples", "0"}, options, error)) << error;
  EXPECT_TRUE(options.setsVideo());
  VideoSettings settings;
  applyVideoOptions(options, settings);
  EXPECT_EQ(settings.width, 640);
  EXPECT_EQ(settings.height, 360);
  EXPECT_FALSE(settings.fullscreen());
  EXPECT_EQ(settings.samples, 0);
  EXPECT_EQ(settings.vsync, 1);  // not given: the dialog's default
}

TEST(Options, FullscreenKeepsTheSizeUnchosenUnlessAWindowSizeIsGiven) {
  Options options;
  std::string error;
  ASSERT_TRUE(parse({"--fullscreen", "--vsync", "0"}, options, error)) << error;
  VideoSettings settings;
  applyVideoOptions(options, settings);
  EXPECT_TRUE(settings.fullscreen());
  EXPECT_EQ(settings.width, -1);
  EXPECT_EQ(settings.vsync, 0);

  Options sized;
  ASSERT_TRUE(parse({"--window", "1024x768", "--fullscreen"}, sized, error)) << error;
  VideoSettings fullSized;
  applyVideoOptions(sized, fullSized);
  EXPECT_TRUE(fullSized.fullscreen());
  EXPECT_EQ(fullSized.width, 1024);
  EXPECT_EQ(fullSized.height, 768);
}

TEST(Options, MakerModeOpensAWindowAndPlaysLiveOnly) {
  Options options;
  std::string error;
  ASSERT_TRUE(parse({"--dev"}, options, error)) << error;
  EXPECT_TRUE(options.dev);
  EXPECT_TRUE(options.setsVideo()) << "no dialog";
  VideoSettings settings;
  settings.videoFlags |= kVideoFullscreen;
  applyVideoOptions(options, settings);
  EXPECT_FALSE(settings.fullscreen());
  EXPECT_EQ(settings.width, 1280);
  EXPECT_EQ(settings.height, 720);
  ASSERT_TRUE(parse({"--dev", "--window", "640x360", "--start", "354"}, options, error)) << error;
  VideoSettings sized;
  applyVideoOptions(options, sized);
  EXPECT_EQ(sized.width, 640);
  for (std::vector<const char*> args : std::vector<std::vector<const char*>>{
           {"--dev", "--frame", "3", "--out", "a.png"}, {"--dev", "--capture", "frames"},
           {"--dev", "--benchmark", "a.csv"}, {"--dev", "--pack"}}) {
    Options offline;
    EXPECT_FALSE(parse(args, offline, error)) << args[1];
    EXPECT_EQ(error, "--dev plays live: it excludes --frame, --capture, --benchmark and --pack");
  }
}

TEST(Options, MalformedOrUnknownOptionsAreErrors) {
  for (std::vector<const char*> args : std::vector<std::vector<const char*>>{
           {"--window"}, {"--window", "640"}, {"--window", "0x360"}, {"--window", "x"},
           {"--window", "640x-1"}, {"--samples", "6"}, {"--samples"}, {"--vsync", "yes"},
           {"--vsync", "2"}, {"--capture"}, {"-x"}, {"window"}, {"--anisotropy"},
           {"--anisotropy", "0"}, {"--anisotropy", "65"}, {"--anisotropy", "4x"}}) {
    Options options;
    std::string error;
    EXPECT_FALSE(parse(args, options, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(Options, DriverOptionsChangeNoVideoSetting) {
  Options options;
  std::string error;
  ASSERT_TRUE(parse({"--anisotropy", "4", "--gl-debug", "--no-warm-up"}, options, error)) << error;
  EXPECT_EQ(options.anisotropy, 4);
  EXPECT_TRUE(options.glDebug);
  EXPECT_FALSE(options.warmUp);
  EXPECT_FALSE(options.setsVideo()) << "the set-up dialog still asks";
  Options plain;
  EXPECT_EQ(plain.anisotropy, 0) << "chosen by the renderer";
  EXPECT_FALSE(plain.glDebug);
  EXPECT_TRUE(plain.warmUp);
}

}  // namespace
