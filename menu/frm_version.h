// frm_Version: the modal version dialog.
#pragma once
#include <windows.h>

namespace korven {
void ShowVersionDialog();    // creates it, shows it modally with no owner; returns when it is closed
HWND VersionDialogWindow();  // nullptr when it is not open
void UnloadVersionDialog();  // shutdown: closes it if it is open
}  // namespace korven
