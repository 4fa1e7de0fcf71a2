// frmMenu: the hidden window that owns the popup menu of commands and the shutdown path.
#pragma once
#include <windows.h>

namespace korven {

HWND MenuWindow();        // creates frmMenu, hidden, on first reference
bool MenuWindowLoaded();  // without creating it
void ShowSaveItem();      // makes "位置情報取得" visible (capture mode); loads frmMenu
void PopupPieceMenu(HWND piece);  // at the pointer; runs the chosen command after the menu closes

// Command handlers behind the menu items.
void mSave_Click();
void mban_Click();
void mgo_Click();
void mver_Click();
void mend_Click();

}  // namespace korven
