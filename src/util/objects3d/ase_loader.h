#pragma once
// The ASE reader: an ASCII scene export into the parts of an Object3D. It is
// a keyword scanner, not a parser: it looks for fixed keywords in the text
// and reads the numbers after them. What it reads:
//   - materials "*MATERIAL n {" with ids 0, 1, 2, ... in order, each with a
//     bitmap (loaded from data/images/ + the quoted name) or a diffuse colour;
//   - one Geometry per "*GEOMOBJECT ": vertex, face and face-normal lists,
//     optional texture vertices and faces, and the material reference.
// The file's node names and transforms are not read. Every geometry gets
// strides of 3 and is drawn at the object's root, so a loaded model draws
// as a whole.
//
// Object3D::loadAse reads the file with the plain C library (never from the
// archive) and goes through readAseText; tests and the fuzzer call that
// directly, without GL.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "util/objects3d/objects3d.h"

struct AseModel {
  std::vector<Material> materials;   // in id order: element i has id i
  std::vector<Geometry> geometries;  // in file order
};

// Makes a material's texture from "data/images/" + the bitmap name. The
// object model passes one that loads a real texture; tests pass stand-ins.
using AseTextureLoader = std::function<Texture*(const std::string& path)>;

// Reads a whole ASE text (length bytes, zero bytes allowed) into `model`.
// A material id out of order or a required mesh list missing makes it
// return false, with two notes for the caller's failure (util/error.h): the
// problem under "Error", then the step under "Error." ("Failed to load ASE
// materials"). Any other problem is a failure of its own. Either way `model`
// may be partly filled.
// What it accepts holds together: every index inside its source, one normal
// index and (if any) one texture index per position index, every material
// reference valid.
bool readAseText(const char* text, size_t length, AseModel& model,
                 const AseTextureLoader& loadTexture);

// Moves a read model into `object`: its materials and geometries replace the
// object's, and the root draws every geometry. Needs no GL.
void attachAse(AseModel& model, Object3D& object);
