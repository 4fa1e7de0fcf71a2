// Program entry: the start-up procedure builds the map, then the system's message loop runs until shutdown.
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    if (!korven::RunStartup(instance, commandLine)) return 0;
    MSG msg{};
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Only a WM_QUIT carries an exit code; a failed GetMessageW leaves msg as it was.
    return got == 0 ? static_cast<int>(msg.wParam) : 1;
}
