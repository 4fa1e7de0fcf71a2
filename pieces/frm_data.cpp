// frmData: edits the capital text of one prefecture; "OK" stores it, "ｷｬﾝｾﾙ" and the close box do not.
#include "pieces/frm_data.h"

#include <memory>
#include <string>

#include "core/app_state.h"
#include "core/dialog_kit.h"
#include "core/dpi.h"
#include "core/layout.h"
#include "core/notice_text.h"
#include "core/notices.h"
#include "core/settings.h"
#include "core/window_base.h"
#include "core/window_class.h"
#include "pieces/frm_map.h"

namespace korven {

namespace {

// Not IDOK or IDCANCEL: Enter and Escape, which the dialog loop turns into those, press neither button.
enum : int { IdLabel1 = 201, IdText1 = 202, IdCommand1 = 203, IdCommand2 = 204 };

constexpr int ClientWidth = 2205, ClientHeight = 930;  // twips

const wchar_t* const CapitalKey = L"県庁所在地";

// Its handlers touch the object only before anything modal runs: a shutdown behind a notice destroys the
// window, and the object with it.
class CapitalDialog {
public:
    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window = nullptr;
    std::wstring section;  // the caption: the prefecture's name

private:
    void Form_Load(HWND hwnd);
    void Command1_Click(HWND hwnd);
    UniqueFont font;
};
std::unique_ptr<CapitalDialog> dialog;  // the one open, if any

// Created in tab order: the label, the text box, "OK", "ｷｬﾝｾﾙ".
void CapitalDialog::Form_Load(HWND hwnd) {
    font = MakeMessageFont();
    HFONT f = font.get();
    DialogChild(hwnd, L"STATIC", L"県庁所在地", SS_LEFT, 0, IdLabel1, 60, 90, 1035, 255, f);
    DialogChild(hwnd, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, IdText1, 1290, 60, 870, 285, f);
    DialogChild(hwnd, L"BUTTON", L"OK", WS_TABSTOP | BS_PUSHBUTTON, 0, IdCommand1, 300, 495, 780, 375, f);
    DialogChild(hwnd, L"BUTTON", L"ｷｬﾝｾﾙ", WS_TABSTOP | BS_PUSHBUTTON, 0, IdCommand2, 1140, 495, 780, 375, f);
}

std::wstring Text1(HWND hwnd) {
    HWND edit = GetDlgItem(hwnd, IdText1);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

void CapitalDialog::Command1_Click(HWND hwnd) {
    const std::wstring text = Text1(hwnd);  // untrimmed, as typed
    // Code page 932 would turn these into question marks; the user fixes the text instead.
    const std::wstring unstorable = UnstorableCharacters(text);
    if (!unstorable.empty()) {
        ShowNotice(hwnd, UnstorableText(unstorable), MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(hwnd, IdText1));
        return;
    }
    IniWriteResult written;
    try {
        written = WriteIni(section, CapitalKey, text);
    } catch (...) {
        written = {false, L"予期しないエラーが発生しました。"};
    }
    if (!written.ok) {
        // Stays open with the text, so nothing typed is lost; "ｷｬﾝｾﾙ" gives up.
        ReportWriteFailure(hwnd, written, SavedBy::CapitalDialog);
        return;
    }
    DestroyWindow(hwnd);
}

void Command2_Click(HWND hwnd) { DestroyWindow(hwnd); }

LRESULT CapitalDialog::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        Form_Load(hwnd);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IdCommand1 && HIWORD(wParam) == BN_CLICKED) Command1_Click(hwnd);
        if (LOWORD(wParam) == IdCommand2 && HIWORD(wParam) == BN_CLICKED) Command2_Click(hwnd);
        return 0;
    case WM_CTLCOLORSTATIC:
        return LabelOnDialogFace(wParam);
    case WM_DPICHANGED:
        KeepClientAtNewScale(hwnd, ClientWidth, ClientHeight, wParam, lParam);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_NCDESTROY:
        dialog.reset();  // this object too: from here on only the arguments may be used
        return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void Register() { RegisterWindowClass(L"frmData", ForwardToObject<CapitalDialog>, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)); }

}  // namespace

void OpenCapitalDialog(Piece& piece) {
    if (dialog) return;  // modal: a second opening cannot come from a piece
    Register();
    dialog = std::make_unique<CapitalDialog>();
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_APPWINDOW;
    const SIZE size = DialogFrameSize(ClientWidth, ClientHeight, style, exStyle);
    HWND hwnd = CreateWindowExW(exStyle, L"frmData", L"Data", style, 0, 0, size.cx, size.cy, nullptr, nullptr,
                                ModuleInstance(), dialog.get());
    if (!WindowMade(hwnd, L"県庁所在地の入力", false)) {
        dialog.reset();
        return;
    }
    dialog->window = hwnd;
    dialog->section = piece.LnameTip();
    SetWindowTextW(hwnd, dialog->section.c_str());
    SetWindowTextW(GetDlgItem(hwnd, IdText1), ReadIni(dialog->section, CapitalKey).c_str());
    // At the piece's corner, unless that would put part of it off the monitor's work area: its buttons must
    // stay in reach, since the dialog holds the whole map until it closes.
    const LONG x = ScreenPixels(piece.Left()), y = ScreenPixels(piece.Top());
    const RECT wanted{x, y, x + size.cx, y + size.cy};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    PointL at{x, y};
    if (GetMonitorInfoW(MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& w = monitor.rcWork;
        at = PlacedInside({x, y, x + size.cx, y + size.cy}, {w.left, w.top, w.right, w.bottom});
    }
    SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowModalDialog(hwnd, IdText1);
}

HWND CapitalDialogWindow() { return dialog ? dialog->window : nullptr; }

void UnloadCapitalDialog() {
    if (HWND w = CapitalDialogWindow()) DestroyWindow(w);
}

}  // namespace korven
