#include "core/window_class.h"

#include <string>

#include "core/app_state.h"
#include "core/notices.h"

namespace korven {

bool RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style, HBRUSH background) {
    HINSTANCE instance = ModuleInstance();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(instance, name, &wc)) return true;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

bool WindowMade(HWND window, const wchar_t* what, bool fatal) {
    if (window) return true;
    const std::wstring text = WindowNotCreatedText(what, GetLastError());
    if (fatal)
        FatalExit(text, MB_ICONERROR);
    else
        ShowNotice(nullptr, text, MB_OK | MB_ICONERROR);
    return false;
}

}  // namespace korven
