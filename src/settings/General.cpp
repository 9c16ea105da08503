#include "General.h"

namespace grize {

// Not stored yet.
void LoadPosition(PositionTarget&) {}
void LoadAutoquit(CheckBoxTarget&) {}
void SavePosition(const PositionTarget&) {}
void SaveAutoquit(const CheckBoxTarget&) {}

}  // namespace grize
