// frmData: the capital-location dialog, capture mode only.
#pragma once

namespace korven {
class Piece;
void OpenCapitalDialog(Piece& piece);  // modal; returns when closed
void UnloadCapitalDialog();            // shutdown
}  // namespace korven
