#include "platform/linux/gtk_session.h"

#include <dlfcn.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kLibrary = "libgtk-3.so.0";

// GTK's functions from the installed library; false (and said why) when the
// library or one of them is missing.
bool loadGtk(GtkApi& api) {
  void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "tinlantern: GTK 3 is not installed (%s)\n", dlerror());
    return false;
  }
  bool complete = true;
#define TL_GTK_LOAD(ret, name, args)                                               \
  api.name = reinterpret_cast<ret(*) args>(dlsym(library, #name));                 \
  if (!api.name) {                                                                 \
    std::fprintf(stderr, "tinlantern: %s lacks %s\n", kLibrary, #name);            \
    complete = false;                                                              \
  }
  TL_GTK_FUNCTIONS(TL_GTK_LOAD)
#undef TL_GTK_LOAD
  // GTK stays loaded: it cannot be unloaded once it has run.
  return complete;
}

}  // namespace

const GtkApi* gtkSessionOpen() {
  static GtkApi api;
  static int state = -1;  // -1 not tried yet, 0 failed, 1 open
  if (state < 0) {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    bool hasDisplay = (x11 && *x11) || (wayland && *wayland);
    state = hasDisplay && loadGtk(api) && api.gtk_init_check(nullptr, nullptr) ? 1 : 0;
    // GTK takes on the user's locale. The data files write numbers with a
    // decimal point, and the C library reads them (sscanf, strtof) by the
    // numeric locale: under a decimal comma "0.25" would read as 0.
    std::setlocale(LC_NUMERIC, "C");
  }
  return state == 1 ? &api : nullptr;
}

void gtkSessionFlush() {
  const GtkApi* gtk = gtkSessionOpen();
  if (!gtk) return;
  while (gtk->gtk_events_pending()) gtk->gtk_main_iteration();
}
