// The display's side of core/dpi.h: the one place the system's dots per inch is read.
#include <windows.h>

#include <cmath>

#include "core/dpi.h"
#include "core/layout.h"
#include "core/win_owners.h"

namespace korven {

namespace {
int ScreenDpi(int which) {
    WindowDc screen(nullptr);
    return screen.get() ? GetDeviceCaps(screen.get(), which) : 96;
}
}  // namespace

int DisplayDpi() {
    static const int value = DpiOrDefault(ScreenDpi(LOGPIXELSX));
    return value;
}

namespace {
// An exact place at the display's scale, in 1/1440 pixel.
int64_t At1440(int64_t twips) { return twips * DisplayDpi(); }
}  // namespace

// Windows has one system dpi for both axes; a monitor of another scale changes neither.
int TwipsPerPixelX() { return TwipsPerPixelFromDpi(DisplayDpi()); }
int TwipsPerPixelY() { return TwipsPerPixelX(); }

int32_t ScreenPixels(double twips) { return TwipsToPixelsAt(twips, DisplayDpi()); }
int32_t ScreenTwips(int64_t pixels) { return PixelsToTwipsAt(pixels, DisplayDpi()); }

int32_t PiecePixel(int32_t anchorTwips, int32_t offsetTwips) {
    return PlacedPixel(At1440(int64_t{anchorTwips} + offsetTwips));
}

namespace {
int64_t anchorPhaseX = 0, anchorPhaseY = 0;

int64_t PhaseOf(int32_t twips) {
    const int dpi = DisplayDpi();
    return ShapesFromRecords(dpi) ? 0 : PlacePhase(twips, dpi);
}
}  // namespace

void KeepAnchorPhase(int32_t anchorX, int32_t anchorY) {
    anchorPhaseX = PhaseOf(anchorX);
    anchorPhaseY = PhaseOf(anchorY);
}

int32_t OffsetPixelsX(int32_t offsetTwips) { return PlacedPixel(anchorPhaseX + At1440(offsetTwips)); }
int32_t OffsetPixelsY(int32_t offsetTwips) { return PlacedPixel(anchorPhaseY + At1440(offsetTwips)); }

int32_t RecordOffsetPixelsX(int32_t twips) {
    return IntegerDivide(twips, TwipsPerPixelX()).value_or(0);  // cannot fail for a 32-bit dividend
}
int32_t RecordOffsetPixelsY(int32_t twips) { return IntegerDivide(twips, TwipsPerPixelY()).value_or(0); }

int FontPixels(double points) { return static_cast<int>(std::lround(points * DisplayDpi() / 72.0)); }

}  // namespace korven
