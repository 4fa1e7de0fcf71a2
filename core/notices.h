// The message boxes that tell the user of a failure: notices, the write-failure report and the fatal exit.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "core/notice_text.h"
#include "core/settings.h"

namespace korven {

// The message box the user is told things with; tests replace it to see what would be said.
using NoticeFn = std::function<void(HWND owner, const std::wstring& text, UINT flags)>;
extern NoticeFn NoticeHook;  // empty: MessageBoxW
// afterFailedWrite: behind it, a session end writes nothing either.
void ShowNotice(HWND owner, const std::wstring& text, UINT flags, bool afterFailedWrite = false);

// Names the settings file and the reason; nothing when the write went through.
void ReportWriteFailure(HWND owner, const IniWriteResult& result, SavedBy by);

// A failure that ends the program: a message box titled AppTitle with a single OK, then the process ends
// at once (no shutdown, nothing saved). Tests set FatalExitHook to see the text instead; when the hook
// returns, the routine that failed returns without going on.
extern std::function<void(const std::wstring& text)> FatalExitHook;
// icon: MB_ICONERROR for a fault of the settings file, as its write failures have; none for the fixed region texts.
void FatalExit(const std::wstring& text, UINT icon = 0);

}  // namespace korven
