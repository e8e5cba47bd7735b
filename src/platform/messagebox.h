#pragma once
// Modal message boxes without an owner window (GTK 3 on Linux, opened at run
// time; Win32 on Windows).
//
// Boxes can be switched off for runs that nobody watches (--batch) and are
// never shown without a display; then showMessageBox returns at once and
// answers OK, and the caller's text must already be on standard error.
#include <string>

enum class BoxButtons { Ok, OkCancel };
enum class BoxIcon { Error, Question };

void setMessageBoxesEnabled(bool enabled);

// True when a box would really be shown: boxes are on and a display can be
// opened (Windows always has one).
bool messageBoxesAvailable();

// Shows the box and waits for the answer: true for OK, false for anything else.
bool showMessageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                    BoxIcon icon);
