#pragma once
// The OpenGL entry points beyond version 1.1 that the show calls, checked
// once at start-up, after GLEW has loaded what the driver offers.
//
// GLEW loads an extension's or a version's functions only when the driver
// reports it, so a driver without an extension leaves its pointers null and
// the first call through one ends the program with a segmentation fault. The
// check first fills each missing pointer from the same function under
// another name (the ARB or EXT form of a core function, or the other way
// round), so a driver that has it as, say, glBindFramebuffer of GL 3.0 but
// not as glBindFramebufferEXT runs the show; what is still missing then is
// reported, by name, before anything is loaded.
#include <string>
#include <vector>

struct GlEntryPoint {
  const char* name;      // as the show calls it
  const char* provider;  // the extension (by GLEW's name) or GL version that brings it
};

// Every entry point the show needs, in the order they are checked.
std::vector<GlEntryPoint> requiredGlEntryPoints();

// Entry points the show names but calls only where the driver has what
// brings them (the debug output of --gl-debug) or never reaches (multisampled
// render targets), each with that reason. Not checked.
std::vector<std::pair<std::string, std::string>> optionalGlEntryPoints();

// Fills missing pointers from their other names; the required entry points
// still missing after that, in checking order.
std::vector<GlEntryPoint> resolveGlEntryPoints();

// The report for missing entry points: their names grouped by what brings
// them. Empty when none is missing.
std::string missingEntryPointsMessage(const std::vector<GlEntryPoint>& missing);

// resolveGlEntryPoints, and a fatal report naming what is still missing.
void checkGlEntryPoints();
