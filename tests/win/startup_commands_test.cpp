// The commands on a map that start-up itself built from a settings file.
#include <gtest/gtest.h>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/settings.h"
#include "core/startup.h"
#include "menu/command_logic.h"
#include "menu/frm_menu.h"
#include "regions/shaping.h"
#include "tests/win/desk_support.h"
#include "tests/win/piece_fixture.h"

namespace korven {
namespace {

// Offsets and dots on whole pixels, as capture mode leaves them.
std::wstring Layout(int32_t anchorX, int32_t anchorY) {
    std::wstring ini;
    for (int k = 1; k <= PrefCount; ++k) {
        const auto home = test::HomeOf(k);
        ini += L"[" + SectionOf(k) + L"]\r\n";
        ini += L"X=" + std::to_wstring(k == AnchorPiece ? anchorX : home.offsetX) + L"\r\n";
        ini += L"Y=" + std::to_wstring(k == AnchorPiece ? anchorY : home.offsetY) + L"\r\n";
        ini += L"県庁X=" + std::to_wstring(15 * k) + L"\r\n";
        ini += L"県庁Y=" + std::to_wstring(30 * k) + L"\r\n";
    }
    return ini;
}

class AfterStartUp : public ::testing::Test {
protected:
    void SetUp() override {
        IniBaseName = L"KORVEN";
        EndProcessHook = [](UINT) {};
        test::RemoveIniFile();
        test::FillSyntheticStore();
        test::ThrowOnFatal();
        Pieces.clear();
    }
    void TearDown() override {
        Pieces.clear();
        FatalExitHook = nullptr;
        CaptureEnabled = false;
        test::RemoveIniFile();
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

}  // namespace
}  // namespace korven
