// The region routines on real windows: sizes, shapes, persistent images, the paint step and the two
// failures that end the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/app_state.h"
#include "core/notices.h"
#include "regions/frm_rgn_picture.h"
#include "regions/record_sizes.h"
#include "regions/region_record.h"
#include "regions/scaled_shapes.h"
#include "regions/shaping.h"
#include "tests/win/piece_fixture.h"

using namespace korven;
using namespace korven::test;

namespace {

SIZE OuterSize(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

UniqueBitmap SolidPicture(int width, int height, COLORREF colour) {
    WindowDc screen(nullptr);
    UniqueBitmap bmp(CreateCompatibleBitmap(screen.get(), width, height));
    UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    SelectedObject sel(dc.get(), bmp.get());
    UniqueBrush brush(CreateSolidBrush(colour));
    RECT all{0, 0, width, height};
    FillRect(dc.get(), &all, brush.get());
    return bmp;
}

class Shaping : public ::testing::Test {
protected:
    void SetUp() override {
        FillSyntheticStore();
        ThrowOnFatal();
        ASSERT_EQ(TwipsPerPixelX(), 15);  // the figures below are for 96 dots per inch
        ASSERT_EQ(TwipsPerPixelY(), 15);
    }
    void TearDown() override {
        FatalExitHook = nullptr;
        SetRgnPictureImage(0, nullptr);
    }
};

}  // namespace

// Must run first in this executable: nothing has loaded the store yet.
TEST(ShapingFreshRun, FirstCallLoadsTheStoreOnceEvenWithoutFlags) {
    ASSERT_EQ(RegionStoreLoaded, 0);
    RegionRecord zero{};
    ASSERT_EQ(std::memcmp(&RegionStore[35], &zero, sizeof zero), 0);

    TestWindow w(50, 40);
    w.target.backColor = RGB(0, 128, 255);
    ASSERT_FALSE(w.target.AutoRedraw());
    ShapeAndPaint(35, w.target, 0, 0, 0, false);

    EXPECT_EQ(RegionStoreLoaded, -1);
    EXPECT_EQ(RegionStore[35].rdh.nCount, RegionSources[35].count);
    EXPECT_TRUE(w.target.AutoRedraw());
    EXPECT_EQ(OuterSize(w.target.hwnd).cx, 50);  // no size step
    EXPECT_TRUE(WindowRegionRects(w.target.hwnd).empty());  // no region step
    EXPECT_EQ(GetPixel(w.target.hdc(), 10, 10), RGB(0, 128, 255));  // cleared all the same

    // A second call does not load again: a change made to the store survives it.
    RegionStore[35].Buffer[0].left -= 1;
    const RectL changed = RegionStore[35].Buffer[0];
    ShapeAndPaint(35, w.target, 0, 0, 0, false);
    EXPECT_EQ(RegionStore[35].Buffer[0], changed);
}

TEST_F(Shaping, ApplyRegionSizesShapesAndClearsWithoutPainting) {
    SetRgnPictureImage(0, SolidPicture(30, 30, RGB(0, 255, 0)));  // would show if painting happened
    TestWindow w(10, 10);
    ApplyRegion(0, w.target, false);
    EXPECT_EQ(w.target.Width(), 2355);
    EXPECT_EQ(w.target.Height(), 2115);
    EXPECT_EQ(WindowRegionRects(w.target.hwnd), RecordRects(0));
    EXPECT_EQ(GetPixel(w.target.hdc(), 20, 20), RGB(255, 255, 255));
}

TEST_F(Shaping, OutlineRecordSizesLikeItsFillAndCutsToTheRim) {
    TestWindow parent(400, 400);
    HWND child = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 25, 25, parent.target.hwnd,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    Target p;
    p.hwnd = child;
    p.backColor = 0;
    ApplyRegion(47, p, false);
    EXPECT_EQ(p.Width(), 2355);
    EXPECT_EQ(p.Height(), 2115);
    EXPECT_EQ(WindowRegionRects(child), RecordRects(47));
    EXPECT_EQ(GetPixel(p.hdc(), 0, 0), RGB(0, 0, 0));
    for (int n = 0; n < PrefCount * 2; ++n) {
        TwipSize s{};
        ASSERT_TRUE(RecordSizeTable(n, s));
        ShapeAndPaint(n, p, ShapeFlagSize | ShapeFlagRegion, 0, 0, false);
        ASSERT_EQ(p.Width(), s.width) << n;
        ASSERT_EQ(p.Height(), s.height) << n;
        ASSERT_EQ(WindowRegionRects(child), RecordRects(n)) << n;
    }
}

TEST_F(Shaping, AutoRedrawIsSetOnlyWhenItWasOff) {
    TestWindow w(20, 20);
    w.target.SetAutoRedraw(true);
    const int writes = w.target.autoRedrawWrites();
    ShapeAndPaint(3, w.target, ShapeFlagSize, 0, 0, false);
    EXPECT_EQ(w.target.autoRedrawWrites(), writes);
    EXPECT_TRUE(w.target.AutoRedraw());

    TestWindow v(20, 20);
    ShapeAndPaint(3, v.target, ShapeFlagSize, 0, 0, false);
    EXPECT_EQ(v.target.autoRedrawWrites(), 1);
    EXPECT_TRUE(v.target.AutoRedraw());
}

TEST_F(Shaping, EachFlagDoesOnlyItsStep) {
    TestWindow a(20, 20);
    ShapeAndPaint(5, a.target, ShapeFlagSize, 0, 0, false);
    EXPECT_EQ(a.target.Width(), 555);
    EXPECT_EQ(a.target.Height(), 600);
    EXPECT_TRUE(WindowRegionRects(a.target.hwnd).empty());

    TestWindow b(20, 20);
    ShapeAndPaint(5, b.target, ShapeFlagRegion, 0, 0, false);
    EXPECT_EQ(OuterSize(b.target.hwnd).cx, 20);
    EXPECT_EQ(OuterSize(b.target.hwnd).cy, 20);
    EXPECT_EQ(WindowRegionRects(b.target.hwnd), RecordRects(5));
}

TEST_F(Shaping, PaintStepDrawsThePictureClippedToTheShape) {
    SetRgnPictureImage(0, SolidPicture(200, 200, RGB(0, 200, 0)));
    TestWindow w(10, 10);
    w.target.backColor = RGB(255, 255, 255);
    ShapeAndPaint(0, w.target, ShapeFlagSize | ShapeFlagRegion | ShapeFlagPaint, 0, 0, false);
    int width = 0, height = 0;
    const std::vector<uint8_t> mask = SyntheticMask(0, width, height);
    int inside = 0, outside = 0;
    for (int y = 0; y < height; y += 3)
        for (int x = 0; x < width; x += 3) {
            const COLORREF want = (mask[static_cast<size_t>(y * width + x)] && x < 200 && y < 200)
                                      ? RGB(0, 200, 0)
                                      : RGB(255, 255, 255);
            ASSERT_EQ(GetPixel(w.target.hdc(), x, y), want) << x << "," << y;
            (want == RGB(0, 200, 0) ? inside : outside)++;
        }
    EXPECT_GT(inside, 100);
    EXPECT_GT(outside, 10);

    // The clip is gone afterwards: drawing reaches the corners again.
    SetPixel(w.target.hdc(), 0, 0, RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(w.target.hdc(), 0, 0), RGB(1, 2, 3));
}

TEST_F(Shaping, PaintStepWithAnOffsetMovesPictureAndClipTogether) {
    SetRgnPictureImage(0, SolidPicture(400, 400, RGB(0, 200, 0)));
    TestWindow w(10, 10);
    ShapeAndPaint(0, w.target, ShapeFlagSize | ShapeFlagPaint, 150, 300, false);  // 10 and 20 pixels
    int width = 0, height = 0;
    const std::vector<uint8_t> mask = SyntheticMask(0, width, height);
    for (int y = 0; y < height; y += 2)
        for (int x = 0; x < width; x += 2) {
            const int sx = x - 10, sy = y - 20;
            const bool in = sx >= 0 && sy >= 0 && sx < width && sy < height && mask[static_cast<size_t>(sy * width + sx)];
            ASSERT_EQ(GetPixel(w.target.hdc(), x, y), in ? RGB(0, 200, 0) : RGB(255, 255, 255)) << x << "," << y;
        }
}

TEST_F(Shaping, RecordWithoutPictureLeavesTheImageAsCleared) {
    TestWindow w(10, 10);
    w.target.backColor = RGB(10, 20, 30);
    ShapeAndPaint(7, w.target, ShapeFlagSize | ShapeFlagRegion | ShapeFlagPaint, 0, 0, false);  // no pPicture(7)
    EXPECT_EQ(GetPixel(w.target.hdc(), 15, 15), RGB(10, 20, 30));
    ShapeAndPaint(1, w.target, ShapeFlagPaint, 0, 0, false);  // pPicture(1) exists but holds nothing
    EXPECT_EQ(GetPixel(w.target.hdc(), 15, 15), RGB(10, 20, 30));
    EXPECT_TRUE(RgnPictureLoaded());
}

TEST_F(Shaping, ScratchPictureWindowIsHiddenWithTwoBoxesAsDesigned) {
    HWND form = RgnPictureWindow();
    EXPECT_FALSE(IsWindowVisible(form));
    ASSERT_NE(pPicture(0), nullptr);
    ASSERT_NE(pPicture(1), nullptr);
    EXPECT_EQ(pPicture(2), nullptr);
    EXPECT_EQ(pPicture(-1), nullptr);
    EXPECT_EQ(pPicture(0)->Width(), 615);
    EXPECT_EQ(pPicture(0)->Height(), 495);
    RECT r{};
    GetWindowRect(pPicture(1)->hwnd, &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left * 15, 720);
    EXPECT_EQ(r.top * 15, 360);
    UnloadRgnPicture();
    EXPECT_FALSE(RgnPictureLoaded());
    EXPECT_FALSE(IsWindow(form));
    EXPECT_NE(pPicture(0), nullptr);  // created again on the next use
}

TEST_F(Shaping, SizeToRecordIgnoresARecordWithoutSize) {
    TestWindow w(33, 44);
    SizeToRecord(94, w.target);
    SizeToRecord(-1, w.target);
    EXPECT_EQ(OuterSize(w.target.hwnd).cx, 33);
    EXPECT_EQ(OuterSize(w.target.hwnd).cy, 44);
}

TEST_F(Shaping, UniteWithoutARegionGivesExactlyTheRecord) {
    TestWindow w(400, 400);
    ShapeWindow(21, w.target, 0, 0, true);
    EXPECT_EQ(WindowRegionRects(w.target.hwnd), RecordRects(21));
}

TEST_F(Shaping, UniteAddsTheShapeToTheCurrentOneAndPlainReplaces) {
    TestWindow w(400, 400);
    ShapeWindow(0, w.target, 0, 0, false);
    ShapeWindow(47, w.target, 1500, 0, true);  // the rim, 100 pixels to the right

    int width = 0, height = 0;
    const std::vector<uint8_t> fill = SyntheticMask(0, width, height);
    const std::vector<uint8_t> rim = SyntheticMask(47, width, height);
    const int W = width + 100;
    std::vector<uint8_t> both(static_cast<size_t>(W * height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            both[static_cast<size_t>(y * W + x)] |= fill[static_cast<size_t>(y * width + x)];
            both[static_cast<size_t>(y * W + x + 100)] |= rim[static_cast<size_t>(y * width + x)];
        }
    RegionRecord expected{};
    ASSERT_TRUE(RecordFromMask(both.data(), W, height, expected));
    EXPECT_EQ(WindowRegionRects(w.target.hwnd),
              std::vector<RectL>(expected.Buffer, expected.Buffer + expected.rdh.nCount));

    ShapeWindow(35, w.target, 0, 0, false);
    EXPECT_EQ(WindowRegionRects(w.target.hwnd), RecordRects(35));
}

TEST_F(Shaping, OffsetIsWholePixelsTowardZeroAndOnlyWhenAsked) {
    UniqueRgn plain = RegionFromRecord(9, 0, 0);
    EXPECT_EQ(RegionRects(plain.get()), RecordRects(9));
    UniqueRgn right = RegionFromRecord(9, 150, 0);
    EXPECT_EQ(RegionRects(right.get()), RecordRects(9, 10, 0));
    UniqueRgn small = RegionFromRecord(9, 14, -14);  // less than a pixel either way: no move
    EXPECT_EQ(RegionRects(small.get()), RecordRects(9));
    UniqueRgn back = RegionFromRecord(9, -29, -31);  // -1 and -2 pixels, truncated toward zero
    EXPECT_EQ(RegionRects(back.get()), RecordRects(9, -1, -2));
}

TEST_F(Shaping, EmptyRecordEndsWithTheReadingMessageBeforeTouchingTheWindow) {
    TestWindow w(30, 30);
    ShapeWindow(3, w.target, 0, 0, false);
    try {
        ShapeAndPaint(94, w.target, ShapeFlagSize | ShapeFlagRegion, 0, 0, false);
        FAIL() << "no fatal report";
    } catch (const Fatal& f) {
        EXPECT_EQ(f.text, L"It failed in reading of region data.");
    }
    EXPECT_EQ(WindowRegionRects(w.target.hwnd), RecordRects(3));
    EXPECT_EQ(OuterSize(w.target.hwnd).cx, 30);
}

TEST_F(Shaping, DamagedHeaderIsRefusedNotReadPastItsEnd) {
    TestWindow w(30, 30);
    RegionStore[4].rdh.nCount = 100000;
    RegionStore[4].rdh.nRgnSize = 1600000;
    EXPECT_THROW(ShapeWindow(4, w.target, 0, 0, false), Fatal);
    FillSyntheticStore();
    RegionStore[4].rdh.nRgnSize += 16;  // disagrees with nCount
    EXPECT_THROW(ShapeWindow(4, w.target, 0, 0, false), Fatal);
}

TEST_F(Shaping, WindowThatCannotTakeARegionEndsWithTheSurgeryMessage) {
    Target gone;
    {
        TestWindow w(30, 30);
        gone.hwnd = w.target.hwnd;
    }
    try {
        ShapeWindow(2, gone, 0, 0, false);
        FAIL() << "no fatal report";
    } catch (const Fatal& f) {
        EXPECT_EQ(f.text, L"It failed in plastic surgery of a window.");
    }
}

TEST_F(Shaping, ScaledShapeOfAnySizeBecomesTheRegionAndAGoneWindowTheSurgeryMessage) {
    const ScaledShape big = ShapeAt(0, 288, 9780, 4500);  // 北海道 at 300 %
    ASSERT_GT(big.outline.size(), static_cast<size_t>(RecordCapacity));
    TestWindow w(10, 10);
    ApplyRects(big.outline, big.width, big.height, w.target);
    EXPECT_EQ(OuterSize(w.target.hwnd).cx, big.width);
    EXPECT_EQ(OuterSize(w.target.hwnd).cy, big.height);
    EXPECT_EQ(WindowRegionRects(w.target.hwnd), big.outline);
    EXPECT_TRUE(w.target.AutoRedraw());
    Target gone;
    gone.hwnd = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 5, 5, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    DestroyWindow(gone.hwnd);
    try {
        ApplyRects(big.fill, big.width, big.height, gone);
        FAIL() << "no fatal report";
    } catch (const Fatal& f) {
        EXPECT_EQ(f.text, L"It failed in plastic surgery of a window.");
    }
}

TEST_F(Shaping, WhenTheHookReturnsTheRoutinesStopQuietly) {
    std::wstring seen;
    FatalExitHook = [&](const std::wstring& text) { seen = text; };
    TestWindow w(30, 30);
    ShapeWindow(94, w.target, 0, 0, true);
    EXPECT_EQ(seen, RegionReadFailedText);
    EXPECT_TRUE(WindowRegionRects(w.target.hwnd).empty());
    seen.clear();
    PaintRecordPicture(94, w.target, 0, 0);
    EXPECT_EQ(seen, RegionReadFailedText);
}

// The real ending: the box, titled with the program's title, then the process is gone.
namespace {
DWORD WINAPI PressOk(void*) {
    for (int i = 0; i < 200; ++i) {
        Sleep(50);
        HWND box = FindWindowW(L"#32770", AppTitle);
        if (!box) continue;
        wchar_t text[256] = {};
        HWND label = GetDlgItem(box, 0xFFFF);
        if (label) GetWindowTextW(label, text, 256);
        fprintf(stderr, "box[%s]\n", wcscmp(text, L"It failed in reading of region data.") == 0 ? "reading" : "other");
        fflush(stderr);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    return 0;
}
}  // namespace

TEST(ShapingDeathTest, FatalFailureShowsTheBoxAndEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FatalExitHook = nullptr;
            CloseHandle(CreateThread(nullptr, 0, PressOk, nullptr, 0, nullptr));
            TestWindow w(30, 30);
            ShapeWindow(94, w.target, 0, 0, false);
            fprintf(stderr, "still running\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "box\\[reading\\]");
}
