#include "core/session_end.h"

namespace korven {

void (*SessionEndHandler)() = nullptr;

LRESULT SessionEndMessage(UINT message, WPARAM wParam) {
    if (message == WM_QUERYENDSESSION) return TRUE;
    if (message == WM_ENDSESSION && wParam && SessionEndHandler) SessionEndHandler();
    return 0;
}

}  // namespace korven
