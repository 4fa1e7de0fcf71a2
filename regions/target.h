// What shaping needs of a window or a child picture box: its handle, background colour, size in twips and a
// persistent image (AutoRedraw) that survives being covered and uncovered.
#pragma once
#include <windows.h>

#include <cstdint>

#include "core/win_owners.h"

namespace korven {

// A memory DC with a bitmap of the window's size selected into it.
class BackBuffer {
public:
    BackBuffer() = default;
    BackBuffer(BackBuffer&&) noexcept;
    BackBuffer& operator=(BackBuffer&&) noexcept;
    ~BackBuffer();

    // Makes the buffer width × height; what was drawn stays where it lies, new parts get colour.
    bool Resize(int width, int height, COLORREF colour);
    void Release();
    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return !dc_; }

private:
    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ original_ = nullptr;  // the DC's own 1 × 1 bitmap, restored before the DC goes
    int width_ = 0, height_ = 0;
};

// The colour GDI paints for a stored colour value: values with the top bit set name a system colour
// (0x80000000 + its index), as the settings file of older versions may hold them.
COLORREF PaintColour(uint32_t colour);

struct Target {
    HWND hwnd = nullptr;
    uint32_t backColor = 0x00FFFFFF;

    // AutoRedraw: drawing goes to a persistent image that the window shows whenever it paints.
    bool AutoRedraw() const { return autoRedraw_; }
    void SetAutoRedraw(bool on);

    // Outer size, twips. Setting one keeps the other and the position.
    int32_t Height() const;
    int32_t Width() const;
    void SetHeight(int32_t twips);
    void SetWidth(int32_t twips);

    // The DC that drawing goes to: the persistent image. Null while AutoRedraw is off, because then
    // there is nothing drawn that would last.
    HDC hdc();
    // Clears the persistent image to the background colour and has the window show it.
    void Cls();
    // Copies the picture whole, at its own size, to (x, y) twips of the target with the raster operation.
    void PaintPicture(HBITMAP picture, int32_t x, int32_t y, DWORD rop = SRCCOPY);

    // For WM_PAINT: shows the persistent image (or the background when there is none) on dc.
    void Paint(HDC dc, const RECT& area);
    // The whole message handling of a window that only shows this target: WM_PAINT covers everything, so the
    // background is never erased; every other message goes to DefWindowProc.
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Number of times AutoRedraw has been switched; lets callers see that a set value is not set again.
    int autoRedrawWrites() const { return autoRedrawWrites_; }

private:
    void SyncImage();  // the image follows the client size; made on first need
    bool autoRedraw_ = false;
    int autoRedrawWrites_ = 0;
    BackBuffer image_;
};

}  // namespace korven
