// What the program's own dialogs (capital, version) are built with.
#pragma once
#include <windows.h>

#include "core/win_owners.h"

namespace korven {

// A font of the given face and size in points (tenths allowed), for controls of a dialog.
UniqueFont MakeFont(const wchar_t* face, double points, int weight, BYTE charset);
// The system's message font, the dialogs' default font.
UniqueFont MakeMessageFont();

// A visible child control at (left, top), width × height twips; with a font given it draws with that font.
HWND DialogChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int id,
                 int left, int top, int width, int height, HFONT font);

// The outer size, in pixels, of a window of these styles whose client area is width × height twips.
SIZE DialogFrameSize(int width, int height, DWORD style, DWORD exStyle);

// WM_DPICHANGED: the dialog goes where the system suggests, with its frame at the new scale around the same
// client area of width × height twips (its controls and fonts stay as they are).
void KeepClientAtNewScale(HWND dialog, int width, int height, WPARAM dpi, LPARAM suggested);

// Shows the dialog in front with the focus on the given control, and returns when the dialog is gone.
void ShowModalDialog(HWND dialog, int focusId);

// WM_CTLCOLORSTATIC: labels draw in the system's text colour on the dialog's face, in any theme.
LRESULT LabelOnDialogFace(WPARAM dc);

}  // namespace korven
