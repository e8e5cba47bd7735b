#pragma once
// Single frames of the show (--frame) at chosen beats, each rendered by its
// own process, all at once, on a private X server.
#include <map>
#include <string>
#include <vector>

#include "picture.h"

// Renders every beat at `size` ("320x180") with --batch and --gl-debug;
// a failed render is a test failure that names the beat and holds the
// program's standard error, and leaves that beat's picture empty.
std::map<std::string, Picture> renderFrames(const std::vector<std::string>& beats,
                                            const std::string& size = "320x180");
