// Making the program's windows: their classes, registered once on first use, and what is said when the system
// will not make one.
#pragma once
#include <windows.h>

namespace korven {
// Registers the class unless this module already has it; false when the system refuses.
bool RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style = 0, HBRUSH background = nullptr);

// Says that a window could not be made, in the words of WindowNotCreatedText: a fatal message for what the
// map cannot do without, a notice otherwise. False when window is null.
bool WindowMade(HWND window, const wchar_t* what, bool fatal);
}  // namespace korven
