#include "core/dpi.h"

#include <cmath>
#include <limits>

#include "core/layout.h"

namespace korven {

namespace {

constexpr double kMin32 = static_cast<double>(std::numeric_limits<int32_t>::min());
constexpr double kMax32 = static_cast<double>(std::numeric_limits<int32_t>::max());

// n / d to the nearest integer, halves to even, exactly; d > 0.
int64_t DivideHalfEven(int64_t n, int64_t d) {
    int64_t q = n / d, r = n % d;
    if (r < 0) r += d, --q;  // floor
    if (2 * r > d || (2 * r == d && (q & 1) != 0)) ++q;
    return q;
}

}  // namespace

int DpiOrDefault(int dotsPerInch) { return dotsPerInch <= 0 || dotsPerInch > 1440 ? 96 : dotsPerInch; }

int TwipsPerPixelFromDpi(int dotsPerInch) {
    if (dotsPerInch <= 0 || dotsPerInch > 1440) return 15;
    return 1440 / dotsPerInch;
}

bool ShapesFromRecords(int dotsPerInch) { return DpiOrDefault(dotsPerInch) == 96; }

int32_t TwipsToPixels(double twips, int twipsPerPixel) {
    if (twipsPerPixel <= 0 || std::isnan(twips)) return 0;
    const double px = RoundHalfEvenWide(twips / twipsPerPixel);
    if (px <= kMin32) return std::numeric_limits<int32_t>::min();
    if (px >= kMax32) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(px);
}

int32_t PixelsToTwips(int64_t pixels, int twipsPerPixel) {
    constexpr int64_t kFar = int64_t{1} << 40;  // beyond any 32-bit twip value, yet safe to multiply
    if (pixels > kFar) pixels = kFar;
    if (pixels < -kFar) pixels = -kFar;
    return Clamp32(pixels * twipsPerPixel);
}

int32_t TwipsToPixelsAt(double twips, int dotsPerInch) {
    const int dpi = DpiOrDefault(dotsPerInch);
    if (std::isnan(twips)) return 0;
    constexpr double kWhole = 1e15;  // whole numbers are exact in a double up to here, and safe to multiply
    if (twips >= kWhole) return std::numeric_limits<int32_t>::max();
    if (twips <= -kWhole) return std::numeric_limits<int32_t>::min();
    if (twips == std::floor(twips)) return Clamp32(DivideHalfEven(static_cast<int64_t>(twips) * dpi, 1440));
    const double px = RoundHalfEvenWide(twips * dpi / 1440.0);
    if (px <= kMin32) return std::numeric_limits<int32_t>::min();
    if (px >= kMax32) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(px);
}

int32_t PixelsToTwipsAt(int64_t pixels, int dotsPerInch) {
    const int dpi = DpiOrDefault(dotsPerInch);
    constexpr int64_t kFar = int64_t{1} << 40;
    if (pixels > kFar) pixels = kFar;
    if (pixels < -kFar) pixels = -kFar;
    return Clamp32(DivideHalfEven(pixels * 1440, dpi));
}

int32_t PlacedPixel(int64_t at1440) {
    int64_t n = at1440 + 720, q = n / 1440;
    if (n % 1440 < 0) --q;  // floor
    return Clamp32(q);
}

int64_t PlacePhase(int32_t twips, int dotsPerInch) {
    const int64_t at = int64_t{twips} * dotsPerInch;
    return at - int64_t{1440} * PlacedPixel(at);
}

}  // namespace korven
