#pragma once
// The modal set-up dialog (GTK 3, opened at run time): resolution, anti-aliasing, full screen
// and vertical sync. Its rules live in SetupDialogModel; this is the view.
#include <vector>

#include "platform/setup_dialog_model.h"

// Runs the dialog over `settings` and returns the id of the button that
// closed it: SetupDialogModel::kRun, or kCancel (also for closing the window).
// Without a display or without GTK 3 the dialog cannot be shown: the model
// opens, writes its defaults back (the largest mode, full screen, 4x
// anti-aliasing, vertical sync), says so on standard error and the result is
// kRun, so the show starts as it would have with the dialog confirmed
// untouched.
int runSetupDialog(VideoSettings& settings, ModeQuery query, const std::vector<DisplayMode>& modes);
