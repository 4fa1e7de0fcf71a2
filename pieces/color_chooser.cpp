// Placeholder until the colour chooser exists.
#include "pieces/color_chooser.h"

namespace korven {
int32_t PickColor(HWND, int32_t) { return -1; }
void ChoosePieceColour(Piece&) {}
}  // namespace korven
