#include "platform/gtk_session.h"

#include <clocale>
#include <cstdlib>

bool gtkSessionOpen() {
  static int state = -1;  // -1 not tried yet, 0 failed, 1 open
  if (state < 0) {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    bool hasDisplay = (x11 && *x11) || (wayland && *wayland);
    state = hasDisplay && gtk_init_check(nullptr, nullptr) ? 1 : 0;
    // GTK takes on the user's locale. The data files write numbers with a
    // decimal point, and the C library reads them (sscanf, strtof) by the
    // numeric locale: under a decimal comma "0.25" would read as 0.
    std::setlocale(LC_NUMERIC, "C");
  }
  return state == 1;
}

void gtkSessionFlush() {
  while (gtk_events_pending()) gtk_main_iteration();
}
