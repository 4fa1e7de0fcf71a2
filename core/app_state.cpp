#include "core/app_state.h"

#include <string_view>

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

}  // namespace korven
