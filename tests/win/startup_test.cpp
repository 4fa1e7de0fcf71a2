// Start-up end to end in this process: real windows from records made for the tests and a settings file
// written beside the test executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/copy_guard.h"
#include "app/startup.h"
#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/notices.h"
#include "core/settings.h"
#include "menu/command_logic.h"
#include "menu/frm_menu.h"
#include "pieces/color_chooser.h"
#include "pieces/frm_map.h"
#include "regions/record_sizes.h"
#include "regions/shaping.h"
#include "tests/win/piece_fixture.h"

using namespace korven;
using namespace korven::test;

namespace {

std::vector<HWND> shown;

void RecordShow(const CWPSTRUCT& m) {
    if (m.message == WM_SHOWWINDOW && m.wParam && m.lParam == 0 && ClassOf(m.hwnd) == L"frmMap") shown.push_back(m.hwnd);
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        IniBaseName = L"KORVEN";
        hadFile = IniExists();
        if (hadFile) saved = IniBytes();
        RemoveIni();
        FillSyntheticStore();
        ThrowOnFatal();
        NoticeHook = [this](HWND, const std::wstring& text, UINT) { notices.push_back(text); };
        shown.clear();
        showWatch.emplace(RecordShow);
    }
    void TearDown() override {
        showWatch.reset();
        Pieces.clear();
        FatalExitHook = nullptr;
        NoticeHook = nullptr;
        CaptureEnabled = false;
        RemoveIni();
        if (hadFile) WriteFileBytes(IniFilePath(), saved);
    }
    void Start(const wchar_t* commandLine = L"") { RunStartup(GetModuleHandleW(nullptr), commandLine); }
    // Runs start-up expecting it to stop; the text it would have shown.
    std::wstring StartExpectingStop() {
        try {
            Start();
        } catch (const Fatal& f) {
            return f.text;
        }
        ADD_FAILURE() << "start-up went through";
        return L"";
    }
    static bool Has(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

    bool hadFile = false;
    std::string saved;
    std::vector<std::wstring> notices;
    std::optional<SentMessageWatch> showWatch;
};

const std::wstring Example =
    L"[東京]\r\nX=3000\r\nY=1500\r\n県庁X=600\r\n県庁Y=900\r\n県庁所在地=新宿区\r\nC=FF\r\n"
    L"[埼玉]\r\nX=-450\r\nY=-600\r\nC=ff\r\n"
    L"[栃木]\r\nC=\r\n"
    L"[茨城]\r\nC=zz\r\n";

}  // namespace

// First in this executable: nothing has loaded the menu window yet.
TEST_F(Startup, WithoutArgumentsCaptureStaysOffAndTheMenuIsNotLoaded) {
    ASSERT_FALSE(MenuWindowLoaded());
    Start();
    EXPECT_FALSE(CaptureEnabled);
    EXPECT_FALSE(MenuWindowLoaded());
    EXPECT_EQ(IniBaseName, L"KORVEN");
    EXPECT_EQ(AppInstance, GetModuleHandleW(nullptr));
}

TEST_F(Startup, BuildsFortySevenPiecesSizedAndCutToTheirRecords) {
    WriteIniText(Example);
    Start();
    ASSERT_EQ(Pieces.size(), 47u);
    for (int k = 1; k <= PrefCount; ++k) {
        Piece& p = P(k);
        const int i = PieceIndexOf(k);
        EXPECT_EQ(p.Idx, k);
        EXPECT_TRUE(IsWindowVisible(p.hwnd())) << k;
        TwipSize size{};
        ASSERT_TRUE(RecordSizeTable(i, size));
        EXPECT_EQ(p.Width(), size.width) << k;
        EXPECT_EQ(p.Height(), size.height) << k;
        EXPECT_EQ(p.Picture1().Width(), size.width) << k;
        EXPECT_EQ(p.Picture1().Height(), size.height) << k;
        EXPECT_EQ(WindowRegionRects(p.hwnd()), RecordRects(FillRecordOf(i))) << k;
        EXPECT_EQ(WindowRegionRects(p.Picture1().hwnd), RecordRects(OutlineRecordOf(i))) << k;
        EXPECT_EQ(p.LnameTip(), SectionOf(k));
        wchar_t title[32] = {};
        GetWindowTextW(p.hwnd(), title, 32);
        EXPECT_EQ(std::wstring(title), SectionOf(k));
        const TwipRect ln = p.Lname(), kc = p.KC(), lt = p.LTYOU();
        EXPECT_EQ((std::vector<int>{ln.left, ln.top, ln.width, ln.height}),
                  (std::vector<int>{0, 0, p.ScaleWidth(), p.Height()}));
        EXPECT_EQ((std::vector<int>{lt.left, lt.top, lt.width, lt.height}),
                  (std::vector<int>{kc.left, kc.top, kc.width, kc.height}));
        EXPECT_EQ(kc.width, 75);
        EXPECT_EQ(kc.height, 75);
    }
}

TEST_F(Startup, PiecesBecomeVisibleInPieceOrder) {
    WriteIniText(Example);
    Start();
    ASSERT_EQ(shown.size(), 47u);
    for (int place = 0; place < PrefCount; ++place) {
        Piece* p = PieceFromWindow(shown[static_cast<size_t>(place)]);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->Idx, PieceAtPlace(place)) << place;
    }
    EXPECT_EQ(PieceFromWindow(shown.front())->Idx, 13);
    EXPECT_EQ(PieceFromWindow(shown.back())->Idx, 1);
}

TEST_F(Startup, PlacesFromTheAnchorAndTheStoredOffsets) {
    WriteIniText(Example);
    Start();
    EXPECT_EQ(P(13).Left(), 3000);
    EXPECT_EQ(P(13).Top(), 1500);
    EXPECT_EQ(P(13).offsetX, 0);  // its own X and Y are the anchor, never an offset
    EXPECT_EQ(P(13).offsetY, 0);
    EXPECT_EQ(P(12).Left(), 2550);
    EXPECT_EQ(P(12).Top(), 900);
    EXPECT_EQ(P(12).offsetX, -450);
    EXPECT_EQ(P(12).offsetY, -600);
    EXPECT_EQ(P(1).Left(), 3000);  // no X, Y: at the anchor
    EXPECT_EQ(P(1).Top(), 1500);
    EXPECT_FALSE(P(12).bx);
    EXPECT_FALSE(P(12).by);
}

TEST_F(Startup, SetsDotTipAndColourFromTheFile) {
    WriteIniText(Example);
    Start();
    EXPECT_EQ(P(13).KC().left, 600);
    EXPECT_EQ(P(13).KC().top, 900);
    EXPECT_EQ(P(13).LTYOU().left, 600);
    EXPECT_EQ(P(13).LTYOU().top, 900);
    EXPECT_EQ(P(13).LtyouTip(), L"新宿区");
    EXPECT_EQ(P(13).BackColor(), 0x000000FFu);  // FF
    EXPECT_EQ(P(12).BackColor(), 0x000000FFu);  // ff
    EXPECT_EQ(P(9).BackColor(), 0x00FFFFFFu);   // empty: white, not black
    EXPECT_EQ(P(8).BackColor(), 0x00000000u);   // zz: black
    EXPECT_EQ(P(11).BackColor(), 0x00FFFFFFu);  // no key
    EXPECT_EQ(P(12).KC().left, 0);  // no capital position: the piece's corner
    EXPECT_EQ(P(12).LtyouTip(), L"");
}

TEST_F(Startup, WithoutASettingsFileEverythingIsAtTheTopLeftAndWhite) {
    Start();
    ASSERT_EQ(Pieces.size(), 47u);
    for (int k = 1; k <= PrefCount; ++k) {
        EXPECT_EQ(P(k).Left(), 0) << k;
        EXPECT_EQ(P(k).Top(), 0) << k;
        EXPECT_EQ(P(k).BackColor(), 0x00FFFFFFu) << k;
        EXPECT_EQ(P(k).KC().left, 0) << k;
        EXPECT_EQ(P(k).KC().top, 0) << k;
        EXPECT_EQ(P(k).LtyouTip(), L"") << k;
    }
    EXPECT_EQ(GetFileAttributesW(IniFilePath().c_str()), INVALID_FILE_ATTRIBUTES);  // nothing written
}

// Said once before the map is built, naming the folder; the map is built all the same and no file is left.
TEST_F(Startup, SaysWhenTheSettingsFileIsMissingOrCannotBeWritten) {
    const std::wstring folder = IniFilePath().substr(0, IniFilePath().find_last_of(L'\\'));
    const struct {
        bool exists, readOnly;
        const wchar_t* says;
    } cases[] = {{true, false, nullptr}, {false, false, L"すべて展開"}, {true, true, L"保存されません"}};
    for (const auto& c : cases) {
        Pieces.clear();
        notices.clear();
        RemoveIni();
        if (c.exists) WriteIniText(Example);
        if (c.readOnly) SetFileAttributesW(IniFilePath().c_str(), FILE_ATTRIBUTE_READONLY);
        Start();
        SetFileAttributesW(IniFilePath().c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(Pieces.size(), 47u);
        ASSERT_EQ(notices.size(), c.says ? 1u : 0u) << c.exists << c.readOnly;
        if (c.says) EXPECT_TRUE(Has(notices[0], c.says) && Has(notices[0], folder)) << notices[0].size();
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((IniFilePath() + L"*").c_str(), &found);
        int beside = 0;
        for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &found)) ++beside;
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
        EXPECT_EQ(beside, c.exists ? 1 : 0);
    }
}

TEST_F(Startup, AnyArgumentSwitchesOnCaptureModeAndShowsTheSaveItem) {
    Start(L"x");
    EXPECT_TRUE(CaptureEnabled);
    EXPECT_TRUE(MenuWindowLoaded());
    HMENU m = mpop();
    wchar_t first[32] = {}, second[32] = {};
    GetMenuStringW(m, 0, first, 32, MF_BYPOSITION);
    GetMenuStringW(m, 1, second, 32, MF_BYPOSITION);
    EXPECT_STREQ(first, L"位置情報取得");
    EXPECT_STREQ(second, L"解散!");
}

TEST_F(Startup, ACoordinateBeyond32BitsStopsWithFileSectionKeyAndValue) {
    const std::wstring ini = L"[東京]\r\nX=3000\r\nY=1500\r\n[埼玉]\r\nX=99999999999\r\n";
    WriteIniText(ini);
    const std::string before = IniBytes();
    const std::wstring text = StartExpectingStop();
    EXPECT_TRUE(Has(text, IniFilePath())) << text.c_str();
    EXPECT_TRUE(Has(text, L"[埼玉]"));
    EXPECT_TRUE(Has(text, L"キー: X\n"));
    EXPECT_TRUE(Has(text, L"値: 99999999999"));
    EXPECT_TRUE(IsWindowVisible(P(13).hwnd()));  // the pieces before it were built
    EXPECT_FALSE(IsWindowVisible(P(12).hwnd()));
    EXPECT_EQ(IniBytes(), before);
}

TEST_F(Startup, AnAnchorBeyond32BitsStopsBeforeAnyWindowExists) {
    WriteIniText(L"[東京]\r\nX=0\r\nY=-3000000000\r\n");
    const std::wstring text = StartExpectingStop();
    EXPECT_TRUE(Has(text, L"[東京]"));
    EXPECT_TRUE(Has(text, L"キー: Y\n"));
    EXPECT_TRUE(Has(text, L"値: -3000000000"));
    EXPECT_TRUE(Pieces.empty());
}

TEST_F(Startup, AnAnchorPlusOffsetBeyond32BitsStops) {
    // 埼玉 lands at 0 so that the layout is within reach and is used as stored.
    WriteIniText(L"[東京]\r\nX=2147483000\r\n[埼玉]\r\nX=-2147483000\r\n[群馬]\r\nX=1000\r\n");
    std::wstring text = StartExpectingStop();
    EXPECT_TRUE(Has(text, L"[群馬]")) << text.c_str();
    EXPECT_TRUE(Has(text, L"キー: X\n"));
    EXPECT_TRUE(Has(text, L"値: 1000"));
    EXPECT_TRUE(Has(text, L"2147483000"));
    EXPECT_TRUE(IsWindowVisible(P(12).hwnd()));
    EXPECT_FALSE(IsWindowVisible(P(11).hwnd()));
    Pieces.clear();

    WriteIniText(L"[東京]\r\nY=-2147483000\r\n[埼玉]\r\nY=2147483000\r\n[群馬]\r\nY=-1000\r\n");
    text = StartExpectingStop();
    EXPECT_TRUE(Has(text, L"[群馬]"));
    EXPECT_TRUE(Has(text, L"キー: Y\n"));
}

TEST_F(Startup, CapitalCoordinateAndColourOutOfRangeStopToo) {
    WriteIniText(L"[東京]\r\n県庁X=1e10\r\n");
    std::wstring text = StartExpectingStop();
    EXPECT_TRUE(Has(text, L"キー: 県庁X\n"));
    EXPECT_TRUE(Has(text, L"値: 1e10"));
    Pieces.clear();

    WriteIniText(L"[埼玉]\r\nC=123456789\r\n");
    text = StartExpectingStop();
    EXPECT_TRUE(Has(text, L"[埼玉]"));
    EXPECT_TRUE(Has(text, L"キー: C\n"));
    EXPECT_TRUE(Has(text, L"値: 123456789"));
    Pieces.clear();

    WriteIniText(L"[埼玉]\r\nC=1000000\r\n");  // one past white: no colour
    text = StartExpectingStop();
    EXPECT_TRUE(Has(text, L"値: 1000000"));
}

// A popup menu that opens is seen by its owner first; one that should not have opened is closed again.
int popups = 0;
void SeePopup(const CWPSTRUCT& m) {
    if (m.message == WM_INITMENUPOPUP) ++popups;
}
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
}

TEST_F(Startup, WhileAFatalMessageIsUpNoWindowTakesInputAndNothingIsWritten) {
    std::wstring ini;
    for (int k = 1; k <= PrefCount; ++k) ini += L"[" + SectionOf(k) + L"]\r\nC=FF\r\n";
    ini = L"[北海道]\r\nX=99999999999\r\n" + ini;  // 北海道 is built last: 46 stand when start-up stops
    WriteIniText(ini);
    const std::string before = IniBytes();
    int colourDialogs = 0;
    ChooseColorHook = [&](CHOOSECOLORW&) { return ++colourDialogs, FALSE; };
    HMENU menu = mpop();
    const UINT exitItem = GetMenuItemID(menu, GetMenuItemCount(menu) - 1);
    int shownAndEnabled = -1, ended = 0;
    EndProcessHook = [&](UINT) { ++ended; };
    FatalExitHook = [&](const std::wstring& text) {
        shownAndEnabled = 0;
        for (int k = 1; k <= PrefCount; ++k)
            if (IsWindowVisible(P(k).hwnd()) && IsWindowEnabled(P(k).hwnd())) ++shownAndEnabled;
        // Input queued before the message went up still reaches the windows: it must do nothing.
        PostMessageW(P(13).hwnd(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(2, 2));
        PostMessageW(P(13).hwnd(), WM_RBUTTONDOWN, 0, MAKELPARAM(2, 2));
        {
            SentMessageWatch watch(SeePopup);
            SetTimer(nullptr, 0, 500, CloseMenu);
            PumpFor(100);
        }
        RunMenuCommand(exitItem);
        throw Fatal{text};
    };
    const std::wstring text = StartExpectingStop();
    ChooseColorHook = nullptr;
    EndProcessHook = nullptr;
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(Has(text, L"[北海道]"));
    EXPECT_EQ(shownAndEnabled, 0) << "every piece shown is disabled while the message is up";
    EXPECT_EQ(colourDialogs, 0);
    EXPECT_EQ(popups, 0);
    EXPECT_EQ(Pieces.size(), 47u) << "exit did not run";
    EXPECT_EQ(IniBytes(), before);
    if (PieceAt(13)) EXPECT_TRUE(IsWindowEnabled(P(13).hwnd())) << "the hold gives the windows back when it ends";
}

TEST_F(Startup, SystemColourValuesAreKeptAsStored) {
    WriteIniText(L"[東京]\r\nC=80000005\r\n");
    Start();
    EXPECT_EQ(P(13).BackColor(), 0x80000005u);
}

TEST_F(Startup, ALayoutWhollyOffEveryMonitorIsBroughtToThePrimaryWorkArea) {
    WriteIniText(L"[東京]\r\nX=-300000\r\nY=-300000\r\n[埼玉]\r\nX=-450\r\nY=-600\r\n");
    const std::string before = IniBytes();
    Start();
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // The whole map comes into the work area, not just the anchor: 埼玉 lies west and north of 東京.
    RECT map{};
    GetWindowRect(P(13).hwnd(), &map);
    for (int k = 1; k <= PrefCount; ++k) {
        RECT r{};
        GetWindowRect(P(k).hwnd(), &r);
        UnionRect(&map, &map, &r);
    }
    EXPECT_GE(map.left, work.left);
    EXPECT_GE(map.top, work.top);
    EXPECT_LE(map.right, work.right);
    EXPECT_LE(map.bottom, work.bottom);
    EXPECT_EQ(P(12).Left(), P(13).Left() - 450);
    EXPECT_EQ(P(12).Top(), P(13).Top() - 600);
    EXPECT_EQ(P(12).offsetX, -450);
    EXPECT_EQ(IniBytes(), before);
}

TEST_F(Startup, OnePieceWithinReachKeepsTheStoredLayout) {
    // 北海道 ends at the screen's top-left corner; all others are far off.
    WriteIniText(L"[東京]\r\nX=-300000\r\nY=-300000\r\n[北海道]\r\nX=300000\r\nY=300000\r\n");
    Start();
    EXPECT_EQ(P(13).Left(), -300000);
    EXPECT_EQ(P(13).Top(), -300000);
    EXPECT_EQ(P(1).Left(), 0);
    EXPECT_EQ(P(1).Top(), 0);
}

TEST_F(Startup, AnEmptyRecordEndsWithTheRegionMessageAndShowsNothing) {
    RegionStore[FillRecordOf(PieceIndexOf(13))] = RegionRecord{};
    const std::wstring text = StartExpectingStop();
    EXPECT_EQ(text, L"It failed in reading of region data.");
    EXPECT_TRUE(shown.empty());
}

TEST_F(Startup, WithTheShippedRecordsEveryPieceMatchesItsRecord) {
    for (RegionRecord& r : RegionStore) r = RegionRecord{};
    LoadRegionStore();  // only to see whether the data is complete
    for (int n = 0; n < PrefCount * 2; ++n)
        if (ValidateRecord(RegionStore[n])) GTEST_SKIP() << "record " << n << " is not there yet";
    RegionStoreLoaded = 0;  // the program's own data, loaded by the first shaping call
    Start();
    ASSERT_EQ(Pieces.size(), 47u);
    for (int k = 1; k <= PrefCount; ++k) {
        const int i = PieceIndexOf(k);
        EXPECT_EQ(WindowRegionRects(P(k).hwnd()), RecordRects(FillRecordOf(i))) << k;
        EXPECT_EQ(WindowRegionRects(P(k).Picture1().hwnd), RecordRects(OutlineRecordOf(i))) << k;
    }
    EXPECT_EQ(RegionStoreLoaded, -1);
}

// The guard's name: one for every spelling of a folder (a link or drive letter only black-box), another for
// another folder.
TEST(CopyGuard, EverySpellingOfTheFolderIsOneMap) {
    const std::wstring ini = IniFilePath(), here = ini.substr(0, ini.rfind(L'\\'));
    const std::wstring dir = here + L"\\a long folder name", other = dir + L" 2";
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW(other.c_str(), nullptr);
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW(dir.c_str(), shortName, MAX_PATH);
    std::wstring upper = dir;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    const std::wstring id = FolderIdentity(dir + L"\\KORVEN.ini");
    for (const std::wstring& spelling : {upper, dir + L"\\..\\a long folder name", L"\\\\?\\" + dir, std::wstring(shortName)})
        EXPECT_EQ(FolderIdentity(spelling + L"\\KORVEN.ini"), id) << std::string(spelling.begin(), spelling.end());
    EXPECT_NE(FolderIdentity(other + L"\\KORVEN.ini"), id);
    RemoveDirectoryW(dir.c_str());
    RemoveDirectoryW(other.c_str());
}
