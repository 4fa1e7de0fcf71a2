#include "core/modal.h"

#include <vector>

#include "core/app_state.h"
#include "core/notice_text.h"

namespace korven {

NoticeFn NoticeHook;

void RunModal(HWND dialog) {
    if (!IsWindow(dialog)) return;
    const ThreadWindowsDisabled others(dialog);
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

void ShowNotice(HWND owner, const std::wstring& text, UINT flags) {
    InputHold hold(owner);  // a notice tells of something not kept: no command may run behind it
    if (NoticeHook) {
        NoticeHook(owner, text, flags);
        return;
    }
    MessageBoxW(owner, text.c_str(), AppTitle, flags);
}

void ReportWriteFailure(HWND owner, const IniWriteResult& result) {
    if (result.ok) return;
    ShowNotice(owner, WriteFailureText(IniFilePath(), result.reason), MB_OK | MB_ICONERROR);
}

std::function<void(const std::wstring&)> FatalExitHook;

void FatalExit(const std::wstring& text) {
    // The pieces already shown must not take a press while the message is up: a command chosen then
    // (exit above all) would write a settings file the message says was left alone.
    InputHold hold;
    if (FatalExitHook) {
        FatalExitHook(text);
        return;
    }
    MessageBoxW(nullptr, text.c_str(), AppTitle, MB_OK);
    ExitProcess(1);
}

HINSTANCE ModuleInstance() { return AppInstance ? AppInstance : GetModuleHandleW(nullptr); }

}  // namespace korven
