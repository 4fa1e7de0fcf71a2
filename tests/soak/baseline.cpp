// A minimal Win32 program with none of KORVEN's code that opens and closes dialogs many times, measured the
// same way as soak_rounds: what Wine itself keeps per dialog.
//   soak_baseline KIND ROUNDS EVERY    KIND: colour (the system colour dialog) | dialog (a dialog from an
//                                      in-memory template) | window (a popup with fonts, a button, labels and an
//                                      icon, and a message loop of its own, as a hand-made dialog is)
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/soak/measure.h"

namespace {

HWND owner = nullptr;

BOOL CALLBACK FindOwned(HWND w, LPARAM p) {
    if (GetWindow(w, GW_OWNER) == owner && IsWindowVisible(w)) *reinterpret_cast<HWND*>(p) = w;
    return TRUE;
}

HWND OwnedVisible() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindOwned, reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK CancelOwned(HWND, UINT, UINT_PTR id, DWORD) {
    if (HWND d = OwnedVisible()) {
        KillTimer(nullptr, id);
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
    }
}

bool Colour() {
    COLORREF custom[16];
    for (COLORREF& c : custom) c = 0x00FFFFFF;
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = 0x00FFFFFF;
    cc.lpCustColors = custom;
    SetTimer(nullptr, 0, 60, CancelOwned);
    return !ChooseColorW(&cc) && CommDlgExtendedError() == 0;
}

INT_PTR CALLBACK TemplateProc(HWND d, UINT m, WPARAM w, LPARAM) {
    if (m == WM_INITDIALOG) {
        SetTimer(d, 1, 30, nullptr);
        return TRUE;
    }
    if (m == WM_TIMER) {
        EndDialog(d, IDCANCEL);
        return TRUE;
    }
    if (m == WM_COMMAND && (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL)) {
        EndDialog(d, LOWORD(w));
        return TRUE;
    }
    return FALSE;
}

// DLGTEMPLATE: caption, font, one OK button and one label.
std::vector<WORD> Template() {
    std::vector<WORD> t;
    auto dword = [&](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto text = [&](const wchar_t* s) {
        for (; *s; ++s) t.push_back(*s);
        t.push_back(0);
    };
    auto align = [&] {
        if (t.size() % 2) t.push_back(0);
    };
    dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    dword(0);
    t.push_back(2);  // items
    t.push_back(10), t.push_back(10), t.push_back(180), t.push_back(60);
    t.push_back(0), t.push_back(0);  // no menu, default class
    text(L"Baseline");
    t.push_back(9);
    text(L"MS UI Gothic");
    align();
    dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON);
    dword(0);
    t.push_back(120), t.push_back(8), t.push_back(50), t.push_back(14);
    t.push_back(IDOK);
    t.push_back(0xFFFF), t.push_back(0x0080);
    text(L"OK");
    t.push_back(0);
    align();
    dword(WS_CHILD | WS_VISIBLE | SS_LEFT);
    dword(0);
    t.push_back(8), t.push_back(8), t.push_back(100), t.push_back(10);
    t.push_back(0xFFFF);
    t.push_back(0xFFFF), t.push_back(0x0082);
    text(L"ラベル");
    t.push_back(0);
    return t;
}

bool Dialog() {
    static const std::vector<WORD> t = Template();
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(t.data()), owner,
                                   TemplateProc, 0) == IDCANCEL;
}

HFONT Font(const wchar_t* face, int height, int weight, BYTE charset) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = charset;
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectW(&lf);
}

struct Hand {
    HFONT fonts[3];
};

LRESULT CALLBACK HandProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* fonts = reinterpret_cast<Hand*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    switch (m) {
    case WM_CREATE: {
        auto* f = new Hand{{Font(L"ＭＳ Ｐ明朝", -15, FW_BOLD, SHIFTJIS_CHARSET),
                            Font(L"Times New Roman", -13, FW_BOLD, ANSI_CHARSET),
                            Font(L"MS UI Gothic", -12, FW_NORMAL, SHIFTJIS_CHARSET)}};
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(f));
        const wchar_t* texts[] = {L"OK", L"タイトル", L"Version", L"(C) 注記"};
        const wchar_t* classes[] = {L"BUTTON", L"STATIC", L"STATIC", L"STATIC"};
        for (int i = 0; i < 4; ++i) {
            HWND c = CreateWindowExW(0, classes[i], texts[i], WS_CHILD | WS_VISIBLE, 10 + i * 40, 10, 40, 20, h,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)), nullptr, nullptr);
            SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(f->fonts[i == 0 ? 2 : i - 1]), FALSE);
        }
        HWND icon = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON, 200, 10, 32, 32, h,
                                    nullptr, nullptr, nullptr);
        SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_APPLICATION)), 0);
        SetTimer(h, 1, 30, nullptr);
        return 0;
    }
    case WM_TIMER:
        DestroyWindow(h);
        return 0;
    case WM_NCDESTROY:
        if (fonts) {
            for (HFONT f : fonts->fonts) DeleteObject(f);
            delete fonts;
        }
        break;
    }
    return DefWindowProcW(h, m, w, l);
}

bool Window() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = HandProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"BaselineHand";
        registered = RegisterClassW(&wc) != 0;
    }
    HWND h = CreateWindowExW(WS_EX_DLGMODALFRAME, L"BaselineHand", L"手製", WS_POPUP | WS_CAPTION | WS_SYSMENU, 100,
                             100, 280, 110, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!h) return false;
    ShowWindow(h, SW_SHOW);
    EnableWindow(owner, FALSE);
    MSG msg;
    while (IsWindow(h) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(h, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    EnableWindow(owner, TRUE);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: soak_baseline colour|dialog|window ROUNDS [EVERY]\n");
        return 2;
    }
    const std::wstring w = argv[1];
    const std::string kind(w.begin(), w.end());
    const int rounds = _wtoi(argv[2]);
    const int every = argc > 3 ? std::max(1, _wtoi(argv[3])) : 10;
    owner = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    korven::soak::Print(kind.c_str(), 0, korven::soak::Take());
    int missed = 0;
    for (int r = 1; r <= rounds; ++r) {
        const bool ok = kind == "colour" ? Colour() : kind == "dialog" ? Dialog() : Window();
        if (!ok) ++missed;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (r % every == 0 || r == rounds) korven::soak::Print(kind.c_str(), r, korven::soak::Take());
    }
    std::printf("%s: %d rounds, %d failed\n", kind.c_str(), rounds, missed);
    return missed ? 1 : 0;
}
