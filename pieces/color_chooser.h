// The system colour dialog around a piece's fill colour.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <functional>

namespace korven {
// The chosen colour, or -1 when the user cancelled (or the dialog could not be shown).
int32_t PickColor(HWND owner, int32_t colour);
// Double-click outside capture mode: a confirmed colour becomes the piece's fill at once.
class Piece;
void ChoosePieceColour(Piece& piece);
// Stands in for ChooseColorW when set, so tests see the request and give the answer.
extern std::function<BOOL(CHOOSECOLORW&)> ChooseColorHook;
}  // namespace korven
