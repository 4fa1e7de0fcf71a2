// Opening and closing the dialogs, scatter-gather rounds and the tooltips, many times over in one process:
// nothing may stay behind. Wine's GetGuiResources answers 0, so GDI objects are counted in this process's GDI
// handle table. The first openings fill caches for good (comdlg32's bitmaps, realized fonts, the icon), so
// counting starts after a warm-up.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <functional>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/notices.h"
#include "menu/frm_menu.h"
#include "menu/frm_version.h"
#include "pieces/color_chooser.h"
#include "pieces/frm_data.h"
#include "tests/soak/measure.h"
#include "tests/win/gdi_table.h"
#include "tests/win/piece_fixture.h"

namespace korven {
namespace {

using namespace korven::test;

constexpr int WarmUp = 3;
constexpr int Rounds = 20;

// A piece moved under the resting pointer may show its tip after the delay: counted rounds keep the tips from
// showing, so that they measure the commands alone.
BOOL CALLBACK QuietTip(HWND window, LPARAM) {
    if (lstrcmpiW(ClassOf(window).c_str(), TOOLTIPS_CLASSW) == 0) {
        SendMessageW(window, TTM_POP, 0, 0);
        SendMessageW(window, TTM_ACTIVATE, FALSE, 0);
    }
    return TRUE;
}
void QuietTips() { EnumThreadWindows(GetCurrentThreadId(), QuietTip, 0); }

// Wine makes a system colour's brush the first time anything asks for it and keeps it for the process, so the
// first frame drawn in a colour mid-count would read as one brush more (COLOR_WINDOWFRAME's was seen so).
void MakeSystemColourBrushes() {
    for (int c = COLOR_SCROLLBAR; c <= COLOR_MENUBAR; ++c) GetSysColorBrush(c);
}

struct Counts {
    std::vector<gdi::Entry> table;
    gdi::Counts gdi;
    int windows;
    long heapBlocks;
};

Counts Now() {
    PumpFor(20);
    const soak::Sample s = soak::Take();
    std::vector<gdi::Entry> table = gdi::OwnTable();
    const gdi::Counts tally = gdi::Tally(table);
    return {std::move(table), tally, s.windows, s.heapBlocks};
}

class Leaks : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveIni();
        BuildPieces();
        NoticeHook = [](HWND, const std::wstring&, UINT) {};
        MakeSystemColourBrushes();
        // Every piece gets its tooltip now: pieces moving under the pointer would make them mid-count.
        for (int k = 1; k <= 47; ++k) SendMessageW(P(k).hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
        QuietTips();
    }
    void TearDown() override {
        CancelLater();
        NoticeHook = nullptr;
        UnloadVersionDialog();
        UnloadCapitalDialog();
        RemoveIni();
    }

    // Runs round() WarmUp times, then Rounds times, and expects the second count to equal the first.
    // round() returns whether the dialog was really there.
    void ExpectNothingLeft(const std::function<bool()>& round) {
        // Without the table every count would read 0 and always match.
        ASSERT_TRUE(gdi::LayoutConfirmed(gdi::OwnTable())) << "the GDI handle table cannot be read here";
        int shown = 0;
        for (int i = 0; i < WarmUp; ++i) shown += round();
        const Counts before = Now();
        for (int i = 0; i < Rounds; ++i) shown += round();
        const Counts after = Now();
        EXPECT_EQ(shown, WarmUp + Rounds) << "a round opened no dialog: nothing was measured";
        EXPECT_EQ(after.gdi.total, before.gdi.total) << "fonts " << before.gdi.font << " -> " << after.gdi.font
                                                     << ", DCs " << before.gdi.dc << " -> " << after.gdi.dc
                                                     << ", bitmaps " << before.gdi.bitmap << " -> " << after.gdi.bitmap
                                                     << ", brushes " << before.gdi.brush << " -> " << after.gdi.brush
                                                     << ", pens " << before.gdi.pen << " -> " << after.gdi.pen
                                                     << ", regions " << before.gdi.region << " -> " << after.gdi.region
                                                     << "; new: " << gdi::Appeared(before.table, after.table);
        EXPECT_EQ(after.windows, before.windows);
        // A block kept per round would add Rounds of them; a cache that settles adds a few at most.
        EXPECT_LT(after.heapBlocks - before.heapBlocks, Rounds / 2)
            << before.heapBlocks << " -> " << after.heapBlocks << " heap blocks in use";
    }
};

TEST(GdiTable, CountsWhatThisProcessMakesAndDeletesByKind) {
    ASSERT_TRUE(gdi::LayoutConfirmed(gdi::OwnTable()))
        << "this Wine keeps its GDI handle table otherwise; unknown: " << gdi::Unconfirmed(gdi::OwnTable());
    const gdi::Counts start = gdi::Tally(gdi::OwnTable());
    EXPECT_GT(start.stock, 10);
    HFONT fonts[4];
    for (HFONT& f : fonts) f = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 1, nullptr);
    HRGN region = CreateRectRgn(0, 0, 4, 4);
    const gdi::Counts made = gdi::Tally(gdi::OwnTable());
    EXPECT_EQ(made.total, start.total + 9);
    EXPECT_EQ(made.font, start.font + 4);
    EXPECT_EQ(made.brush, start.brush + 1);
    EXPECT_EQ(made.pen, start.pen + 1);
    EXPECT_EQ(made.dc, start.dc + 1);
    EXPECT_EQ(made.bitmap, start.bitmap + 1);
    EXPECT_EQ(made.region, start.region + 1);
    for (HFONT f : fonts) DeleteObject(f);
    DeleteObject(brush);
    DeleteObject(pen);
    DeleteDC(dc);
    DeleteObject(bitmap);
    DeleteObject(region);
    EXPECT_EQ(gdi::Tally(gdi::OwnTable()).total, start.total);
}

TEST_F(Leaks, VersionDialogClosedByOkOrItsCloseBox) {
    int n = 0;
    ExpectNothingLeft([&n] {
        bool shown = false;
        const bool closeBox = ++n % 2;
        Later(30, [&shown, closeBox] {
            HWND d = VersionDialogWindow();
            shown = d != nullptr;
            if (closeBox)
                SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
            else
                Click(d, L"OK");
        });
        Later(3000, [] { UnloadVersionDialog(); });
        mver_Click();
        CancelLater();
        return shown;
    });
}

TEST_F(Leaks, CapitalDialogClosedByCancelItsCloseBoxOrOk) {
    int n = 0;
    ExpectNothingLeft([&n] {
        bool shown = false;
        const int how = ++n % 3;
        Later(30, [&shown, how] {
            HWND d = CapitalDialogWindow();
            shown = d != nullptr;
            if (how == 0)
                Click(d, L"ｷｬﾝｾﾙ");
            else if (how == 1)
                SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
            else
                Click(d, L"OK");  // writes the settings file too
        });
        Later(3000, [] { UnloadCapitalDialog(); });
        OpenCapitalDialog(P(14));
        CancelLater();
        return shown;
    });
}

TEST_F(Leaks, SystemColourDialogCancelled) {
    ExpectNothingLeft([] {
        bool shown = false;
        std::function<void()> cancel = [&] {
            if (HWND d = OwnedDialog(P(3).hwnd())) {
                shown = true;
                PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
            } else {
                Later(30, cancel);  // the system dialog takes a moment to appear
            }
        };
        Later(30, cancel);
        Later(5000, [] {
            if (HWND d = OwnedDialog(P(3).hwnd())) PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(PickColor(P(3).hwnd(), 0x00FFFFFF), -1);
        CancelLater();
        return shown;
    });
}

TEST_F(Leaks, ScatterAndGatherRounds) {
    ExpectNothingLeft([] {
        const RECT home = ScreenRect(P(5).hwnd());
        mban_Click();
        const RECT scattered = ScreenRect(P(5).hwnd());
        const bool moved = !EqualRect(&home, &scattered);
        mgo_Click();
        return moved;
    });
}

// A tooltip is made when the pointer first comes over a piece, and only then.
TEST_F(Leaks, OneTooltipPerPieceHoweverOftenThePointerComes) {
    BuildPieces();  // without the tooltips SetUp made
    auto hoverAll = [] {
        for (int k = 1; k <= 47; ++k) SendMessageW(P(k).hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    };
    const Counts start = Now();
    hoverAll();
    const Counts once = Now();
    EXPECT_EQ(once.windows, start.windows + 47);
    for (int i = 0; i < 10; ++i) hoverAll();
    const Counts again = Now();
    EXPECT_EQ(again.windows, once.windows);
    EXPECT_EQ(again.gdi.total, once.gdi.total);
}

}  // namespace
}  // namespace korven
