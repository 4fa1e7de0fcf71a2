#include "core/notices.h"

#include "core/app_state.h"
#include "core/modal.h"

namespace korven {

NoticeFn NoticeHook;

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

}  // namespace korven
