#include "regions/target.h"

#include <algorithm>
#include <utility>

#include "core/app_state.h"
#include "core/dpi.h"
#include "core/layout.h"
#include "core/stored_layout.h"

namespace korven {

BackBuffer::BackBuffer(BackBuffer&& other) noexcept { *this = std::move(other); }

BackBuffer& BackBuffer::operator=(BackBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        dc_ = std::move(other.dc_);
        bitmap_ = std::move(other.bitmap_);
        original_ = std::exchange(other.original_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

BackBuffer::~BackBuffer() { Release(); }

void BackBuffer::Release() {
    // The bitmap may only be deleted once it is no longer selected.
    if (dc_ && original_) SelectObject(dc_.get(), original_);
    original_ = nullptr;
    bitmap_.reset();
    dc_.reset();
    width_ = height_ = 0;
}

bool BackBuffer::Resize(int width, int height, COLORREF colour) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (dc_ && width == width_ && height == height_) return true;

    WindowDc screen(nullptr);
    UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!dc || !bitmap) return false;
    HGDIOBJ original = SelectObject(dc.get(), bitmap.get());
    {
        UniqueBrush brush(CreateSolidBrush(colour));
        RECT all{0, 0, width, height};
        FillRect(dc.get(), &all, brush.get());
    }
    if (dc_) BitBlt(dc.get(), 0, 0, std::min(width, width_), std::min(height, height_), dc_.get(), 0, 0, SRCCOPY);
    Release();
    dc_ = std::move(dc);
    bitmap_ = std::move(bitmap);
    original_ = original;
    width_ = width;
    height_ = height;
    return true;
}

COLORREF PaintColour(uint32_t colour) {
    if (colour <= 0x00FFFFFF) return colour;
    if (IsColourValue(colour)) return GetSysColor(static_cast<int>(colour & 0xFF));
    return colour & 0x00FFFFFF;
}

void Target::SetAutoRedraw(bool on) {
    if (on == autoRedraw_) return;
    autoRedraw_ = on;
    ++autoRedrawWrites_;
    if (!on) image_.Release();  // made when first drawn on, at the size the window has then
}

int32_t Target::Height() const {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return ScreenTwips(r.bottom - r.top);
}

int32_t Target::Width() const {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return ScreenTwips(r.right - r.left);
}

namespace {
void ResizeWindow(HWND hwnd, int width, int height) {
    SetWindowPos(hwnd, nullptr, 0, 0, std::max(width, 0), std::max(height, 0),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}
SIZE OuterPixels(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}
}  // namespace

void Target::SetHeight(int32_t twips) {
    ResizeWindow(hwnd, OuterPixels(hwnd).cx, ScreenPixels(twips));
}

void Target::SetWidth(int32_t twips) {
    ResizeWindow(hwnd, ScreenPixels(twips), OuterPixels(hwnd).cy);
}

void Target::SyncImage() {
    if (!autoRedraw_) return;
    RECT c{};
    GetClientRect(hwnd, &c);
    image_.Resize(c.right, c.bottom, PaintColour(backColor));
}

HDC Target::hdc() {
    if (!autoRedraw_) return nullptr;
    SyncImage();
    return image_.dc();
}

// Until something is drawn, the persistent image would hold nothing but the background colour, which
// painting gives as well: the image is made when drawing first asks for its DC, not when it is cleared or
// shown. Start-up clears and shows 94 targets that are never drawn on.
void Target::Cls() {
    if (autoRedraw_ && !image_.empty()) {
        SyncImage();
        UniqueBrush brush(CreateSolidBrush(PaintColour(backColor)));
        RECT all{0, 0, image_.width(), image_.height()};
        FillRect(image_.dc(), &all, brush.get());
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

void Target::PaintPicture(HBITMAP picture, int32_t x, int32_t y, DWORD rop) {
    HDC dest = hdc();
    if (!picture || !dest) return;
    BITMAP info{};
    if (!GetObjectW(picture, sizeof info, &info)) return;
    WindowDc screen(nullptr);
    UniqueMemoryDc source(CreateCompatibleDC(screen.get()));
    if (!source) return;
    SelectedObject selected(source.get(), picture);
    BitBlt(dest, ScreenPixels(x), ScreenPixels(y), info.bmWidth, info.bmHeight, source.get(), 0, 0, rop);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void Target::Paint(HDC dc, const RECT& area) {
    if (autoRedraw_ && !image_.empty()) {
        SyncImage();
        BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, image_.dc(), area.left,
               area.top, SRCCOPY);
        return;
    }
    UniqueBrush brush(CreateSolidBrush(PaintColour(backColor)));
    FillRect(dc, &area, brush.get());
}

LRESULT Target::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PaintDC dc(window);
        Paint(dc.get(), dc.area());
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace korven
