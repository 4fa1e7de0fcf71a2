// frmMap: one prefecture's piece, a borderless top-level window cut to the prefecture's shape.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

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

// Creates and loads a piece (window and children exist, hidden).
std::unique_ptr<Piece> CreatePiece();

// The piece whose window this is; nullptr for any other window.
Piece* PieceFromWindow(HWND window);

// The system move with the mouse, for a left button press.
void BeginDrag(HWND window, int button, int shift, int32_t x, int32_t y);

}  // namespace korven
