#pragma once
#include <windows.h>

namespace korven {
// Builds the map piece by piece and returns true; ends the process itself on a fatal error. False when
// another copy already runs for the same settings file: that copy's map was brought to the front instead.
bool RunStartup(HINSTANCE instance, const wchar_t* commandLine);
}
