// frmMap: one prefecture's piece, a borderless top-level window cut to the prefecture's shape.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "regions/target.h"

namespace korven {

struct TwipRect {
    int32_t left, top, width, height;
};

class Piece {
public:
    // Public members that the commands read and write by name.
    int32_t Idx = 0;
    int32_t offsetX = 0;  // twips from the anchor's left to this piece's home
    int32_t offsetY = 0;
    bool bx = false;  // at home horizontally (set by mMove, cleared by pMove)
    bool by = false;
    // Start-up has placed, dotted and coloured it: only then do its values mean what the file should keep.
    bool ready = false;

    ~Piece();  // destroys the window
    HWND hwnd() const;
    Target& Form();      // the window itself, as a shaping target
    Target& Picture1();  // the black boundary line

    // Window position (screen) and size, twips.
    int32_t Left() const;
    int32_t Top() const;
    int32_t Width() const;
    int32_t Height() const;
    int32_t ScaleWidth() const;  // inner width
    void Move(double left, double top);  // keeps the size
    void MovePixels(int32_t left, int32_t top);
    void Show();

    COLORREF BackColor() const;
    void SetBackColor(COLORREF colour);  // repaints at once; the border stays black

    // Children, twips in the piece's own coordinates.
    TwipRect KC() const;
    void MoveKC(int32_t left, int32_t top);
    TwipRect LTYOU() const;
    void MoveLTYOU(int32_t left, int32_t top, int32_t width, int32_t height);
    TwipRect Lname() const;
    void MoveLname(int32_t left, int32_t top, int32_t width, int32_t height);
    const std::wstring& LnameTip() const;
    void SetLnameTip(const std::wstring& text);
    const std::wstring& LtyouTip() const;
    void SetLtyouTip(const std::wstring& text);

    void pMove();  // due to be brought home
    void mMove();  // pump messages, then jump home (anchor + offsets)

    struct Impl;
    std::unique_ptr<Impl> impl;
};

// Position k - 1 holds piece number k; filled by start-up in PieceIndex order, emptied at shutdown.
extern std::vector<std::unique_ptr<Piece>> Pieces;

// Piece number 1..47 → its window; nullptr outside that range or before start-up made it.
Piece* PieceAt(int pieceNumber);

// Creates and loads a piece (window and children exist, hidden).
std::unique_ptr<Piece> CreatePiece();

// The piece whose window this is; nullptr for any other window.
Piece* PieceFromWindow(HWND window);

// What a right press on a piece opens, given the piece's window: the control menu, which lives in the layer
// above and is handed down by start-up. Unset, a right press does nothing.
extern void (*PieceMenuHandler)(HWND piece);

// The system move with the mouse, for a left button press.
void BeginDrag(HWND window, int button, int shift, int32_t x, int32_t y);

}  // namespace korven
