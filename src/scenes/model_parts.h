#pragma once
// The names of the models' parts that the scenes use, from the one table
// the generators read too (model_parts.def): ModelParts::Robot::Skull and
// so on. A scene resolves them once, when it loads (PartMask, node
// matrices, materials); a name missing from a model is fatal there.

#define PART(model, part, name) \
  namespace ModelParts::model {  \
  constexpr const char* part = name; \
  }
#include "scenes/model_parts.def"
#undef PART
