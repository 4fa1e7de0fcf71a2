// frm_Version: icon, title, version and the maker's notice; "OK" closes it.
#include "menu/frm_version.h"

#include <memory>

#include "core/app_state.h"
#include "core/dialog_kit.h"
#include "core/dpi.h"
#include "core/window_base.h"
#include "core/window_class.h"
#include "res/resource.h"
#include "res/version.h"

namespace korven {

namespace {

constexpr int ClientWidth = 3945, ClientHeight = 1125;  // twips

enum : int { IdCommand1 = IDOK, IdLabel1 = 101, IdLabel2 = 102, IdLabel3 = 103, IdImage1 = 104 };

class VersionDialog {
public:
    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window = nullptr;

private:
    void Form_Load(HWND hwnd);
    UniqueFont titleFont, versionFont, textFont;
};
std::unique_ptr<VersionDialog> dialog;  // the one open, if any

HICON ProgramIcon() {
    // The test executables carry no icon resource; the system's application icon stands in.
    HICON icon = LoadIconW(ModuleInstance(), MAKEINTRESOURCEW(IDI_KORVEN));
    return icon ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

void VersionDialog::Form_Load(HWND hwnd) {
    titleFont = MakeFont(L"ＭＳ Ｐ明朝", 11.25, FW_BOLD, SHIFTJIS_CHARSET);
    versionFont = MakeFont(L"Times New Roman", 9.75, FW_BOLD, ANSI_CHARSET);
    textFont = MakeMessageFont();
    DialogChild(hwnd, L"BUTTON", L"OK", WS_TABSTOP | BS_PUSHBUTTON, 0, IdCommand1, 3075, 120, 795, 345,
                textFont.get());
    DialogChild(hwnd, L"STATIC", L"コルベン", SS_LEFT, 0, IdLabel3, 735, 195, 2400, 285, titleFont.get());
    DialogChild(hwnd, L"STATIC", L"Version " KORVEN_VERSION, SS_LEFT, 0, IdLabel2, 1515, 525, 1515, 285,
                versionFont.get());
    DialogChild(hwnd, L"STATIC", L"(C) 2026 KORVEN 制作チーム", SS_LEFT | SS_NOPREFIX, 0, IdLabel1, 780, 930, 2775,
                225, textFont.get());
    HWND image1 = DialogChild(hwnd, L"STATIC", nullptr, SS_ICON, 0, IdImage1, 180, 210, 480, 480, nullptr);
    HICON icon = ProgramIcon();
    SendMessageW(image1, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

// Line1(2..4): the separator between the title block and the notice, clipped to the client area.
void PaintLines(HWND hwnd) {
    PaintDC dc(hwnd);
    // One and two pixels wide at 96 dots per inch, as wide in inches at any scale.
    UniquePen white(CreatePen(PS_SOLID, ScreenPixels(15), RGB(255, 255, 255)));
    UniquePen text(CreatePen(PS_SOLID, ScreenPixels(30), GetSysColor(COLOR_WINDOWTEXT)));
    struct Line {
        int x1, y, x2;
        HPEN pen;
    };
    const Line lines[] = {{-135, 870, 10330, white.get()}, {-45, 885, 10330, text.get()}, {-60, 870, 10330, white.get()}};
    for (const Line& l : lines) {
        SelectedObject pen(dc.get(), l.pen);
        MoveToEx(dc.get(), ScreenPixels(l.x1), ScreenPixels(l.y), nullptr);
        LineTo(dc.get(), ScreenPixels(l.x2), ScreenPixels(l.y));
    }
}

void Command1_Click(HWND hwnd) { DestroyWindow(hwnd); }

LRESULT VersionDialog::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        Form_Load(hwnd);
        return 0;
    case WM_COMMAND:
        // Enter reaches here as IDOK; Escape (IDCANCEL) is not a button of this dialog.
        if (LOWORD(wParam) == IdCommand1) Command1_Click(hwnd);
        return 0;
    case WM_SETFOCUS:
        SetFocus(GetDlgItem(hwnd, IdCommand1));
        return 0;
    case WM_CTLCOLORSTATIC:
        return LabelOnDialogFace(wParam);
    case WM_DPICHANGED:
        KeepClientAtNewScale(hwnd, ClientWidth, ClientHeight, wParam, lParam);
        return 0;
    case WM_PAINT:
        PaintLines(hwnd);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_NCDESTROY:
        // After the children are gone, so no control still draws with the fonts. This object goes with it: from
        // here on only the arguments may be used.
        dialog.reset();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void Register() {
    RegisterWindowClass(L"frm_Version", ForwardToObject<VersionDialog>, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

}  // namespace

void ShowVersionDialog() {
    if (dialog) return;  // already open: it is modal, so this cannot come from the menu
    Register();
    dialog = std::make_unique<VersionDialog>();
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    const SIZE size = DialogFrameSize(ClientWidth, ClientHeight, style, exStyle);
    const int w = size.cx, h = size.cy;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    HWND hwnd = CreateWindowExW(exStyle, L"frm_Version", L"バージョン情報", style, x, y, w, h, nullptr, nullptr,
                                ModuleInstance(), dialog.get());
    if (!WindowMade(hwnd, L"バージョン情報", false)) {
        dialog.reset();
        return;
    }
    dialog->window = hwnd;
    ShowModalDialog(hwnd, IdCommand1);
}

HWND VersionDialogWindow() { return dialog ? dialog->window : nullptr; }

void UnloadVersionDialog() {
    if (HWND w = VersionDialogWindow()) DestroyWindow(w);
}

}  // namespace korven
