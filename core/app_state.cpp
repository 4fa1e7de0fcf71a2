#include "core/app_state.h"

#include "core/layout.h"
#include "pieces/frm_map.h"
#include "regions/target.h"

namespace korven {

std::vector<std::unique_ptr<Piece>> Pieces;
bool CaptureEnabled = false;
std::wstring IniBaseName;
HINSTANCE AppInstance = nullptr;
const wchar_t* const AppTitle = L"コルベン";

Piece* PieceAt(int pieceNumber) {
    if (pieceNumber < 1 || pieceNumber > static_cast<int>(Pieces.size())) return nullptr;
    return Pieces[static_cast<size_t>(pieceNumber - 1)].get();
}

namespace {
int ScreenDpi(int which) {
    WindowDc screen(nullptr);
    return screen.get() ? GetDeviceCaps(screen.get(), which) : 96;
}
}  // namespace

// The program is not DPI-aware, so the value cannot change while it runs.
int TwipsPerPixelX() {
    static const int value = TwipsPerPixelFromDpi(ScreenDpi(LOGPIXELSX));
    return value;
}

int TwipsPerPixelY() {
    static const int value = TwipsPerPixelFromDpi(ScreenDpi(LOGPIXELSY));
    return value;
}

}  // namespace korven
