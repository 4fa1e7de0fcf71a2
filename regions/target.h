// What shaping needs of a window or a child picture box: its handle, background colour, size in twips and a
// persistent image (AutoRedraw) that survives being covered and uncovered.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <type_traits>

namespace korven {

// Owners of GDI objects. Each deletes its object when it goes; none may be copied.
struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using UniqueRgn = std::unique_ptr<std::remove_pointer_t<HRGN>, GdiObjectDeleter>;
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;
using UniquePen = std::unique_ptr<std::remove_pointer_t<HPEN>, GdiObjectDeleter>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

struct MemoryDcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using UniqueMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;

// A window's DC for the span of one scope (GetDC/ReleaseDC).
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a DC for one scope; the previous one goes back in on the way out.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

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

    // Number of times AutoRedraw has been switched; lets callers see that a set value is not set again.
    int autoRedrawWrites() const { return autoRedrawWrites_; }

private:
    void SyncImage();  // the image follows the client size; made on first need
    bool autoRedraw_ = false;
    int autoRedrawWrites_ = 0;
    BackBuffer image_;
};

}  // namespace korven
