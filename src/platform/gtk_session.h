#pragma once
// GTK is opened lazily, once, by whichever window of ours needs it first
// (the set-up dialog or a message box).
#include <gtk/gtk.h>

// Opens GTK on the current display; false when there is no display to open.
bool gtkSessionOpen();

// Handles pending GTK events, so that a closed dialog really leaves the screen.
void gtkSessionFlush();
