// The program's shared state, in one place. Touched only from the one user-interface thread.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace korven {

class Piece;

// Position k - 1 holds piece number k; filled by start-up in PieceIndex order, emptied at shutdown.
extern std::vector<std::unique_ptr<Piece>> Pieces;
extern bool CaptureEnabled;
extern std::wstring IniBaseName;  // "KORVEN"
extern HINSTANCE AppInstance;

// The application's title, caption of the fatal message boxes.
extern const wchar_t* const AppTitle;  // L"コルベン"

// Piece number 1..47 → its window; nullptr outside that range or before start-up made it.
Piece* PieceAt(int pieceNumber);

// The display's twips per pixel (15 at 96 dots per inch).
int TwipsPerPixelX();
int TwipsPerPixelY();

}  // namespace korven
