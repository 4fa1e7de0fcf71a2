// Coordinate arithmetic of the map: 32-bit sums and rounding, on-screen tests. Needs no window. Twips and
// pixels: core/dpi.h.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace korven {

struct RectL {  // layout of RECT, so region records can hold it as they are
    int32_t left, top, right, bottom;
};

// Nearest integer, halves to the even neighbour; nothing when not a number or outside 32 bits.
std::optional<int32_t> RoundHalfEven32(double value);

// The integer division of the settings' number rules: both operands rounded halves-to-even first,
// the quotient truncated toward zero. Nothing on a zero divisor or a quotient outside 32 bits.
std::optional<int32_t> IntegerDivide(double dividend, double divisor);

// v to the nearest whole number, halves to the even neighbour, whatever the floating-point rounding mode (a
// foreign DLL may have changed it).
double RoundHalfEvenWide(double v);
// v held inside 32 bits.
int32_t Clamp32(int64_t v);

// a + b, or nothing when the sum leaves 32 bits.
std::optional<int32_t> CheckedAdd32(int32_t a, int32_t b);

// True when the rectangles share at least one pixel; empty rectangles share none.
bool RectsMeet(const RectL& a, const RectL& b);

// True when no piece shares a pixel with any monitor: the map would be out of reach.
// False when either list is empty (nothing to place, or nowhere to place it).
bool EveryPieceOffEveryMonitor(const std::vector<RectL>& pieces, const std::vector<RectL>& monitors);

// Where the anchor goes so that a map laid out around it lies in the work area: pieces are given as if the
// anchor stood at (0, 0). Centred on an axis where the map fits, its left (top) edge on the work area's where
// it does not, so the part that shows is whole from there. Returns the anchor's new pixel place; (work.left,
// work.top) when there are no pieces.
struct PointL {
    int32_t x, y;
};
PointL AnchorPlacingMapIn(const std::vector<RectL>& pieces, const RectL& work);

// Where a window wanted at `wanted` goes so that it lies wholly in `work`: moved in just far enough on each
// axis; its top-left corner on the work area's where it is larger than the work area.
PointL PlacedInside(const RectL& wanted, const RectL& work);

// A scattered piece's left (or top): floor(r × (screen − size)), r in [0, 1).
int32_t ScatterCoordinate(double r, int32_t screen, int32_t size);

}  // namespace korven
