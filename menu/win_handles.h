// Owners for the handles the dialogs make, beside the GDI owners of the shaping code.
#pragma once
#include <windows.h>

#include <memory>
#include <type_traits>

#include "regions/target.h"

namespace korven {

using FontHandle = UniqueFont;
using PenHandle = UniquePen;

struct GlobalDeleter {
    void operator()(HGLOBAL block) const { GlobalFree(block); }
};
using GlobalBlock = std::unique_ptr<std::remove_pointer_t<HGLOBAL>, GlobalDeleter>;

class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL block) : block_(block), data_(block ? GlobalLock(block) : nullptr) {}
    ~GlobalLockGuard() {
        if (data_) GlobalUnlock(block_);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    void* data() const { return data_; }

private:
    HGLOBAL block_;
    void* data_;
};

class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
    ~PaintDC() { EndPaint(window_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// A font of the given face and size in points (tenths allowed), for controls of a dialog.
FontHandle MakeFont(const wchar_t* face, double points, int weight, BYTE charset);
// The system's message font, the dialogs' default font.
FontHandle MakeMessageFont();

}  // namespace korven
