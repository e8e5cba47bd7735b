#pragma once
// The release's tinlantern.nfo: the production, the party, its competitions,
// the credits, how to run the show, its options and needs, and the licences,
// as plain text of at most 80 columns. Written from the program's own texts
// (the invitation's words, the usage, the extensions the start-up checks),
// so the two cannot disagree.
#include <string>

namespace Nfo {

constexpr int kColumns = 80;

// `version` is the program's; `platforms` the lines that say how to start
// the show on the platforms the release is for ("linux", "windows", or both
// joined by a comma).
std::string text(const std::string& version, const std::string& platforms);

}  // namespace Nfo
