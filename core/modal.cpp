#include "core/modal.h"

#include <string_view>
#include <vector>

namespace korven {

namespace {

// What a modal window hands back when it begins to be destroyed. modal nullptr: the thread's message box.
struct GiveBack {
    HWND modal;
    ThreadWindowsDisabled* others;
    HWND opener;
};
std::vector<GiveBack> giveBacks;

bool IsMessageBox(HWND window) {
    wchar_t cls[8] = {};
    GetClassNameW(window, cls, 8);
    return std::wstring_view(cls) == L"#32770";
}

LRESULT CALLBACK BeforeDestroy(int code, WPARAM wParam, LPARAM lParam) {
    const HWND going = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_DESTROYWND) {
        for (GiveBack& g : giveBacks) {
            if (!g.others || (g.modal ? g.modal != going : !IsMessageBox(going))) continue;
            g.others->Release();
            g.others = nullptr;
            if (IsWindow(g.opener) && IsWindowVisible(g.opener) && IsWindowEnabled(g.opener))
                SetForegroundWindow(g.opener);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

GiveBackBeforeDestroy::GiveBackBeforeDestroy(HWND modal, ThreadWindowsDisabled& others, HWND opener)
    : hook_(SetWindowsHookExW(WH_CBT, BeforeDestroy, nullptr, GetCurrentThreadId())) {
    giveBacks.push_back({modal, &others, opener});
}

GiveBackBeforeDestroy::~GiveBackBeforeDestroy() { giveBacks.pop_back(); }

void RunModal(HWND dialog, HWND opener) {
    if (!IsWindow(dialog)) return;
    ThreadWindowsDisabled others(dialog);
    const GiveBackBeforeDestroy giveBack(dialog, others, opener);
    MSG msg;
    while (IsWindow(dialog)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void DoEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace korven
