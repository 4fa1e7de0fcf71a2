// frmMenu: the hidden window that owns the popup menu of commands and the shutdown path.
#pragma once
#include <windows.h>

#include <functional>

#include "core/session_end.h"
#include "core/settings.h"

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

// The popup mpop as built from its visible items (loads frmMenu); tests read its entries.
HMENU mpop();
// The command of a chosen item; 0 (nothing chosen) does nothing.
void RunMenuCommand(UINT id);
// What "終了" keeps, written to the settings file; the first failure, if any.
IniWriteResult SaveExitState();
// The session ends (log-off, shutdown, restart): what "終了" keeps is written, then the shutdown runs. Start-up
// makes it the SessionEndHandler.
void EndSession();
// frmMenu's close handler and the only shutdown: closes every window, then ends the process.
void Form_QueryUnload();
// How the process ends; tests replace it so that they live on after a shutdown.
extern std::function<void(UINT exitCode)> EndProcessHook;

}  // namespace korven
