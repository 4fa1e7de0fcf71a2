#include "core/app_state.h"

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

// The program is not DPI-aware, so the value cannot change while it runs.
int TwipsPerPixelX() {
    static const int value = TwipsPerPixelFromDpi(ScreenDpi(LOGPIXELSX));
    return value;
}

int TwipsPerPixelY() {
    static const int value = TwipsPerPixelFromDpi(ScreenDpi(LOGPIXELSY));
    return value;
}

}  // namespace korven
