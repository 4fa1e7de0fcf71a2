// The program's shared state, in one place. Touched only from the one user-interface thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/dpi.h"  // the display scale, fixed for the run, is shared state too

namespace korven {

extern bool CaptureEnabled;
extern std::wstring IniBaseName;  // "KORVEN"
extern HINSTANCE AppInstance;
// The program's module, the one way to it: AppInstance, or this executable's inside the test executables where
// start-up has not set it.
HINSTANCE ModuleInstance();

// The application's title, caption of the fatal message boxes.
extern const wchar_t* const AppTitle;  // L"コルベン"

// While a fatal message or a notice of a failed write is up, nothing the user does may act: the program is
// about to end, or has just failed to keep something. A hold disables the program's enabled top-level windows
// (the message box made afterwards stays usable) and enables them again when it ends; handlers also check
// InputHeld(), since input queued before the hold still reaches its window.
// Disables the program's enabled top-level windows of this thread but one (not the system's, such as the
// IME's), and enables them again when it goes.
class ThreadWindowsDisabled {
public:
    explicit ThreadWindowsDisabled(HWND except);
    ~ThreadWindowsDisabled();
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    void Release();  // enables them now
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

private:
    std::vector<HWND> disabled_;
};

class InputHold {
public:
    // owner: the window a message box is given, which the box disables and gives back, active, itself.
    // savingHeld: a fatal message or a failed-write notice, behind which not even a session end may write.
    explicit InputHold(HWND owner = nullptr, bool savingHeld = true);
    ~InputHold();
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;
    ThreadWindowsDisabled& windows() { return windows_; }

private:
    ThreadWindowsDisabled windows_;
    bool savingHeld_;
};
bool InputHeld();
bool SavingHeld();

}  // namespace korven
