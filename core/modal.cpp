#include "core/modal.h"

#include <string_view>
#include <vector>

#include "core/app_state.h"
#include "core/notice_text.h"
#include "core/win_owners.h"

namespace korven {

NoticeFn NoticeHook;

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

// Enabled only after the modal window were gone, the others could not take the activation: the system would
// give it to another program's window, which would then come up over the map.
class GiveBackBeforeDestroy {
public:
    GiveBackBeforeDestroy(HWND modal, ThreadWindowsDisabled& others, HWND opener)
        : hook_(SetWindowsHookExW(WH_CBT, BeforeDestroy, nullptr, GetCurrentThreadId())) {
        giveBacks.push_back({modal, &others, opener});
    }
    ~GiveBackBeforeDestroy() { giveBacks.pop_back(); }
    GiveBackBeforeDestroy(const GiveBackBeforeDestroy&) = delete;
    GiveBackBeforeDestroy& operator=(const GiveBackBeforeDestroy&) = delete;

private:
    UniqueHook hook_;
};

}  // namespace

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

void ShowNotice(HWND owner, const std::wstring& text, UINT flags, bool afterFailedWrite) {
    const HWND opener = GetActiveWindow();
    InputHold hold(owner, afterFailedWrite);  // a notice tells of something not kept: no command may run behind it
    if (NoticeHook) {
        NoticeHook(owner, text, flags);
        return;
    }
    const GiveBackBeforeDestroy giveBack(nullptr, hold.windows(), opener);
    MessageBoxW(owner, text.c_str(), AppTitle, flags);
}

void ReportWriteFailure(HWND owner, const IniWriteResult& result, SavedBy by) {
    if (result.ok) return;
    ShowNotice(owner, WriteFailureText(IniFilePath(), result.reason, by), MB_OK | MB_ICONERROR, true);
}

std::function<void(const std::wstring&)> FatalExitHook;

void FatalExit(const std::wstring& text, UINT icon) {
    // The pieces already shown must not take a press while the message is up: a command chosen then
    // (exit above all) would write a settings file the message says was left alone.
    InputHold hold;
    if (FatalExitHook) {
        FatalExitHook(text);
        return;
    }
    MessageBoxW(nullptr, text.c_str(), AppTitle, MB_OK | icon);
    ExitProcess(1);
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

HINSTANCE ModuleInstance() { return AppInstance ? AppInstance : GetModuleHandleW(nullptr); }

}  // namespace korven
