#include "main_shaders.h"

#include <GL/glew.h>

#include <cstring>
#include <utility>

namespace {

struct EntryFiles {
  ShaderProgram* ShaderLibrary::*field;
  const char* vertex;
  const char* fragment;
  // Texture units of the sampler uniforms, given once here so that programs
  // that get no uniforms from their users still read the fixed unit roles
  // (0 colour, 1 normal map / second texture, 2 depth or extra texture).
  const char* samplers[3];
};

// Index order is the entry number.
const EntryFiles kFiles[ShaderLibrary::kEntries] = {
    {&ShaderLibrary::billboard, "billboard.vert", "billboard.frag", {"Texture0"}},
    {&ShaderLibrary::blocked, "simple.vert", "blocked.frag", {"Texture0"}},
    {&ShaderLibrary::blur, "simple.vert", "blur.frag", {"Texture0"}},
    {&ShaderLibrary::deferred_pass1, "deferred_pass1.vert", "deferred_pass1.frag", {"Texture0"}},
    {&ShaderLibrary::deferred_pass2, "deferred_pass2.vert", "deferred_pass2.frag",
     {"AlbedoMap", "NormalMap", "PositionMap"}},
    {&ShaderLibrary::dof, "simple.vert", "dof.frag", {"tex_sharp", "tex_blurry", "tex_depth"}},
    {&ShaderLibrary::none, nullptr, nullptr, {}},
    {&ShaderLibrary::glitch, "simple.vert", "glitch.frag", {"Texture0"}},
    {&ShaderLibrary::multi_diffuse, "multi_diffuse.vert", "multi_diffuse.frag", {"Texture0"}},
    {&ShaderLibrary::multi_diffuse_2sided, "multi_diffuse.vert", "multi_diffuse_2sided.frag",
     {"Texture0"}},
    {&ShaderLibrary::multi_diffuse_bump, "multi_diffuse_bump.vert", "multi_diffuse_bump.frag",
     {"Texture0", "NormalMap"}},
    {&ShaderLibrary::multi_diffuse_bump_2sided, "multi_diffuse_bump.vert",
     "multi_diffuse_bump_2sided.frag", {"Texture0", "NormalMap"}},
    {&ShaderLibrary::multi_material_notex, "multi_material_notex.vert", "multi_material_notex.frag",
     {}},
    {&ShaderLibrary::multi_material_tex, "multi_material_tex.vert", "multi_material_tex.frag",
     {"Texture0"}},
    {&ShaderLibrary::multi_specular_bump, "multi_specular_bump.vert", "multi_specular_bump.frag",
     {"Texture1", "NormalMap"}},
    {&ShaderLibrary::multi_specular_bump_extratex, "multi_specular_bump_extratex.vert",
     "multi_specular_bump_extratex.frag", {"Texture0", "NormalMap", "ExtraMap"}},
    {&ShaderLibrary::nolight_tex, "simple.vert", "nolight_tex.frag", {"Texture0"}},
    {&ShaderLibrary::single_diffuse, "single_diffuse.vert", "single_diffuse.frag", {"Texture0"}},
    {&ShaderLibrary::single_diffuse_bump, "single_diffuse_bump.vert", "single_diffuse_bump.frag",
     {"Texture0", "NormalMap"}},
    {&ShaderLibrary::single_diffuse_notex, "single_diffuse_notex.vert", "single_diffuse_notex.frag",
     {}},
    {&ShaderLibrary::single_material_notex, "single_material_notex.vert",
     "single_material_notex.frag", {}},
    {&ShaderLibrary::single_specular_bump, "single_specular_bump.vert", "single_specular_bump.frag",
     {"Texture0", "NormalMap"}},
    {&ShaderLibrary::twister, "twister.vert", "multi_specular_bump.frag", {"Texture1", "NormalMap"}},
    {&ShaderLibrary::fixed_function, nullptr, nullptr, {}},
};

constexpr int kNoProgram = 6;

}  // namespace

ShaderLibrary::ShaderLibrary() {
  for (int index = 0; index < kEntries; ++index) {
    const EntryFiles& files = kFiles[index];
    if (index == kNoProgram) continue;
    ShaderProgram* program = new ShaderProgram(files.vertex, files.fragment);
    this->*files.field = program;
    if (!program->program) continue;
    program->use();
    for (int unit = 0; unit < 3; ++unit)
      if (files.samplers[unit]) program->setUniform(files.samplers[unit], unit);
    // The tiles set their own light count; the twister shares their shader
    // and gets the four lights the 3D scenes set up.
    if (std::strcmp(files.fragment, "multi_specular_bump.frag") == 0)
      program->setUniform("Num_lights", 4);
    glUseProgramObjectARB(0);
  }
}

ShaderLibrary::~ShaderLibrary() {
  for (const EntryFiles& files : kFiles) delete (this->*files.field);
}

void ShaderLibrary::swapPrograms(ShaderLibrary& other) {
  for (const EntryFiles& files : kFiles) {
    ShaderProgram* mine = this->*files.field;
    ShaderProgram* theirs = other.*files.field;
    if (mine && theirs) std::swap(*mine, *theirs);
  }
}

ShaderProgram* ShaderLibrary::entry(int index) const {
  if (index < 0 || index >= kEntries) return nullptr;
  return this->*kFiles[index].field;
}

const char* ShaderLibrary::vertexFile(int index) {
  return index >= 0 && index < kEntries ? kFiles[index].vertex : nullptr;
}

const char* ShaderLibrary::fragmentFile(int index) {
  return index >= 0 && index < kEntries ? kFiles[index].fragment : nullptr;
}
