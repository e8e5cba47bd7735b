#pragma once
// What readers noted on this thread (util/error.h), taken, one
// "caption: text" line each, as the show's report writes them.
#include <string>

#include "util/error.h"

inline std::string takeNotesText() {
  std::string out;
  for (const FailureNote& note : takeFailureNotes()) out += note.caption + ": " + note.text + "\n";
  return out;
}
