#include "core/dialog_kit.h"

#include <cwchar>

#include "core/app_state.h"
#include "core/dpi.h"
#include "core/modal.h"
#include "core/window_class.h"

namespace korven {

UniqueFont MakeFont(const wchar_t* face, double points, int weight, BYTE charset) {
    LOGFONTW lf{};
    lf.lfHeight = -FontPixels(points);
    lf.lfWeight = weight;
    lf.lfCharSet = charset;
    lf.lfQuality = DEFAULT_QUALITY;
    // The mapper substitutes a near face where this one is missing; the request names it all the same.
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return UniqueFont(CreateFontIndirectW(&lf));
}

UniqueFont MakeMessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
    return MakeFont(L"MS UI Gothic", 9, FW_NORMAL, SHIFTJIS_CHARSET);
}

HWND DialogChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int id,
                 int left, int top, int width, int height, HFONT font) {
    HWND child = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, ScreenPixels(left), ScreenPixels(top),
                                 ScreenPixels(width), ScreenPixels(height), parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(), nullptr);
    WindowMade(child, L"ダイアログの項目", false);
    if (font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

SIZE DialogFrameSize(int width, int height, DWORD style, DWORD exStyle) {
    RECT r{0, 0, ScreenPixels(width), ScreenPixels(height)};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void KeepClientAtNewScale(HWND dialog, int width, int height, WPARAM dpi, LPARAM suggested) {
    const RECT& at = *reinterpret_cast<const RECT*>(suggested);
    const DWORD style = GetWindowLongW(dialog, GWL_STYLE), exStyle = GetWindowLongW(dialog, GWL_EXSTYLE);
    const LONG cx = ScreenPixels(width), cy = ScreenPixels(height);
    RECT r{0, 0, cx, cy};
    // Windows 10 1607 and later; before that, the frame is as wide at every scale.
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = reinterpret_cast<AdjustForDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (!adjust || !adjust(&r, style, FALSE, exStyle, HIWORD(dpi))) AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(dialog, nullptr, at.left, at.top, r.right - r.left, r.bottom - r.top, flags);
    // Where Windows does not scale the frame (per-monitor v1), the frame as it now stands gives the rest.
    RECT client{};
    GetClientRect(dialog, &client);
    if (client.right != cx || client.bottom != cy)
        SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left + cx - client.right, r.bottom - r.top + cy - client.bottom,
                     flags | SWP_NOMOVE);
}

void ShowModalDialog(HWND dialog, int focusId) {
    const HWND opener = GetActiveWindow();
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    SetFocus(GetDlgItem(dialog, focusId));
    RunModal(dialog, opener);
}

LRESULT LabelOnDialogFace(WPARAM dc) {
    // The text colour too: in a dark contrast theme the default black would vanish on the face.
    SetTextColor(reinterpret_cast<HDC>(dc), GetSysColor(COLOR_BTNTEXT));
    SetBkColor(reinterpret_cast<HDC>(dc), GetSysColor(COLOR_BTNFACE));
    SetBkMode(reinterpret_cast<HDC>(dc), TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace korven
