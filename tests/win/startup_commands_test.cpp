// The commands on a map that start-up itself built from a settings file.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "app/startup.h"
#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/notices.h"
#include "core/settings.h"
#include "menu/command_logic.h"
#include "menu/frm_menu.h"
#include "pieces/frm_map.h"
#include "regions/shaping.h"
#include "tests/win/piece_fixture.h"

namespace korven {
namespace {

// Offsets and dots on whole pixels, as capture mode leaves them; with colours, a colour of its own for every
// piece, written as exit writes it.
std::wstring Layout(int32_t anchorX, int32_t anchorY, bool colours = false) {
    std::wstring ini;
    for (int k = 1; k <= PrefCount; ++k) {
        const auto home = test::HomeOf(k);
        ini += L"[" + SectionOf(k) + L"]\r\n";
        ini += L"X=" + std::to_wstring(k == AnchorPiece ? anchorX : home.offsetX) + L"\r\n";
        ini += L"Y=" + std::to_wstring(k == AnchorPiece ? anchorY : home.offsetY) + L"\r\n";
        ini += L"県庁X=" + std::to_wstring(15 * k) + L"\r\n";
        ini += L"県庁Y=" + std::to_wstring(30 * k) + L"\r\n";
        if (colours) ini += L"C=" + ColourText(0x00102030u * static_cast<uint32_t>(k) & 0x00FFFFFF) + L"\r\n";
    }
    return ini;
}

// Runs action from the pump start-up does right after its shownth piece has been shown; how many pieces were
// shown when it ran.
int shownPieces = 0, trigger = 0, shownWhenRun = -1;
std::function<void()> onShow;
std::optional<test::SentMessageWatch> showWatch;
void AfterShowing(int shown, std::function<void()> action) {
    shownPieces = 0;
    shownWhenRun = -1;
    trigger = shown;
    onShow = std::move(action);
    showWatch.emplace([](const CWPSTRUCT& m) {
        if (m.message == WM_SHOWWINDOW && m.wParam && PieceFromWindow(m.hwnd) && ++shownPieces == trigger)
            test::OnNextPump([] {
                shownWhenRun = shownPieces;
                onShow();
            });
    });
}
void StopWatchingShows() { showWatch.reset(); }

class AfterStartUp : public ::testing::Test {
protected:
    void SetUp() override {
        IniBaseName = L"KORVEN";
        EndProcessHook = [](UINT) {};
        test::RemoveIni();
        test::FillSyntheticStore();
        test::ThrowOnFatal();
        NoticeHook = [](HWND, const std::wstring&, UINT) {};
        Pieces.clear();
    }
    void TearDown() override {
        StopWatchingShows();
        test::CancelLater();
        Pieces.clear();
        FatalExitHook = nullptr;
        NoticeHook = nullptr;
        CaptureEnabled = false;
        test::RemoveIni();
    }
    static std::vector<std::wstring> Values() {
        std::vector<std::wstring> out;
        for (int k = 1; k <= PrefCount; ++k)
            for (const wchar_t* key : {L"X", L"Y", L"県庁X", L"県庁Y"}) out.push_back(ReadIni(SectionOf(k), key));
        return out;
    }
};

TEST_F(AfterStartUp, CaptureRewritesTheLoadedLayoutUnchanged) {
    test::WriteIniText(Layout(3000, 1500));
    const auto loaded = Values();
    RunStartup(GetModuleHandleW(nullptr), L"capture");
    ASSERT_EQ(Pieces.size(), 47u);
    mSave_Click();
    EXPECT_EQ(Values(), loaded);
}

TEST_F(AfterStartUp, ExitAfterAScatterKeepsOnlyTheAnchorSoTheNextStartIsWhole) {
    test::WriteIniText(Layout(3000, 1500));
    RunStartup(GetModuleHandleW(nullptr), L"");
    mban_Click();
    PieceAt(AnchorPiece)->Move(4500, 2250);
    mend_Click();
    ASSERT_TRUE(Pieces.empty());
    EXPECT_EQ(ReadIni(L"東京", L"X"), L"4500");
    EXPECT_EQ(ReadIni(L"北海道", L"X"), std::to_wstring(test::HomeOf(1).offsetX));
    RunStartup(GetModuleHandleW(nullptr), L"");  // the next run
    ASSERT_EQ(Pieces.size(), 47u);
    for (int k = 1; k <= PrefCount; ++k) {
        EXPECT_EQ(PieceAt(k)->Left(), 4500 + test::HomeOf(k).offsetX) << k;
        EXPECT_EQ(PieceAt(k)->Top(), 2250 + test::HomeOf(k).offsetY) << k;
    }
}

// A command chosen from a piece that start-up has already shown, while later pieces are still to come.

TEST_F(AfterStartUp, ExitWhileTheMapIsStillBuildingKeepsWhatThePiecesNotYetBuiltHold) {
    test::WriteIniText(Layout(3000, 1500, true));
    const std::string before = test::IniBytes();
    AfterShowing(9, [] { mend_Click(); });
    RunStartup(GetModuleHandleW(nullptr), L"");
    EXPECT_EQ(shownWhenRun, 9);
    EXPECT_TRUE(Pieces.empty()) << "exit ends the program";
    // The nine built pieces carry their stored colours and the anchor its stored place: nothing differs.
    EXPECT_EQ(test::IniBytes(), before);
}

TEST_F(AfterStartUp, CaptureWhileTheMapIsStillBuildingWritesOnlyThePiecesBuilt) {
    test::WriteIniText(Layout(3000, 1500));
    const std::string before = test::IniBytes();
    AfterShowing(9, [] {
        PieceAt(12)->Move(PieceAt(12)->Left() - 150, PieceAt(12)->Top());  // 埼玉, built second
        mSave_Click();
    });
    RunStartup(GetModuleHandleW(nullptr), L"capture");
    EXPECT_EQ(shownWhenRun, 9);
    ASSERT_EQ(Pieces.size(), 47u);
    EXPECT_EQ(ReadIni(L"埼玉", L"X"), std::to_wstring(test::HomeOf(12).offsetX - 150));
    // Without the drag, the 38 pieces not yet built keep every value and the built ones rewrite theirs.
    test::WriteIniText(Layout(3000, 1500));
    AfterShowing(9, [] { mSave_Click(); });
    RunStartup(GetModuleHandleW(nullptr), L"capture");
    EXPECT_EQ(test::IniBytes(), before);
}

TEST_F(AfterStartUp, ScatterOrGatherWhileTheMapIsStillBuildingEndsWithTheRestAtHome) {
    test::WriteIniText(Layout(3000, 1500, true));
    const std::string before = test::IniBytes();
    AfterShowing(5, [] { mgo_Click(); });
    RunStartup(GetModuleHandleW(nullptr), L"");
    ASSERT_EQ(Pieces.size(), 47u);
    for (int k = 1; k <= PrefCount; ++k) {
        EXPECT_EQ(PieceAt(k)->Left(), 3000 + test::HomeOf(k).offsetX) << k;
        EXPECT_EQ(PieceAt(k)->Top(), 1500 + test::HomeOf(k).offsetY) << k;
    }
    Pieces.clear();

    AfterShowing(5, [] { mban_Click(); });
    RunStartup(GetModuleHandleW(nullptr), L"");
    ASSERT_EQ(Pieces.size(), 47u);
    for (int place = 5; place < PrefCount; ++place) {
        const int k = PieceAtPlace(place);
        EXPECT_EQ(PieceAt(k)->Left(), 3000 + test::HomeOf(k).offsetX) << k;
    }
    mend_Click();
    EXPECT_EQ(test::IniBytes(), before);
}

TEST_F(AfterStartUp, ExitFromInsideAGatherThatStartUpIsRunningEndsEverythingCleanly) {
    test::WriteIniText(Layout(3000, 1500, true));
    const std::string before = test::IniBytes();
    // The exit comes from the pump of the gather's first mMove, which itself runs inside start-up's pump.
    AfterShowing(3, [] {
        test::OnNextPump([] { mend_Click(); });
        mgo_Click();
    });
    RunStartup(GetModuleHandleW(nullptr), L"");
    EXPECT_TRUE(Pieces.empty());
    EXPECT_EQ(test::IniBytes(), before);
}

}  // namespace
}  // namespace korven
