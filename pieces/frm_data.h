// frmData: the capital-location dialog, capture mode only.
#pragma once
#include <windows.h>

namespace korven {
class Piece;
void OpenCapitalDialog(Piece& piece);  // modal; returns when closed
void UnloadCapitalDialog();            // shutdown
HWND CapitalDialogWindow();            // nullptr when it is not open
}  // namespace korven
