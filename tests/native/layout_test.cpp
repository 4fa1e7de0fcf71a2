#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "core/dpi.h"
#include "core/layout.h"

using namespace korven;

TEST(Layout, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven32(12.5), 12);
    EXPECT_EQ(RoundHalfEven32(13.5), 14);
    EXPECT_EQ(RoundHalfEven32(-12.5), -12);
    EXPECT_EQ(RoundHalfEven32(-13.5), -14);
    EXPECT_EQ(RoundHalfEven32(0.5), 0);
    EXPECT_EQ(RoundHalfEven32(-0.5), 0);
    EXPECT_EQ(RoundHalfEven32(2.4999), 2);
    EXPECT_EQ(RoundHalfEven32(2.5001), 3);
}

TEST(Layout, RoundingStopsAtThe32BitEdges) {
    EXPECT_EQ(RoundHalfEven32(2147483647.0), INT32_MAX);
    EXPECT_EQ(RoundHalfEven32(2147483647.4), INT32_MAX);
    EXPECT_FALSE(RoundHalfEven32(2147483647.5));  // the even neighbour 2147483648 does not fit
    EXPECT_EQ(RoundHalfEven32(-2147483648.0), INT32_MIN);
    EXPECT_EQ(RoundHalfEven32(-2147483648.5), INT32_MIN);  // even neighbour is -2147483648
    EXPECT_FALSE(RoundHalfEven32(-2147483649.0));
    EXPECT_FALSE(RoundHalfEven32(1e300));
    EXPECT_FALSE(RoundHalfEven32(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(RoundHalfEven32(std::nan("")));
}

TEST(Layout, IntegerDivisionRoundsOperandsThenTruncates) {
    EXPECT_EQ(IntegerDivide(150, 15), 10);
    EXPECT_EQ(IntegerDivide(149, 15), 9);
    EXPECT_EQ(IntegerDivide(-149, 15), -9);  // toward zero, not toward minus infinity
    EXPECT_EQ(IntegerDivide(29.5, 15), 2);   // 29.5 → 30
    EXPECT_EQ(IntegerDivide(30.5, 15), 2);   // 30.5 → 30
    EXPECT_EQ(IntegerDivide(31.5, 15), 2);   // 31.5 → 32
    EXPECT_EQ(IntegerDivide(45, 14.5), 3);   // divisor 14.5 → 14
    EXPECT_EQ(IntegerDivide(45, 15.5), 2);   // divisor 15.5 → 16
    EXPECT_FALSE(IntegerDivide(1, 0.4));     // divisor rounds to zero
    EXPECT_FALSE(IntegerDivide(INT32_MIN, -1));
    EXPECT_EQ(IntegerDivide(INT32_MIN, 1), INT32_MIN);
}

TEST(Layout, TwipsPerPixelFollowsTheDisplay) {
    EXPECT_EQ(TwipsPerPixelFromDpi(96), 15);
    EXPECT_EQ(TwipsPerPixelFromDpi(120), 12);
    EXPECT_EQ(TwipsPerPixelFromDpi(144), 10);
    EXPECT_EQ(TwipsPerPixelFromDpi(0), 15);
    EXPECT_EQ(TwipsPerPixelFromDpi(-96), 15);
}

TEST(Layout, TwipsAndPixelsConvertBothWays) {
    EXPECT_EQ(TwipsToPixels(3000, 15), 200);
    EXPECT_EQ(TwipsToPixels(-450, 15), -30);
    EXPECT_EQ(TwipsToPixels(7.5, 15), 0);    // half a pixel: to the even 0
    EXPECT_EQ(TwipsToPixels(22.5, 15), 2);   // 1.5 → 2
    EXPECT_EQ(TwipsToPixels(-22.5, 15), -2);
    EXPECT_EQ(TwipsToPixels(8, 15), 1);
    EXPECT_EQ(TwipsToPixels(1e30, 15), INT32_MAX);
    EXPECT_EQ(TwipsToPixels(-1e30, 15), INT32_MIN);
    EXPECT_EQ(TwipsToPixels(100, 0), 0);
    EXPECT_EQ(PixelsToTwips(200, 15), 3000);
    EXPECT_EQ(PixelsToTwips(-30, 15), -450);
    EXPECT_EQ(PixelsToTwips(INT32_MAX, 15), INT32_MAX);
    EXPECT_EQ(PixelsToTwips(INT64_MIN, 15), INT32_MIN);
    for (int px = -500; px <= 500; ++px) ASSERT_EQ(TwipsToPixels(PixelsToTwips(px, 12), 12), px);
}

TEST(Layout, TwipsAndPixelsAgreeAtEveryScale) {
    struct Case {
        int dpi;
        double twips;
        int32_t pixels;
    };
    // 192 and 168 dpi have no whole twips per pixel; ties go to the even pixel.
    const Case cases[] = {{96, 22.5, 2},  {120, 18, 2},   {144, 15, 2},  {168, 30, 4},    {168, 90, 10},
                          {192, 7, 1},    {192, 8, 1},    {192, 375, 50}, {192, 382, 51}, {288, 25, 5},
                          {288, 15, 3},   {192, -30, -4}, {0, 45, 3},    {192, 1e30, INT32_MAX}};
    for (const Case& c : cases) EXPECT_EQ(TwipsToPixelsAt(c.twips, c.dpi), c.pixels) << c.dpi << " " << c.twips;
    for (int dpi : {96, 120, 144, 168, 192, 288}) {
        for (int px = -3000; px <= 3000; ++px) ASSERT_EQ(TwipsToPixelsAt(PixelsToTwipsAt(px, dpi), dpi), px) << dpi;
        // Where twips per pixel is whole, the two ways of converting agree.
        for (int tw = -3000; tw <= 3000 && 1440 % dpi == 0; ++tw)
            ASSERT_EQ(TwipsToPixelsAt(tw, dpi), TwipsToPixels(tw, 1440 / dpi));
        // Positions stored at 96 dpi land within half a pixel of their exact place, with no drift along the map.
        for (int tw = -60000; tw <= 60000; tw += 15)
            ASSERT_LE(std::abs(TwipsToPixelsAt(tw, dpi) - tw * dpi / 1440.0), 0.5) << dpi << " " << tw;
    }
}

TEST(Layout, PlacedPixelsKeepTheirOffsetWhereverCountingStarts) {
    for (int dpi : {120, 144, 168, 192})
        for (int64_t phase = -720; phase < 720; phase += 48)
            for (int tw = -600; tw <= 600; tw += 15) {
                const int64_t at = phase + int64_t{tw} * dpi;
                ASSERT_LE(std::abs(PlacedPixel(at) - at / 1440.0), 0.5);
                for (int64_t shift : {-3, 1, 2, 5}) ASSERT_EQ(PlacedPixel(at + shift * 1440), PlacedPixel(at) + shift);
            }
}

TEST(Layout, SumsThatLeave32BitsAreCaught) {
    EXPECT_EQ(CheckedAdd32(3000, -450), 2550);
    EXPECT_EQ(CheckedAdd32(INT32_MAX, 0), INT32_MAX);
    EXPECT_EQ(CheckedAdd32(INT32_MAX - 1, 1), INT32_MAX);
    EXPECT_FALSE(CheckedAdd32(INT32_MAX, 1));
    EXPECT_FALSE(CheckedAdd32(INT32_MIN, -1));
    EXPECT_EQ(CheckedAdd32(INT32_MIN, INT32_MAX), -1);
}

TEST(Layout, RectanglesMeetOnlyWhenSharingAPixel) {
    const RectL screen{0, 0, 1024, 768};
    EXPECT_TRUE(RectsMeet({1023, 767, 1100, 800}, screen));  // one corner pixel
    EXPECT_FALSE(RectsMeet({1024, 0, 1100, 100}, screen));   // touches the right edge only
    EXPECT_FALSE(RectsMeet({-50, 0, 0, 100}, screen));       // touches the left edge only
    EXPECT_FALSE(RectsMeet({10, 10, 10, 20}, screen));       // empty
    EXPECT_TRUE(RectsMeet({-100, -100, 2000, 2000}, screen)); // covers it
}

TEST(Layout, MapIsOutOfReachOnlyWhenEveryPieceMissesEveryMonitor) {
    const std::vector<RectL> monitors{{0, 0, 1024, 768}, {1024, 0, 2944, 1080}};
    // All on the removed third monitor.
    std::vector<RectL> pieces{{3000, 0, 3100, 100}, {3100, 50, 3300, 400}};
    EXPECT_TRUE(EveryPieceOffEveryMonitor(pieces, monitors));
    // One piece reaching one pixel into the second monitor keeps the layout.
    pieces.push_back({2943, 1079, 3000, 1100});
    EXPECT_FALSE(EveryPieceOffEveryMonitor(pieces, monitors));
    // Left of and above the primary.
    EXPECT_TRUE(EveryPieceOffEveryMonitor({{-500, -500, -1, -1}, {-300, 10, 0, 100}}, monitors));
    EXPECT_FALSE(EveryPieceOffEveryMonitor({}, monitors));
    EXPECT_FALSE(EveryPieceOffEveryMonitor({{5000, 5000, 5100, 5100}}, {}));
}

TEST(Layout, AnOutOfReachMapIsPlacedWholeInTheWorkArea) {
    // A map west and north of its anchor, 600 x 700 pixels, into a 1024 x 728 work area below a 40-pixel bar.
    const std::vector<RectL> map = {{-400, -300, -100, 0}, {0, 0, 200, 400}, {-50, 100, 100, 400}};
    const RectL work{0, 40, 1024, 768};
    const PointL at = AnchorPlacingMapIn(map, work);
    for (const RectL& p : map) {
        EXPECT_GE(p.left + at.x, work.left);
        EXPECT_GE(p.top + at.y, work.top);
        EXPECT_LE(p.right + at.x, work.right);
        EXPECT_LE(p.bottom + at.y, work.bottom);
    }
    // Centred where it fits: as much room on each side.
    EXPECT_EQ((-400 + at.x) - work.left, work.right - (200 + at.x));
    EXPECT_EQ((-300 + at.y) - work.top, work.bottom - (400 + at.y));
}

TEST(Layout, AMapLargerThanTheWorkAreaShowsFromItsTopLeft) {
    const std::vector<RectL> map = {{-2000, -10, 0, 1500}, {0, 0, 100, 100}};
    const PointL at = AnchorPlacingMapIn(map, RectL{100, 0, 1124, 768});
    EXPECT_EQ(at.x, 100 + 2000);  // too wide and too tall: left and top edges on the work area's
    EXPECT_EQ(at.y, 10);
    // Only one axis too large: the other is still centred.
    const PointL wide = AnchorPlacingMapIn({{0, 0, 2000, 100}}, RectL{0, 0, 1000, 500});
    EXPECT_EQ(wide.x, 0);
    EXPECT_EQ(wide.y, 200);
    // No pieces: the work area's corner; far pieces do not overflow.
    EXPECT_EQ(AnchorPlacingMapIn({}, RectL{7, 9, 100, 100}).x, 7);
    const PointL far = AnchorPlacingMapIn({{INT32_MIN, INT32_MIN, INT32_MIN + 10, INT32_MIN + 10}}, RectL{0, 0, 100, 100});
    EXPECT_EQ(far.x, INT32_MAX);
}

TEST(Layout, ScatterStaysOnTheScreen) {
    EXPECT_EQ(ScatterCoordinate(0.0, 15360, 2355), 0);
    EXPECT_EQ(ScatterCoordinate(0.5, 15360, 2360), 6500);
    EXPECT_EQ(ScatterCoordinate(0.9999999, 15360, 2360), 12999);  // below screen − size, never at it
    EXPECT_EQ(ScatterCoordinate(0.25, 15, 16), -1);                // larger than the screen: floor, not toward zero
    for (double r = 0; r < 1; r += 0.001) {
        const int32_t x = ScatterCoordinate(r, 15360, 3600);
        ASSERT_GE(x, 0);
        ASSERT_LT(x, 15360 - 3600);
    }
}
