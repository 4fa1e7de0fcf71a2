// The program's modal loops, the message pumping the long commands do between pieces, and the message boxes
// that tell the user of a failure.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "core/notice_text.h"
#include "core/settings.h"

namespace korven {

// Disables the thread's other top-level windows, runs a local loop (with IsDialogMessage, so Tab and Enter
// work) until the dialog is destroyed, and enables again what it disabled as the dialog's destruction begins,
// handing the activation back to opener (when given) before the system could give it to another program. A
// WM_QUIT is put back.
void RunModal(HWND dialog, HWND opener = nullptr);

// Processes every pending message; a WM_QUIT is put back for the main loop.
void DoEvents();

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

// Says that a window could not be made, in the words of WindowNotCreatedText: a fatal message for what the
// map cannot do without, a notice otherwise. False when window is null.
bool WindowMade(HWND window, const wchar_t* what, bool fatal);

// The program's module, also inside the test executables where start-up has not set AppInstance.
HINSTANCE ModuleInstance();

}  // namespace korven
