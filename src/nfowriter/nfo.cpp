#include "nfowriter/nfo.h"

#include <sstream>
#include <vector>

#include "main_options.h"
#include "main_startup.h"
#include "scenes/invitation.h"

namespace Nfo {

namespace {

constexpr const char* kTitle = "T I N   L A N T E R N";
constexpr const char* kGroup = "Morvella";

std::string centred(const std::string& line) {
  int pad = (kColumns - static_cast<int>(line.size())) / 2;
  return std::string(pad > 0 ? static_cast<size_t>(pad) : 0, ' ') + line;
}

// `text` broken into lines of at most kColumns, each starting with `indent`.
std::string wrapped(const std::string& text, const std::string& indent) {
  std::istringstream words(text);
  std::string word, line, out;
  while (words >> word) {
    if (!line.empty() && line.size() + 1 + word.size() > static_cast<size_t>(kColumns)) {
      out += line + "\n";
      line.clear();
    }
    line += line.empty() ? indent + word : " " + word;
  }
  if (!line.empty()) out += line + "\n";
  return out;
}

std::string heading(const std::string& title) {
  return "\n" + title + "\n" + std::string(title.size(), '-') + "\n";
}

// "GLEW_ARB_vertex_program" -> "GL_ARB_vertex_program"
std::string extensionName(const std::string& flag) {
  return flag.compare(0, 5, "GLEW_") == 0 ? "GL_" + flag.substr(5) : flag;
}

std::string running(const std::string& version, const std::string& platforms) {
  std::string out = heading("RUNNING IT");
  if (platforms.find("linux") != std::string::npos) {
    std::string folder = "tinlantern-" + version + "-linux-x86_64";
    out += "  Linux (x86-64; Debian 11, Ubuntu 20.04 or anything newer):\n\n";
    out += "    tar xf " + folder + ".tar.gz\n";
    out += "    ./" + folder + "/tinlantern\n\n";
    out += wrapped("or open tinlantern in a file manager. It needs nothing installed beyond what a "
                   "desktop has (OpenGL, X11, ALSA); where GTK 3 is missing the set-up dialog is "
                   "skipped and the show starts with its defaults.",
                   "  ");
  }
  if (platforms.find("windows") != std::string::npos) {
    std::string folder = "tinlantern-" + version + "-windows-x64";
    out += "\n  Windows (64-bit):\n\n";
    out += "    unpack " + folder + ".zip and run tinlantern.exe\n\n";
    out += wrapped("It needs no runtime or other package installed.", "  ");
  }
  out += "\n";
  out += wrapped("A small dialog asks for the resolution, anti-aliasing, full screen and vertical "
                 "sync; Run it starts the show. Escape or closing the window ends it; so does the "
                 "end of the music.",
                 "  ");
  return out;
}

std::string options() {
  std::string out = heading("OPTIONS");
  std::istringstream usage(usageText());
  std::string line;
  while (std::getline(usage, line)) out += line.empty() ? "\n" : "  " + line + "\n";
  return out;
}

std::string needs() {
  std::string out = heading("WHAT IT NEEDS");
  out += wrapped("An OpenGL 2 graphics card and driver with these extensions (the program checks "
                 "them when it starts and asks before going on without one):",
                 "  ");
  std::string list;
  for (const std::string& flag : requiredExtensions()) list += extensionName(flag) + " ";
  out += wrapped(list, "    ");
  out += "\n";
  out += wrapped("Measured: every scene's median frame time 18 to 22 ms at 640x360 on Mesa's "
                 "llvmpipe software renderer with two CPU cores (the timedemo, --benchmark); the "
                 "loading takes under a second there. Graphics cards have not been measured yet.",
                 "  ");
  return out;
}

std::string licences() {
  std::string out = heading("LICENCES");
  out += wrapped("Music: composed for the show and played with the FluidR3 General MIDI "
                 "SoundFont (Copyright 2000-2002, 2008 Frank Wen; 2008 Toby Smithe; MIT licence).",
                 "  ");
  out += "\n";
  out += wrapped("Fonts: Bebas Neue Bold (SIL Open Font License 1.1); Liberation Mono and "
                 "Liberation Serif (GNU GPL 2 with Red Hat's font exception); League Spartan and "
                 "Comfortaa in the logos (SIL Open Font License 1.1); DejaVu Sans Mono in the "
                 "character chart (Bitstream Vera licence).",
                 "  ");
  out += "\n";
  out += wrapped("Libraries inside the program: SDL2 (zlib licence), GLEW (modified BSD, MIT), "
                 "FreeType (FreeType licence), FTGL (MIT), libjpeg-turbo (IJG, modified BSD; this "
                 "software is based in part on the work of the Independent JPEG Group), TinyXML "
                 "(zlib licence), libogg and libvorbis (BSD), libpng (libpng licence), zlib (zlib "
                 "licence); beside it mpg123 (LGPL 2.1), which may be replaced by another build "
                 "of the same version. Their full texts are in the licences folder.",
                 "  ");
  return out;
}

}  // namespace

std::string text(const std::string& version, const std::string& platforms) {
  std::string out;
  out += "\n" + centred(kTitle) + "\n\n";
  out += centred(std::string("an invitation by ") + kGroup + " to " + Invitation::kPartyName) + "\n";
  out += centred(Invitation::kEventLine) + "\n";
  out += centred("version " + version) + "\n";

  out += heading("THE PARTY");
  out += "  " + std::string(Invitation::kPartyName) + "\n";
  out += "  " + std::string(Invitation::kDatesLine) + "\n";
  out += "  " + std::string(Invitation::kVenueLine) + "\n";
  out += "  " + std::string(Invitation::kWebAddress) + "\n";

  out += heading("COMPETITIONS");
  for (const char* category : Invitation::kCategories) out += "  " + std::string(category) + "\n";

  out += heading("CREDITS");
  for (const Invitation::Credit& credit : Invitation::kCredits) {
    std::string role = credit.role;
    std::string dots(role.size() < 26 ? 26 - role.size() : 1, '.');
    out += "  " + role + " " + dots + " " + credit.handle + "\n";
  }

  out += running(version, platforms);
  out += options();
  out += needs();
  out += licences();
  return out;
}

}  // namespace Nfo
