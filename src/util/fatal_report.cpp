#include "util/fatal_report.h"

#include <cstdio>
#include <cstdlib>

#include "platform/messagebox.h"

void reportFatally(const Failure& failure) {
  std::fprintf(stderr, "%s\n", failure.text.c_str());
  std::fflush(stderr);
  showMessageBox(failure.caption, failure.text, BoxButtons::Ok, BoxIcon::Error);
  std::exit(1);
}
