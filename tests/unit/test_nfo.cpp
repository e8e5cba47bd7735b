// The release's nfo: 80 columns at most, and everything it must say taken
// from the program's own texts.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "main_options.h"
#include "main_startup.h"
#include "nfowriter/nfo.h"
#include "scenes/invitation.h"

namespace {

bool says(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

TEST(Nfo, FitsEightyColumnsOfPlainText) {
  for (const char* platforms : {"linux", "windows", "linux,windows"}) {
    std::istringstream lines(Nfo::text("12.34.56", platforms));
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
      ++number;
      EXPECT_LE(line.size(), 80u) << platforms << " line " << number << ": " << line;
      for (char c : line) EXPECT_TRUE(c >= 32 && c < 127) << "line " << number << ": " << line;
    }
    EXPECT_GT(number, 60);
  }
}

TEST(Nfo, SaysWhatTheShowSays) {
  std::string text = Nfo::text("12.34.56", "linux");
  EXPECT_TRUE(says(text, "version 12.34.56"));
  for (const char* line : {Invitation::kPartyName, Invitation::kDatesLine, Invitation::kVenueLine,
                           Invitation::kWebAddress, Invitation::kEventLine})
    EXPECT_TRUE(says(text, line)) << line;
  for (const char* category : Invitation::kCategories) EXPECT_TRUE(says(text, category)) << category;
  for (const Invitation::Credit& credit : Invitation::kCredits) {
    // The role and its handle on one line.
    std::istringstream lines(text);
    std::string line;
    bool found = false;
    while (std::getline(lines, line)) found |= says(line, credit.role) && says(line, credit.handle);
    EXPECT_TRUE(found) << credit.role << " " << credit.handle;
  }
  // Every option of the usage, and every extension the start-up checks.
  std::istringstream usage(usageText());
  std::string word;
  while (usage >> word) {
    if (word.compare(0, 2, "--") == 0) EXPECT_TRUE(says(text, word)) << word;
  }
  for (const std::string& flag : requiredExtensions())
    EXPECT_TRUE(says(text, "GL_" + flag.substr(5))) << flag;
  // The licences, however the paragraphs wrap.
  std::istringstream words(text);
  std::string flowing;
  while (words >> word) flowing += word + " ";
  for (const char* licence : {"FluidR3 General MIDI SoundFont", "MIT licence", "SIL Open Font License 1.1",
                              "Independent JPEG Group", "mpg123 (LGPL 2.1)"})
    EXPECT_TRUE(says(flowing, licence)) << licence;
}

TEST(Nfo, SaysHowToStartTheShowOnEachPlatformItIsFor) {
  std::string linux = Nfo::text("1.2.3", "linux");
  std::string windows = Nfo::text("1.2.3", "windows");
  std::string both = Nfo::text("1.2.3", "linux,windows");
  EXPECT_TRUE(says(linux, "tinlantern-1.2.3-linux-x86_64.tar.gz"));
  EXPECT_FALSE(says(linux, "tinlantern.exe"));
  EXPECT_TRUE(says(windows, "tinlantern-1.2.3-windows-x64.zip"));
  EXPECT_TRUE(says(windows, "tinlantern.exe"));
  EXPECT_FALSE(says(windows, ".tar.gz"));
  EXPECT_TRUE(says(both, ".tar.gz") && says(both, "tinlantern.exe"));
}

}  // namespace
