#include "core/app_state.h"

#include <string_view>

#include "core/layout.h"
#include "core/win_owners.h"

namespace korven {

bool CaptureEnabled = false;
std::wstring IniBaseName;
HINSTANCE AppInstance = nullptr;
const wchar_t* const AppTitle = L"コルベン";

HINSTANCE ModuleInstance() { return AppInstance ? AppInstance : GetModuleHandleW(nullptr); }

namespace {
int holds = 0, savingHolds = 0;

struct Disabling {
    HWND except;
    std::vector<HWND>* disabled;
};

// The program's own: its classes, and the dialog boxes it opens (notices, the colour chooser). Not the
// system's windows of the thread: an IME whose windows were disabled could take no Japanese input.
bool OwnWindow(HWND window) {
    if (GetClassLongPtrW(window, GCLP_HMODULE) == reinterpret_cast<ULONG_PTR>(ModuleInstance())) return true;
    wchar_t cls[8] = {};
    GetClassNameW(window, cls, 8);
    return std::wstring_view(cls) == L"#32770";
}

BOOL CALLBACK DisableOne(HWND window, LPARAM param) {
    const auto& d = *reinterpret_cast<Disabling*>(param);
    if (window != d.except && IsWindowEnabled(window) && OwnWindow(window)) {
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

InputHold::InputHold(HWND owner, bool savingHeld) : windows_(owner), savingHeld_(savingHeld) {
    ++holds;
    savingHolds += savingHeld;
}

InputHold::~InputHold() {
    --holds;
    savingHolds -= savingHeld_;
}

bool InputHeld() { return holds > 0; }
bool SavingHeld() { return savingHolds > 0; }

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

int32_t PiecePixel(int32_t anchorTwips, int32_t offsetTwips) {
    if (DisplayDpi() == 96) return ScreenPixels(static_cast<double>(anchorTwips) + offsetTwips);
    return PlacedPixel((int64_t{anchorTwips} + offsetTwips) * DisplayDpi());
}

namespace {
int64_t anchorPhaseX = 0, anchorPhaseY = 0;

int64_t PhaseOf(int32_t twips) {
    const int64_t at = int64_t{twips} * DisplayDpi();
    return DisplayDpi() == 96 ? 0 : at - int64_t{1440} * PlacedPixel(at);
}
}  // namespace

void KeepAnchorPhase(int32_t anchorX, int32_t anchorY) {
    anchorPhaseX = PhaseOf(anchorX);
    anchorPhaseY = PhaseOf(anchorY);
}

int32_t OffsetPixelsX(int32_t offsetTwips) {
    return PlacedPixel(anchorPhaseX + int64_t{offsetTwips} * DisplayDpi());
}

int32_t OffsetPixelsY(int32_t offsetTwips) {
    return PlacedPixel(anchorPhaseY + int64_t{offsetTwips} * DisplayDpi());
}

}  // namespace korven
