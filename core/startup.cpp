#include "core/startup.h"

namespace korven {
void RunStartup(HINSTANCE, const wchar_t*) { PostQuitMessage(0); }
}
