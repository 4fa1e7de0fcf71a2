// Scatter, gather, position capture, exit and the shutdown, on 47 real piece windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/layout.h"
#include "core/modal.h"
#include "core/notices.h"
#include "core/random_source.h"
#include "core/settings.h"
#include "menu/frm_menu.h"
#include "menu/frm_version.h"
#include "pieces/frm_data.h"
#include "tests/win/piece_fixture.h"

namespace korven {
namespace {

using namespace korven::test;

struct Place {
    int32_t left, top;
    bool operator==(const Place&) const = default;
};

std::vector<Place> Places() {
    std::vector<Place> out;
    for (int k = 1; k <= PrefCount; ++k) out.push_back({P(k).Left(), P(k).Top()});
    return out;
}

// Window moves per piece, counted where the window system reports a changed position.
std::vector<int> moves;
std::optional<SentMessageWatch> moveWatch;
void StartCounting() {
    moves.assign(PrefCount + 1, 0);
    moveWatch.emplace([](const CWPSTRUCT& m) {
        if (m.message != WM_WINDOWPOSCHANGED) return;
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(m.lParam);
        if (!(pos->flags & SWP_NOMOVE))
            for (int k = 1; k <= static_cast<int>(Pieces.size()); ++k)
                if (PieceAt(k)->hwnd() == m.hwnd) ++moves[static_cast<size_t>(k)];
    });
}
void StopCounting() { moveWatch.reset(); }

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveIni();
        BuildPieces();
        ResetRandom();
        NoticeHook = [this](HWND, const std::wstring& text, UINT) { notices.push_back(text); };
        EndProcessHook = [this](UINT) { ++ended; };
    }
    void TearDown() override {
        CancelLater();
        NoticeHook = nullptr;
        UnblockIni();
        RemoveIni();
    }
    std::vector<std::wstring> notices;
    int ended = 0;
};

int32_t ScreenTwipsX() { return GetSystemMetrics(SM_CXSCREEN) * TwipsPerPixelX(); }
int32_t ScreenTwipsY() { return GetSystemMetrics(SM_CYSCREEN) * TwipsPerPixelY(); }

TEST_F(Commands, ScatterPutsEveryPieceButTheAnchorWhollyOnTheScreen) {
    const Place anchor{P(AnchorPiece).Left(), P(AnchorPiece).Top()};
    const auto before = Places();
    mban_Click();
    EXPECT_EQ((Place{P(AnchorPiece).Left(), P(AnchorPiece).Top()}), anchor);
    int moved = 0;
    for (int k = 1; k <= PrefCount; ++k) {
        if (k == AnchorPiece) continue;
        const Piece& p = P(k);
        EXPECT_GE(p.Left(), 0) << k;
        EXPECT_GE(p.Top(), 0) << k;
        EXPECT_LE(p.Left() + p.Width(), ScreenTwipsX()) << k;
        EXPECT_LE(p.Top() + p.Height(), ScreenTwipsY()) << k;
        const RECT r = ScreenRect(p.hwnd());
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
        if (!(Place{p.Left(), p.Top()} == before[static_cast<size_t>(k - 1)])) ++moved;
    }
    EXPECT_GE(moved, 40);
}

TEST_F(Commands, ScatterDrawsTwoNumbersPerPieceHorizontalFirstInPieceOrder) {
    mban_Click();
    // The same draws, replayed: piece by piece in PieceOrder, x before y, nothing else drawn.
    Pcg32 g = Pcg32Seeded(RandomSeed, RandomStream);
    auto draw = [&g] { return static_cast<double>(Pcg32Next(g) >> 8) / 16777216.0; };
    for (int place = 0; place < PrefCount; ++place) {
        const int k = PieceAtPlace(place);
        if (k == AnchorPiece) continue;
        const Piece& p = P(k);
        const int32_t x = ScatterCoordinate(draw(), ScreenTwipsX(), p.Width());
        const int32_t y = ScatterCoordinate(draw(), ScreenTwipsY(), p.Height());
        // The window sits on whole pixels.
        EXPECT_NEAR(p.Left(), x, TwipsPerPixelX() - 1) << k;
        EXPECT_NEAR(p.Top(), y, TwipsPerPixelY() - 1) << k;
    }
    EXPECT_EQ(NextRandom(), draw()) << "more or fewer than 92 numbers were drawn";
}

TEST_F(Commands, FirstScatterRepeatsAcrossRunsAndASecondOneDiffers) {
    mban_Click();
    const auto first = Places();
    mban_Click();
    const auto second = Places();
    EXPECT_NE(first, second);
    // A new run: pieces made again at home, the random source at its start state.
    BuildPieces();
    ResetRandom();
    mban_Click();
    EXPECT_EQ(Places(), first);
}

void ExpectAssembledAround(int32_t ax, int32_t ay) {
    EXPECT_EQ(P(AnchorPiece).Left(), ax);
    EXPECT_EQ(P(AnchorPiece).Top(), ay);
    for (int k = 1; k <= PrefCount; ++k) {
        EXPECT_EQ(P(k).Left(), ax + HomeOf(k).offsetX) << k;
        EXPECT_EQ(P(k).Top(), ay + HomeOf(k).offsetY) << k;
        EXPECT_TRUE(P(k).bx && P(k).by) << k;
    }
}

TEST_F(Commands, GatherRestoresEveryOffsetAroundTheAnchor) {
    mban_Click();
    mgo_Click();
    ExpectAssembledAround(AnchorLeft, AnchorTop);
}

TEST_F(Commands, GatherBuildsTheMapWhereverTheAnchorWasDragged) {
    mban_Click();
    P(AnchorPiece).Move(AnchorLeft + 1500, AnchorTop + 750);
    mgo_Click();
    ExpectAssembledAround(AnchorLeft + 1500, AnchorTop + 750);
    // Already assembled: nothing goes anywhere else, and the anchor is not re-armed.
    mgo_Click();
    ExpectAssembledAround(AnchorLeft + 1500, AnchorTop + 750);
}

TEST_F(Commands, GatherSkipsAPieceAlreadyAtHomeAndReachesTheAnchorFirst) {
    mban_Click();
    // Gather visits PieceOrder: the anchor's first mMove comes first and sets its flags.
    EXPECT_FALSE(P(AnchorPiece).bx);
    mgo_Click();
    EXPECT_TRUE(P(AnchorPiece).bx && P(AnchorPiece).by);
}

// How long the two take is measured by scripts/perf.sh.
TEST_F(Commands, ScatterAndGatherMoveEachPieceOnce) {
    StartCounting();
    mban_Click();
    const std::vector<int> scatterMoves = moves;
    moves.assign(PrefCount + 1, 0);
    mgo_Click();
    StopCounting();
    int scatterTotal = 0, gatherTotal = 0;
    for (int k = 1; k <= PrefCount; ++k) {
        EXPECT_LE(scatterMoves[static_cast<size_t>(k)], 1) << k;
        EXPECT_LE(moves[static_cast<size_t>(k)], 1) << k;
        scatterTotal += scatterMoves[static_cast<size_t>(k)];
        gatherTotal += moves[static_cast<size_t>(k)];
    }
    EXPECT_EQ(scatterMoves[AnchorPiece], 0);
    EXPECT_EQ(moves[AnchorPiece], 0);
    EXPECT_GE(scatterTotal, 44);  // a piece may by chance land where it stood
    EXPECT_EQ(gatherTotal, scatterTotal);
}

// Every call that would move a piece, counted where the window system is first told of it (a move to where
// the piece already stands included).
std::vector<int> asked;
void CountAsked(const CWPSTRUCT& m) {
    if (m.message == WM_WINDOWPOSCHANGING)
        for (int k = 1; k <= static_cast<int>(Pieces.size()); ++k)
            if (PieceAt(k)->hwnd() == m.hwnd) ++asked[static_cast<size_t>(k)];
}

TEST_F(Commands, GatherOfAnAssembledMapStillVisitsEveryPieceButSkipsOnesMarkedHome) {
    mgo_Click();  // the anchor is marked home from now on
    const auto home = Places();
    const int shizuoka = 18;
    // Between the two passes: marked home by hand, so the second pass must leave it alone.
    OnNextPump([] { P(shizuoka).bx = P(shizuoka).by = true; });
    asked.assign(PrefCount + 1, 0);
    {
        SentMessageWatch watch(CountAsked);
        mgo_Click();
    }
    EXPECT_EQ(Places(), home);
    int total = 0;
    for (int k = 1; k <= PrefCount; ++k) {
        const int expected = (k == AnchorPiece || k == shizuoka) ? 0 : 1;
        EXPECT_EQ(asked[static_cast<size_t>(k)], expected) << k;
        total += asked[static_cast<size_t>(k)];
    }
    EXPECT_EQ(total, 45);
}

TEST_F(Commands, ScatterUsesTheWholeScreenEvenUnderTheTaskbar) {
    RECT saved{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &saved, 0);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    RECT half{0, 0, GetSystemMetrics(SM_CXSCREEN), h / 2};
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &half, 0));
    mban_Click();
    SystemParametersInfoW(SPI_SETWORKAREA, 0, &saved, 0);
    int below = 0;
    for (int k = 1; k <= PrefCount; ++k) {
        if (k == AnchorPiece) continue;
        const RECT r = ScreenRect(P(k).hwnd());
        if (r.bottom > h / 2) ++below;
        EXPECT_LE(r.bottom, h) << k;
    }
    EXPECT_GE(below, 10) << "pieces kept out of the part of the screen the work area leaves out";
}

// Exit chosen from a piece while a long command is still pumping messages between pieces.

TEST_F(Commands, ExitFromInsideScatterGatherOrmMoveEndsCleanlyAndKeepsTheColours) {
    const std::function<void()> commands[] = {mban_Click, mgo_Click, [] { P(20).mMove(); }};
    for (const auto& command : commands) {
        BuildPieces();
        RemoveIni();
        P(47).SetBackColor(0x000000FF);
        ended = 0;
        EndProcessHook = [this](UINT) { ++ended; };
        OnNextPump([] { mend_Click(); });
        command();  // goes on after the exit with no piece left to touch
        EXPECT_EQ(ended, 1);
        EXPECT_TRUE(Pieces.empty());
        EXPECT_EQ(ReadIni(L"東京", L"X"), std::to_wstring(AnchorLeft));
        EXPECT_EQ(ReadIni(L"沖縄", L"C"), L"FF");
        EXPECT_EQ(IniLines().size(), 49u);
    }
}

TEST_F(Commands, WhileAFailedWriteIsReportedNoCommandRuns) {
    BlockIni();
    HMENU menu = mpop();
    const UINT exitItem = GetMenuItemID(menu, GetMenuItemCount(menu) - 1);
    bool disabled = false;
    NoticeHook = [&](HWND, const std::wstring& text, UINT) {
        notices.push_back(text);
        disabled = !IsWindowEnabled(P(1).hwnd()) && !IsWindowEnabled(P(AnchorPiece).hwnd());
        RunMenuCommand(exitItem);
    };
    mSave_Click();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(disabled);
    EXPECT_EQ(ended, 0) << "exit ran behind the notice";
    EXPECT_EQ(Pieces.size(), 47u);
    EXPECT_TRUE(IsWindowEnabled(P(1).hwnd()));
}

TEST_F(Commands, CaptureAfterStartUpRewritesTheLoadedOffsetsUnchanged) {
    mSave_Click();
    const auto lines = IniLines();
    ASSERT_EQ(lines.size(), 188u);
    const wchar_t* keys[] = {L"X", L"Y", L"県庁X", L"県庁Y"};
    for (int k = 1; k <= PrefCount; ++k) {
        const size_t at = static_cast<size_t>(k - 1) * 4;
        for (size_t j = 0; j < 4; ++j) {
            EXPECT_EQ(lines[at + j].section, SectionOf(k));
            EXPECT_EQ(lines[at + j].key, keys[j]);
        }
        const int32_t x = k == AnchorPiece ? AnchorLeft : HomeOf(k).offsetX;
        const int32_t y = k == AnchorPiece ? AnchorTop : HomeOf(k).offsetY;
        EXPECT_EQ(lines[at].value, std::to_wstring(x)) << k;
        EXPECT_EQ(lines[at + 1].value, std::to_wstring(y)) << k;
        EXPECT_EQ(lines[at + 2].value, std::to_wstring(15 * k)) << k;
        EXPECT_EQ(lines[at + 3].value, std::to_wstring(30 * k)) << k;
    }
    EXPECT_TRUE(notices.empty());
    EXPECT_FALSE(IsWindowVisible(MenuWindow()));
}

TEST_F(Commands, CaptureAfterADragOf150TwipsToTheLeft) {
    const int kanagawa = 14;
    P(kanagawa).Move(P(kanagawa).Left() - 150, P(kanagawa).Top());
    mSave_Click();
    EXPECT_EQ(ReadIni(L"神奈川", L"X"), std::to_wstring(HomeOf(kanagawa).offsetX - 150));
    EXPECT_EQ(ReadIni(L"神奈川", L"Y"), std::to_wstring(HomeOf(kanagawa).offsetY));
    EXPECT_EQ(ReadIni(L"東京", L"X"), std::to_wstring(AnchorLeft));
    EXPECT_EQ(ReadIni(L"埼玉", L"X"), std::to_wstring(HomeOf(12).offsetX));
}

TEST_F(Commands, CaptureThatCannotWriteSaysSoAndTheProgramGoesOn) {
    BlockIni();
    mSave_Click();
    ASSERT_EQ(notices.size(), 1u);  // one message, not one per value
    EXPECT_NE(notices[0].find(IniFilePath()), std::wstring::npos) << std::string(notices[0].begin(), notices[0].end());
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(Pieces.size(), 47u);
}

TEST_F(Commands, ExitWritesTheAnchorAndWhiteForUnchangedPiecesAndNothingElse) {
    mban_Click();  // scattered pieces: only the anchor's place is kept
    P(AnchorPiece).Move(4500, 2250);
    const HWND anchor = P(AnchorPiece).hwnd();
    mend_Click();
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(Pieces.empty());
    EXPECT_FALSE(IsWindow(anchor));
    EXPECT_FALSE(MenuWindowLoaded());
    const auto lines = IniLines();
    ASSERT_EQ(lines.size(), 49u);
    EXPECT_EQ(lines[0], (IniEntry{L"東京", L"X", L"4500"}));
    EXPECT_EQ(lines[1], (IniEntry{L"東京", L"Y", L"2250"}));
    // The file groups keys by section, so 東京's C sits beside its X and Y.
    int colours = 0;
    for (const IniEntry& e : lines) {
        if (e.key != L"C") continue;
        ++colours;
        EXPECT_EQ(e.value, L"FFFFFF") << std::string(e.section.begin(), e.section.end());
    }
    EXPECT_EQ(colours, 47);
    EXPECT_TRUE(notices.empty());
}

TEST_F(Commands, ExitWritesAChosenColourAsUpperCaseHex) {
    P(47).SetBackColor(0x000000FF);
    P(1).SetBackColor(0x00A0B0C0);
    P(2).SetBackColor(0);
    mend_Click();
    EXPECT_EQ(ReadIni(L"沖縄", L"C"), L"FF");
    EXPECT_EQ(ReadIni(L"北海道", L"C"), L"A0B0C0");
    EXPECT_EQ(ReadIni(L"青森", L"C"), L"0");
    EXPECT_EQ(ReadIni(L"秋田", L"C"), L"FFFFFF");
}

TEST_F(Commands, ExitThatCannotWriteTellsTheUserBeforeTheProgramEnds) {
    BlockIni();
    std::vector<std::string> events;
    NoticeHook = [&](HWND, const std::wstring& text, UINT) {
        events.push_back(text.find(IniFilePath()) != std::wstring::npos ? "notice naming the file" : "notice");
    };
    EndProcessHook = [&](UINT) { events.push_back("end"); };
    mend_Click();
    EXPECT_EQ(events, (std::vector<std::string>{"notice naming the file", "end"}));
}

TEST_F(Commands, ShutdownClosesPiecesLastToFirstThenTheDialogs) {
    std::vector<HWND> pieces;
    for (int k = 1; k <= PrefCount; ++k) pieces.push_back(P(k).hwnd());
    HWND version = nullptr, capital = nullptr;
    std::vector<std::string> order;
    // The version dialog open, the capital dialog over it, and then the system closes frmMenu.
    Later(100, [&] {
        version = VersionDialogWindow();
        Later(100, [&] {
            capital = CapitalDialogWindow();
            StartDestroyLog();
            SendMessageW(MenuWindow(), WM_CLOSE, 0, 0);
        });
        OpenCapitalDialog(P(14));
    });
    EndProcessHook = [&](UINT) { order.push_back("end"); };
    mver_Click();
    const auto destroyed = StopDestroyLog();
    ASSERT_NE(version, nullptr);
    ASSERT_NE(capital, nullptr);
    std::vector<HWND> expected(pieces.rbegin(), pieces.rend());
    expected.push_back(version);
    expected.push_back(capital);
    std::vector<HWND> seen;
    for (HWND w : destroyed)
        if (std::find(expected.begin(), expected.end(), w) != expected.end()) seen.push_back(w);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(order, std::vector<std::string>{"end"});
    EXPECT_TRUE(Pieces.empty());
    EXPECT_FALSE(IniExists()) << "a close from the system saves nothing";
}

TEST_F(Commands, SessionEndSavesWhatExitSavesUnlessCancelledOrHeld) {
    SessionEndHandler = EndSession;
    const struct {
        bool toMenu, ending;
        int held;  // 1: a fatal message or a failed-write notice, 2: any other notice
    } cases[] = {{true, true, 0}, {false, true, 0}, {true, false, 0}, {false, false, 0}, {false, true, 1}, {true, true, 2}};
    for (const auto& c : cases) {
        if (Pieces.empty()) BuildPieces();
        EndProcessHook = [this](UINT) { ++ended; };
        RemoveIni();
        P(AnchorPiece).Move(3000, 1500);
        P(5).SetBackColor(0x00123456);
        const HWND to = c.toMenu ? MenuWindow() : P(20).hwnd();
        EXPECT_TRUE(SendMessageW(to, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP) && Pieces.size() == 47u);
        std::optional<InputHold> hold;
        if (c.held) hold.emplace(nullptr, c.held == 1);
        SendMessageW(to, WM_ENDSESSION, c.ending, ENDSESSION_CLOSEAPP);
        DoEvents();
        EXPECT_EQ(Pieces.empty(), c.ending) << c.toMenu << c.ending << c.held;
        const std::wstring saved = IniExists() ? ReadIni(L"東京", L"X") + L"," + ReadIni(SectionOf(5), L"C") : L"";
        EXPECT_EQ(saved, c.ending && c.held != 1 ? L"3000,123456" : L"");
    }
    EXPECT_EQ(ended, 4);
    SessionEndHandler = nullptr;
}

TEST_F(Commands, ModalDialogBlocksThePiecesAndGivesThemBack) {
    bool disabledWhileOpen = false;
    Later(100, [&] {
        disabledWhileOpen = !IsWindowEnabled(P(1).hwnd()) && !IsWindowEnabled(P(AnchorPiece).hwnd());
        UnloadVersionDialog();
    });
    mver_Click();
    EXPECT_TRUE(disabledWhileOpen);
    for (int k = 1; k <= PrefCount; ++k) EXPECT_TRUE(IsWindowEnabled(P(k).hwnd())) << k;
}

}  // namespace
}  // namespace korven
