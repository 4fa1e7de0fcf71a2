#pragma once
#include <windows.h>

namespace korven {
// Builds the map piece by piece and returns; ends the process itself on a fatal error.
void RunStartup(HINSTANCE instance, const wchar_t* commandLine);
}
