// What the program's own dialogs (capital, version) are built with.
#pragma once
#include <windows.h>

#include "core/win_owners.h"

namespace korven {

// A font of the given face and size in points (tenths allowed), for controls of a dialog.
UniqueFont MakeFont(const wchar_t* face, double points, int weight, BYTE charset);
// The system's message font, the dialogs' default font.
UniqueFont MakeMessageFont();

}  // namespace korven
