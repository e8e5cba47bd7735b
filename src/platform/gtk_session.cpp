#include "platform/gtk_session.h"

#include <cstdlib>

bool gtkSessionOpen() {
  static int state = -1;  // -1 not tried yet, 0 failed, 1 open
  if (state < 0) {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    bool hasDisplay = (x11 && *x11) || (wayland && *wayland);
    state = hasDisplay && gtk_init_check(nullptr, nullptr) ? 1 : 0;
  }
  return state == 1;
}

void gtkSessionFlush() {
  while (gtk_events_pending()) gtk_main_iteration();
}
