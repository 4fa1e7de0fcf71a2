// Window classes of this program, registered once on first use.
#pragma once
#include <windows.h>

namespace korven {
// Registers the class unless this module already has it; false when the system refuses.
bool RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style = 0, HBRUSH background = nullptr);
}  // namespace korven
