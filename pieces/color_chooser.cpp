// PickColor: the system colour dialog with fresh white custom colours every time.
#include "pieces/color_chooser.h"

#include <cstring>
#include <string>

#include "core/app_state.h"
#include "core/win_owners.h"
#include "pieces/frm_map.h"

namespace korven {

std::function<BOOL(CHOOSECOLORW&)> ChooseColorHook;

namespace {

// comdlg32 brings much of the shell with it: loaded, from the system folder, when a colour is first chosen
// rather than with the program. Without it there is no dialog and so no colour chosen.
BOOL SystemChooseColor(CHOOSECOLORW& request) {
    using ChooseColorFn = BOOL(WINAPI*)(CHOOSECOLORW*);
    static const ChooseColorFn choose = [] {
        wchar_t folder[MAX_PATH];
        const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return ChooseColorFn{};
        const HMODULE dll = LoadLibraryW((std::wstring(folder, n) + L"\\comdlg32.dll").c_str());
        return dll ? reinterpret_cast<ChooseColorFn>(reinterpret_cast<void*>(GetProcAddress(dll, "ChooseColorW")))
                   : ChooseColorFn{};
    }();
    return choose ? choose(&request) : FALSE;
}

}  // namespace

int32_t PickColor(HWND owner, int32_t colour) {
    COLORREF custom[16];
    for (COLORREF& c : custom) c = 0x00FFFFFF;
    static_assert(sizeof custom == 64);
    // Without the custom colours the dialog cannot be given what it expects: no colour chosen.
    GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof custom));
    if (!block) return -1;
    GlobalLockGuard locked(block.get());
    if (!locked.data()) return -1;
    std::memcpy(locked.data(), custom, sizeof custom);

    CHOOSECOLORW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.hInstance = reinterpret_cast<HWND>(ModuleInstance());
    request.rgbResult = static_cast<COLORREF>(colour);
    request.lpCustColors = static_cast<COLORREF*>(locked.data());
    request.Flags = 0;
    const BOOL chosen = ChooseColorHook ? ChooseColorHook(request) : SystemChooseColor(request);
    return chosen ? static_cast<int32_t>(request.rgbResult) : -1;
}

void ChoosePieceColour(Piece& piece) {
    const int32_t chosen = PickColor(piece.hwnd(), static_cast<int32_t>(piece.BackColor()));
    if (chosen != -1) piece.SetBackColor(static_cast<COLORREF>(chosen));
}

}  // namespace korven
