// The program's shared state, in one place. Touched only from the one user-interface thread.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace korven {

extern bool CaptureEnabled;
extern std::wstring IniBaseName;  // "KORVEN"
extern HINSTANCE AppInstance;

// The application's title, caption of the fatal message boxes.
extern const wchar_t* const AppTitle;  // L"コルベン"

// While a fatal message or a notice of a failed write is up, nothing the user does may act: the program is
// about to end, or has just failed to keep something. A hold disables every enabled top-level window of the
// thread (the message box made afterwards stays usable) and enables them again when it ends; handlers also
// check InputHeld(), since input queued before the hold still reaches its window.
// Disables every enabled top-level window of this thread but one, and enables them again when it goes.
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
    explicit InputHold(HWND owner = nullptr);
    ~InputHold();
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;
    ThreadWindowsDisabled& windows() { return windows_; }

private:
    ThreadWindowsDisabled windows_;
};
bool InputHeld();

// The display's twips per pixel (15 at 96 dots per inch).
int TwipsPerPixelX();
int TwipsPerPixelY();

}  // namespace korven
