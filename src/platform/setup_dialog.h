#pragma once
// The modal set-up dialog (GTK 3 on Linux, opened at run time; Win32 on Windows): resolution,
// anti-aliasing, full screen and vertical sync. Its rules live in SetupDialogModel; this is the
// view.
#include <vector>

#include "platform/setup_dialog_model.h"

// Runs the dialog over `settings` and returns the id of the button that
// closed it: SetupDialogModel::kRun, or kCancel (also for closing the window).
// When the dialog cannot be shown (on Linux without a display or without
// GTK 3; on Windows when the system refuses to open it), the model
// opens, writes its defaults back (the largest mode, full screen, 4x
// anti-aliasing, vertical sync), says so on standard error and the result is
// kRun, so the show starts as it would have with the dialog confirmed
// untouched.
int runSetupDialog(VideoSettings& settings, ModeQuery query, const std::vector<DisplayMode>& modes);
