#include "core/layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korven {

namespace {

constexpr double kMin32 = static_cast<double>(std::numeric_limits<int32_t>::min());
constexpr double kMax32 = static_cast<double>(std::numeric_limits<int32_t>::max());

}  // namespace

int32_t Clamp32(int64_t v) {
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

double RoundHalfEvenWide(double v) {
    const double lower = std::floor(v);
    const double diff = v - lower;
    if (diff > 0.5) return lower + 1.0;
    if (diff < 0.5) return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

std::optional<int32_t> RoundHalfEven32(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double r = RoundHalfEvenWide(value);
    if (r < kMin32 || r > kMax32) return std::nullopt;
    return static_cast<int32_t>(r);
}

std::optional<int32_t> IntegerDivide(double dividend, double divisor) {
    const auto a = RoundHalfEven32(dividend);
    const auto b = RoundHalfEven32(divisor);
    if (!a || !b || *b == 0) return std::nullopt;
    const int64_t q = static_cast<int64_t>(*a) / *b;  // C++ truncates toward zero
    if (q < std::numeric_limits<int32_t>::min() || q > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(q);
}

std::optional<int32_t> CheckedAdd32(int32_t a, int32_t b) {
    const int64_t s = static_cast<int64_t>(a) + b;
    if (s < std::numeric_limits<int32_t>::min() || s > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(s);
}

bool RectsMeet(const RectL& a, const RectL& b) {
    if (a.right <= a.left || a.bottom <= a.top || b.right <= b.left || b.bottom <= b.top) return false;
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool EveryPieceOffEveryMonitor(const std::vector<RectL>& pieces, const std::vector<RectL>& monitors) {
    if (pieces.empty() || monitors.empty()) return false;
    for (const RectL& p : pieces)
        for (const RectL& m : monitors)
            if (RectsMeet(p, m)) return false;
    return true;
}

namespace {
// The anchor's place on one axis: the map spans [lo, hi) around an anchor at 0.
int32_t PlaceSpan(int64_t lo, int64_t hi, int64_t workLo, int64_t workHi) {
    const int64_t span = hi - lo, room = workHi - workLo;
    const int64_t start = span <= room ? workLo + (room - span) / 2 : workLo;
    return Clamp32(start - lo);
}
}  // namespace

PointL AnchorPlacingMapIn(const std::vector<RectL>& pieces, const RectL& work) {
    if (pieces.empty()) return PointL{work.left, work.top};
    int64_t left = pieces.front().left, top = pieces.front().top;
    int64_t right = pieces.front().right, bottom = pieces.front().bottom;
    for (const RectL& p : pieces) {
        left = std::min<int64_t>(left, p.left);
        top = std::min<int64_t>(top, p.top);
        right = std::max<int64_t>(right, p.right);
        bottom = std::max<int64_t>(bottom, p.bottom);
    }
    return PointL{PlaceSpan(left, right, work.left, work.right), PlaceSpan(top, bottom, work.top, work.bottom)};
}

int32_t ScatterCoordinate(double r, int32_t screen, int32_t size) {
    const double span = static_cast<double>(screen) - static_cast<double>(size);
    const double v = std::floor(r * span);
    if (std::isnan(v)) return 0;
    if (v <= kMin32) return std::numeric_limits<int32_t>::min();
    if (v >= kMax32) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

PointL PlacedInside(const RectL& wanted, const RectL& work) {
    auto axis = [](int64_t from, int64_t to, int64_t lo, int64_t hi) {
        const int64_t size = to - from;
        return static_cast<int32_t>(std::max(lo, std::min(from, hi - size)));
    };
    return {axis(wanted.left, wanted.right, work.left, work.right), axis(wanted.top, wanted.bottom, work.top, work.bottom)};
}

}  // namespace korven
