#pragma once
// The show's answer to a failure (error.h): each of its notes, then its own
// text, on standard error and in a box with the caption and an OK button
// (unless boxes are off, see platform/messagebox.h), then exit code 1. Programs set it first thing:
// setFailureHandler(reportFatally).
#include "util/error.h"

[[noreturn]] void reportFatally(const Failure& failure);
