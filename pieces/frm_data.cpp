// Placeholder until the capital dialog exists.
#include "pieces/frm_data.h"

namespace korven {
void OpenCapitalDialog(Piece&) {}
void UnloadCapitalDialog() {}
}  // namespace korven
