#include "util/fatal_report.h"

#include <cstdio>
#include <cstdlib>

#include "platform/messagebox.h"

void reportFatally(const Failure& failure) {
  // The readers' notes first, each on standard error as its box comes up.
  for (const FailureNote& note : failure.notes) {
    std::fprintf(stderr, "%s: %s\n", note.caption.c_str(), note.text.c_str());
    std::fflush(stderr);
    showMessageBox(note.caption, note.text, BoxButtons::Ok, BoxIcon::Error);
  }
  std::fprintf(stderr, "%s\n", failure.text.c_str());
  std::fflush(stderr);
  showMessageBox(failure.caption, failure.text, BoxButtons::Ok, BoxIcon::Error);
  std::exit(1);
}
