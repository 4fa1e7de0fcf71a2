// The program's modal loops and the message pumping the long commands do between pieces.
#pragma once
#include <windows.h>

#include "core/app_state.h"
#include "core/win_owners.h"

namespace korven {

// Disables the thread's other top-level windows, runs a local loop (with IsDialogMessage, so Tab and Enter
// work) until the dialog is destroyed, and enables again what it disabled as the dialog's destruction begins,
// handing the activation back to opener (when given) before the system could give it to another program. A
// WM_QUIT is put back.
void RunModal(HWND dialog, HWND opener = nullptr);

// Processes every pending message; a WM_QUIT is put back for the main loop.
void DoEvents();

// Enabled only after the modal window were gone, the others could not take the activation: the system would
// give it to another program's window, which would then come up over the map. While this lives, the windows
// `others` holds are enabled again, and opener activated, as modal (nullptr: the thread's message box) begins
// to be destroyed.
class GiveBackBeforeDestroy {
public:
    GiveBackBeforeDestroy(HWND modal, ThreadWindowsDisabled& others, HWND opener);
    ~GiveBackBeforeDestroy();
    GiveBackBeforeDestroy(const GiveBackBeforeDestroy&) = delete;
    GiveBackBeforeDestroy& operator=(const GiveBackBeforeDestroy&) = delete;

private:
    UniqueHook hook_;
};

}  // namespace korven
