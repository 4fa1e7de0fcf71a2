// The end of the session (log-off, shutdown, restart), one home for every top-level window of the map that
// hears of it: the pieces and frmMenu.
#pragma once
#include <windows.h>

namespace korven {

// What the end does: save what "終了" keeps and shut down. It lives in the menu layer, which start-up hands
// down here, since the pieces hear of the end too and the control menu may not be loaded yet. Unset, the
// session ends without the map doing anything.
extern void (*SessionEndHandler)();

// The answer to WM_QUERYENDSESSION and WM_ENDSESSION: yes to the question, since another program may still
// cancel the end and nothing may be torn down yet; the handler once the end really comes.
LRESULT SessionEndMessage(UINT message, WPARAM wParam);

}  // namespace korven
