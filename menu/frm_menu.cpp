// Placeholder so that the piece window links before the control menu exists; replaced by the real menu.
#include "menu/frm_menu.h"

namespace korven {
HWND MenuWindow() { return nullptr; }
bool MenuWindowLoaded() { return false; }
void ShowSaveItem() {}
void PopupPieceMenu(HWND) {}
void mSave_Click() {}
void mban_Click() {}
void mgo_Click() {}
void mver_Click() {}
void mend_Click() {}
}  // namespace korven
