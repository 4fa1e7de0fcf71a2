#include "core/app_state.h"

#include <algorithm>
#include <climits>

#include "core/layout.h"
#include "core/win_owners.h"

namespace korven {

bool CaptureEnabled = false;
std::wstring IniBaseName;
HINSTANCE AppInstance = nullptr;
const wchar_t* const AppTitle = L"コルベン";

namespace {
int holds = 0;

struct Disabling {
    HWND except;
    std::vector<HWND>* disabled;
};

BOOL CALLBACK DisableOne(HWND window, LPARAM param) {
    const auto& d = *reinterpret_cast<Disabling*>(param);
    if (window != d.except && IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        d.disabled->push_back(window);
    }
    return TRUE;
}
}  // namespace

ThreadWindowsDisabled::ThreadWindowsDisabled(HWND except) {
    Disabling d{except, &disabled_};
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&d));
}

ThreadWindowsDisabled::~ThreadWindowsDisabled() { Release(); }

void ThreadWindowsDisabled::Release() {
    for (HWND w : disabled_)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    disabled_.clear();
}

InputHold::InputHold(HWND owner) : windows_(owner) { ++holds; }

InputHold::~InputHold() { --holds; }

bool InputHeld() { return holds > 0; }

namespace {
int ScreenDpi(int which) {
    WindowDc screen(nullptr);
    return screen.get() ? GetDeviceCaps(screen.get(), which) : 96;
}
}  // namespace

int DisplayDpi() {
    static const int value = DpiOrDefault(ScreenDpi(LOGPIXELSX));
    return value;
}

// Windows has one system dpi for both axes; a monitor of another scale changes neither.
int TwipsPerPixelX() { return TwipsPerPixelFromDpi(DisplayDpi()); }
int TwipsPerPixelY() { return TwipsPerPixelFromDpi(DisplayDpi()); }

int32_t ScreenPixels(double twips) { return TwipsToPixelsAt(twips, DisplayDpi()); }
int32_t ScreenTwips(int64_t pixels) { return PixelsToTwipsAt(pixels, DisplayDpi()); }

int32_t OffsetPixels(int32_t offsetTwips) { return ScreenPixels(offsetTwips); }

int32_t PiecePixel(int32_t anchorTwips, int32_t offsetTwips) {
    if (DisplayDpi() == 96) return ScreenPixels(static_cast<double>(anchorTwips) + offsetTwips);
    const int64_t sum = static_cast<int64_t>(ScreenPixels(anchorTwips)) + OffsetPixels(offsetTwips);
    return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

}  // namespace korven
