#pragma once
// The shared shader library: the 24 programs that scenes and models pick by
// entry (lighting and material variants, blur, depth of field and the like).
// The Demo builds it once, before any scene, so every shared shader is read,
// compiled and linked behind the loading screen and a broken one stops the
// show before it starts. The library owns its programs and deletes them with
// itself; their GL objects stay until the context goes (see ShaderProgram).
#include "util/shaderprogram/shaderprogram.h"

class ShaderLibrary {
 public:
  static constexpr int kEntries = 24;

  // Builds entries 0 to 23 in index order from data/common/shaders/.
  ShaderLibrary();
  ~ShaderLibrary();
  ShaderLibrary(const ShaderLibrary&) = delete;
  ShaderLibrary& operator=(const ShaderLibrary&) = delete;

  // The entry by index (0..23); entry 6 is null.
  ShaderProgram* entry(int index) const;
  // Exchanges every program's contents with the other library's: the
  // ShaderProgram objects stay where they are (materials point at them),
  // and this library's now have the other's GL programs.
  void swapPrograms(ShaderLibrary& other);

  // The file names of an entry, null for none; for the tests and tools.
  static const char* vertexFile(int index);
  static const char* fragmentFile(int index);

  ShaderProgram* billboard = nullptr;                    // 0
  ShaderProgram* blocked = nullptr;                      // 1
  ShaderProgram* blur = nullptr;                         // 2
  ShaderProgram* deferred_pass1 = nullptr;               // 3
  ShaderProgram* deferred_pass2 = nullptr;               // 4
  ShaderProgram* dof = nullptr;                          // 5
  ShaderProgram* none = nullptr;                         // 6: no program
  ShaderProgram* glitch = nullptr;                       // 7
  ShaderProgram* multi_diffuse = nullptr;                // 8
  ShaderProgram* multi_diffuse_2sided = nullptr;         // 9
  ShaderProgram* multi_diffuse_bump = nullptr;           // 10
  ShaderProgram* multi_diffuse_bump_2sided = nullptr;    // 11
  ShaderProgram* multi_material_notex = nullptr;         // 12
  ShaderProgram* multi_material_tex = nullptr;           // 13
  ShaderProgram* multi_specular_bump = nullptr;          // 14
  ShaderProgram* multi_specular_bump_extratex = nullptr; // 15
  ShaderProgram* nolight_tex = nullptr;                  // 16
  ShaderProgram* single_diffuse = nullptr;               // 17
  ShaderProgram* single_diffuse_bump = nullptr;          // 18
  ShaderProgram* single_diffuse_notex = nullptr;         // 19
  ShaderProgram* single_material_notex = nullptr;        // 20
  ShaderProgram* single_specular_bump = nullptr;         // 21
  ShaderProgram* twister = nullptr;                      // 22
  ShaderProgram* fixed_function = nullptr;               // 23: program 0
};
