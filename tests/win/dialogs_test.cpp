// The version dialog, the capital dialog and the colour chooser, driven from inside their modal loops.
#include <gtest/gtest.h>

#include <functional>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/notices.h"
#include "core/settings.h"
#include "core/win_owners.h"
#include "menu/frm_menu.h"
#include "menu/frm_version.h"
#include "pieces/color_chooser.h"
#include "pieces/frm_data.h"
#include "pieces/frm_map.h"
#include "tests/win/piece_fixture.h"

namespace korven {
namespace {

using namespace korven::test;

LOGFONTW FontOf(HWND control) {
    LOGFONTW lf{};
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (font) GetObjectW(font, sizeof lf, &lf);
    return lf;
}

void PressKey(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

void ExpectTwips(HWND child, int l, int t, int w, int h) {
    const RECT r = ChildTwips(child);
    EXPECT_EQ(r.left, l) << std::string(TextOf(child).begin(), TextOf(child).end());
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, w);
    EXPECT_EQ(r.bottom, h);
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveIni();
        BuildPieces();
        NoticeHook = [this](HWND, const std::wstring& text, UINT) { notices.push_back(text); };
    }
    void TearDown() override {
        CancelLater();
        NoticeHook = nullptr;
        ChooseColorHook = nullptr;
        UnblockIni();
        RemoveIni();
    }
    std::vector<std::wstring> notices;
};

// Version dialog

TEST_F(Dialogs, VersionDialogLayoutFontsAndFocus) {
    bool checked = false;
    Later(150, [&] {
        HWND d = VersionDialogWindow();
        ASSERT_NE(d, nullptr);
        checked = true;
        EXPECT_EQ(TextOf(d), L"バージョン情報");
        EXPECT_EQ(GetWindow(d, GW_OWNER), nullptr);
        RECT client{};
        GetClientRect(d, &client);
        EXPECT_EQ(client.right * TwipsPerPixelX(), 3945);
        EXPECT_EQ(client.bottom * TwipsPerPixelY(), 1125);
        const LONG style = GetWindowLongW(d, GWL_STYLE);
        EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
        EXPECT_TRUE(style & WS_SYSMENU);
        const auto kids = Children(d);
        ASSERT_EQ(kids.size(), 5u);
        EXPECT_EQ(TextOf(kids[0]), L"OK");
        ExpectTwips(kids[0], 3075, 120, 795, 345);
        EXPECT_EQ(TextOf(kids[1]), L"コルベン");
        ExpectTwips(kids[1], 735, 195, 2400, 285);
        EXPECT_EQ(TextOf(kids[2]), L"Version 2.0.0");
        ExpectTwips(kids[2], 1515, 525, 1515, 285);
        EXPECT_FALSE(TextOf(kids[3]).empty());  // the maker's notice
        ExpectTwips(kids[3], 780, 930, 2775, 225);
        ExpectTwips(kids[4], 180, 210, 480, 480);
        EXPECT_NE(SendMessageW(kids[4], STM_GETICON, 0, 0), 0);
        const LOGFONTW title = FontOf(kids[1]);
        EXPECT_STREQ(title.lfFaceName, L"ＭＳ Ｐ明朝");
        EXPECT_EQ(title.lfWeight, FW_BOLD);
        EXPECT_EQ(title.lfCharSet, SHIFTJIS_CHARSET);
        EXPECT_EQ(title.lfHeight, -15);  // 11.25 pt at 96 dpi
        const LOGFONTW version = FontOf(kids[2]);
        EXPECT_STREQ(version.lfFaceName, L"Times New Roman");
        EXPECT_EQ(version.lfWeight, FW_BOLD);
        EXPECT_EQ(version.lfHeight, -13);  // 9.75 pt
        EXPECT_EQ(GetFocus(), kids[0]);
        // While it is open no piece takes input, so the popup cannot be raised either.
        EXPECT_FALSE(IsWindowEnabled(P(5).hwnd()));
        PressKey(GetFocus(), VK_RETURN);
    });
    // A guard so a failure cannot leave the dialog open for ever.
    bool guarded = false;
    Later(4000, [&] {
        guarded = true;
        UnloadVersionDialog();
    });
    mver_Click();
    EXPECT_TRUE(checked);
    EXPECT_FALSE(guarded) << "Enter did not close the dialog";
    EXPECT_EQ(VersionDialogWindow(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(P(5).hwnd()));
}

TEST_F(Dialogs, VersionDialogEscapeDoesNotCloseButTheCloseBoxDoes) {
    bool stillOpen = false;
    Later(150, [] { PressKey(GetFocus(), VK_ESCAPE); });
    Later(400, [&] {
        stillOpen = VersionDialogWindow() != nullptr;
        SendMessageW(VersionDialogWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    Later(4000, [] { UnloadVersionDialog(); });
    mver_Click();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(VersionDialogWindow(), nullptr);
}

// Capital dialog

const int Kanagawa = 14;

// Opens the dialog for 神奈川, runs act inside it, and gives up after a while.
void WithCapitalDialog(const std::function<void(HWND)>& act) {
    Later(150, [act] {
        HWND d = CapitalDialogWindow();
        ASSERT_NE(d, nullptr);
        act(d);
    });
    Later(4000, [] { UnloadCapitalDialog(); });
    OpenCapitalDialog(P(Kanagawa));
    CancelLater();
}

HWND Text1(HWND d) { return Children(d)[1]; }

TEST_F(Dialogs, CapitalDialogLayoutAndPlaceOnThePiece) {
    P(Kanagawa).Move(4500, 3000);
    bool checked = false;
    WithCapitalDialog([&](HWND d) {
        checked = true;
        EXPECT_EQ(TextOf(d), L"神奈川");
        RECT client{};
        GetClientRect(d, &client);
        EXPECT_EQ(client.right * TwipsPerPixelX(), 2205);
        EXPECT_EQ(client.bottom * TwipsPerPixelY(), 930);
        const RECT outer = ScreenRect(d);
        const RECT piece = ScreenRect(P(Kanagawa).hwnd());
        EXPECT_EQ(outer.left, piece.left);
        EXPECT_EQ(outer.top, piece.top);
        const auto kids = Children(d);
        ASSERT_EQ(kids.size(), 4u);
        EXPECT_EQ(TextOf(kids[0]), L"県庁所在地");
        ExpectTwips(kids[0], 60, 90, 1035, 255);
        EXPECT_EQ(ClassOf(kids[1]), L"Edit");
        ExpectTwips(kids[1], 1290, 60, 870, 285);
        EXPECT_EQ(TextOf(kids[2]), L"OK");
        ExpectTwips(kids[2], 300, 495, 780, 375);
        EXPECT_EQ(TextOf(kids[3]), L"ｷｬﾝｾﾙ");
        ExpectTwips(kids[3], 1140, 495, 780, 375);
        for (HWND b : {kids[2], kids[3]}) EXPECT_FALSE(GetWindowLongW(b, GWL_STYLE) & BS_DEFPUSHBUTTON);
        EXPECT_EQ(GetFocus(), kids[1]);
        // Tab goes text → OK → ｷｬﾝｾﾙ → text.
        EXPECT_EQ(GetNextDlgTabItem(d, kids[1], FALSE), kids[2]);
        EXPECT_EQ(GetNextDlgTabItem(d, kids[2], FALSE), kids[3]);
        EXPECT_EQ(GetNextDlgTabItem(d, kids[3], FALSE), kids[1]);
        EXPECT_EQ(TextOf(kids[1]), L"");  // no entry yet
        EXPECT_FALSE(IsWindowEnabled(P(1).hwnd()));
        Click(d, L"ｷｬﾝｾﾙ");
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(CapitalDialogWindow(), nullptr);
    EXPECT_FALSE(IniExists());
    EXPECT_TRUE(IsWindowEnabled(P(1).hwnd()));
}

TEST_F(Dialogs, CapitalDialogNearAScreenCornerLiesWhollyOnTheWorkArea) {
    RECT w{}, r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &w, 0);
    for (POINT at : {POINT{w.right - 20, w.bottom - 10}, {w.left - 40, w.top - 30}, {w.right - 20, w.top - 30}}) {
        P(Kanagawa).Move(at.x * TwipsPerPixelX(), at.y * TwipsPerPixelY());
        WithCapitalDialog([&](HWND d) { r = ScreenRect(d); Click(d, L"ｷｬﾝｾﾙ"); });
        EXPECT_TRUE(r.left >= w.left && r.top >= w.top && r.right <= w.right && r.bottom <= w.bottom) << at.x;
    }
}

TEST_F(Dialogs, ClosingADialogEnablesThePiecesFirstAndLeavesTheOpenerActive) {
    for (int c = 0; c < 4; ++c) {  // version, capital; by Enter (OK), by the close box
        const bool capital = c & 1, closeBox = c & 2;
        SetForegroundWindow(P(Kanagawa).hwnd());
        bool enabledAtDestroy = false;
        SentMessageWatch watch([&](const CWPSTRUCT& m) {
            if (m.message == WM_DESTROY && (m.hwnd == CapitalDialogWindow() || m.hwnd == VersionDialogWindow()))
                enabledAtDestroy = IsWindowEnabled(P(Kanagawa).hwnd());
        });
        Later(150, [&] {
            HWND d = capital ? CapitalDialogWindow() : VersionDialogWindow();
            if (closeBox) SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
            else capital ? Click(d, L"OK") : PressKey(GetFocus(), VK_RETURN);
        });
        Later(4000, [] { UnloadVersionDialog(), UnloadCapitalDialog(); });
        capital ? OpenCapitalDialog(P(Kanagawa)) : mver_Click();
        EXPECT_TRUE(enabledAtDestroy && GetActiveWindow() == P(Kanagawa).hwnd()) << c;
    }
}

// Inside either dialog: labels in the system's text colour on its face whatever the DC held, the client area
// kept at a new monitor's scale (the suggested rectangle is far too small), and a system window of the thread
// (an IME's, enabled) left enabled while the pieces are not.
TEST_F(Dialogs, EitherDialogReadsInAnyThemeKeepsItsClientAtAnyScaleAndLeavesTheImeEnabled) {
    HWND ime = CreateWindowExW(0, L"IME", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    for (const bool capital : {false, true}) {
        bool checked = false;
        Later(150, [&] {
            HWND d = capital ? CapitalDialogWindow() : VersionDialogWindow();
            const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
            for (HWND label : Children(d)) {
                if (ClassOf(label) != L"Static") continue;
                SetTextColor(dc.get(), RGB(1, 2, 3)), SetBkColor(dc.get(), RGB(4, 5, 6));
                const LRESULT brush = SendMessageW(d, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()), 0);
                EXPECT_TRUE(GetTextColor(dc.get()) == GetSysColor(COLOR_BTNTEXT) && GetBkColor(dc.get()) ==
                            GetSysColor(COLOR_BTNFACE) && brush == reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)));
            }
            RECT before{}, after{}, suggested{100, 120, 101, 121};
            GetClientRect(d, &before);
            SendMessageW(d, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
            GetClientRect(d, &after);
            EXPECT_TRUE(EqualRect(&before, &after) && ScreenRect(d).left == 100 && ScreenRect(d).top == 120) << capital;
            checked = ime && IsWindowEnabled(ime) && !IsWindowEnabled(P(Kanagawa).hwnd());
            SendMessageW(d, WM_CLOSE, 0, 0);
        });
        Later(4000, [] { UnloadVersionDialog(), UnloadCapitalDialog(); });
        capital ? OpenCapitalDialog(P(Kanagawa)) : mver_Click();
        CancelLater();
        EXPECT_TRUE(checked) << capital;
    }
    DestroyWindow(ime);
}

// A window refused by a CBT hook is named at once: fatal for a piece or its line, a notice for a dialog.
std::wstring refused;
LRESULT CALLBACK RefuseClass(int code, WPARAM w, LPARAM l) {
    wchar_t cls[32] = {};
    if (code == HCBT_CREATEWND) GetClassNameW(reinterpret_cast<HWND>(w), cls, 32);
    return code == HCBT_CREATEWND && refused == cls ? 1 : CallNextHookEx(nullptr, code, w, l);
}
TEST_F(Dialogs, AWindowThatCannotBeMadeIsNamedAtOnce) {
    const struct { const wchar_t* cls; std::function<void()> make; const wchar_t* what; bool fatal; } cases[] = {
        {L"frmMap", [] { CreatePiece(); }, L"地図の県", true},
        {L"frmMap.Picture1", [] { CreatePiece(); }, L"県の境界線", true},
        {L"frm_Version", ShowVersionDialog, L"バージョン情報", false},
        {L"frmData", [this] { OpenCapitalDialog(P(Kanagawa)); }, L"県庁所在地の入力", false}};
    for (const auto& c : cases) {
        refused = c.cls;
        notices.clear();
        FatalExitHook = [&](const std::wstring& text) { notices.push_back(L"fatal: " + text); };
        const UniqueHook hook(SetWindowsHookExW(WH_CBT, RefuseClass, nullptr, GetCurrentThreadId()));
        c.make();
        FatalExitHook = nullptr;
        const std::wstring said = (c.fatal ? L"fatal: " : L"") + std::wstring(c.what);
        EXPECT_TRUE(notices.size() == 1 && notices[0].rfind(said, 0) == 0 && !VersionDialogWindow() &&
                    !CapitalDialogWindow()) << c.what;
    }
}

TEST_F(Dialogs, CapitalOkStoresAnEmptyTextAndReopensEmpty) {
    WithCapitalDialog([](HWND d) { Click(d, L"OK"); });
    EXPECT_EQ(CapitalDialogWindow(), nullptr);
    EXPECT_EQ(IniLines(), (std::vector<IniEntry>{{L"神奈川", L"県庁所在地", L""}}));
    std::wstring shown = L"?";
    WithCapitalDialog([&](HWND d) {
        shown = TextOf(Text1(d));
        Click(d, L"ｷｬﾝｾﾙ");
    });
    EXPECT_EQ(shown, L"");
}

TEST_F(Dialogs, CapitalOkLeavesTheDotsTipAsStartUpSetItUntilTheNextStart) {
    P(Kanagawa).SetLtyouTip(L"横浜");
    WithCapitalDialog([](HWND d) {
        SetWindowTextW(Text1(d), L"横浜市中区");
        Click(d, L"OK");
    });
    EXPECT_EQ(ReadIni(L"神奈川", L"県庁所在地"), L"横浜市中区");
    EXPECT_EQ(P(Kanagawa).LtyouTip(), L"横浜");
}

TEST_F(Dialogs, CapitalOkStoresSpacesAsTypedAndReadingTrimsThem) {
    WithCapitalDialog([](HWND d) {
        SetWindowTextW(Text1(d), L"  横浜市  ");
        Click(d, L"OK");
    });
    const auto lines = IniLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].section, L"神奈川");
    EXPECT_NE(lines[0].value.find(L"  横浜市  "), std::wstring::npos);
    std::wstring shown;
    WithCapitalDialog([&](HWND d) {
        shown = TextOf(Text1(d));
        Click(d, L"ｷｬﾝｾﾙ");
    });
    EXPECT_EQ(shown, L"横浜市");
}

TEST_F(Dialogs, CapitalCancelCloseBoxEnterAndEscapeStoreNothing) {
    WithCapitalDialog([](HWND d) { Click(d, L"OK"); });  // an entry to keep
    const std::string before = IniBytes();
    WithCapitalDialog([](HWND d) {
        SetWindowTextW(Text1(d), L"横浜市");
        Click(d, L"ｷｬﾝｾﾙ");
    });
    EXPECT_EQ(IniBytes(), before);
    WithCapitalDialog([](HWND d) {
        SetWindowTextW(Text1(d), L"横浜市");
        SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(IniBytes(), before);
    bool stillOpen = false;
    WithCapitalDialog([&](HWND d) {
        SetWindowTextW(Text1(d), L"横浜市");
        SetFocus(Text1(d));
        PressKey(Text1(d), VK_RETURN);
        PressKey(Text1(d), VK_ESCAPE);
        Later(300, [&stillOpen, d] {
            stillOpen = IsWindow(d) != FALSE;
            Click(d, L"ｷｬﾝｾﾙ");
        });
    });
    EXPECT_TRUE(stillOpen) << "Enter or Escape pressed a button";
    EXPECT_EQ(IniBytes(), before);
}

TEST_F(Dialogs, CapitalTextThatCodePage932CannotHoldIsRefusedAndTheDialogStays) {
    bool stillOpen = false;
    WithCapitalDialog([&](HWND d) {
        SetWindowTextW(Text1(d), L"横浜\uD55C\u00E9市");  // Hangul and é have no place in code page 932
        Click(d, L"OK");
        stillOpen = IsWindow(d) && TextOf(Text1(d)) == L"横浜\uD55C\u00E9市";
        Click(d, L"ｷｬﾝｾﾙ");
    });
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(L"\uD55C"), std::wstring::npos);
    EXPECT_NE(notices[0].find(L"\u00E9"), std::wstring::npos);
    EXPECT_EQ(notices[0].find(L"横"), std::wstring::npos) << "names only the characters that cannot be stored";
    EXPECT_FALSE(IniExists());
}

TEST_F(Dialogs, CapitalWriteFailureIsReportedAndTheTextStays) {
    BlockIni();
    bool stillOpen = false;
    WithCapitalDialog([&](HWND d) {
        SetWindowTextW(Text1(d), L"横浜市");
        Click(d, L"OK");
        stillOpen = IsWindow(d) && TextOf(Text1(d)) == L"横浜市";
        Click(d, L"ｷｬﾝｾﾙ");
    });
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(IniFilePath()), std::wstring::npos);
}

// Colour chooser

TEST_F(Dialogs, ColourRequestHasTheOwnerNoFlagsAndWhiteCustomColours) {
    int calls = 0;
    ChooseColorHook = [&](CHOOSECOLORW& cc) {
        ++calls;
        EXPECT_EQ(cc.lStructSize, sizeof(CHOOSECOLORW));
        EXPECT_EQ(cc.lStructSize, sizeof(void*) == 4 ? 36u : 72u);  // the platform's own layout
        EXPECT_EQ(cc.hwndOwner, P(3).hwnd());
        EXPECT_EQ(cc.Flags, 0u);
        EXPECT_EQ(cc.rgbResult, 0x00FFFFFFu);
        EXPECT_EQ(cc.lCustData, 0);
        EXPECT_EQ(cc.lpfnHook, nullptr);
        EXPECT_EQ(cc.lpTemplateName, nullptr);
        EXPECT_EQ(reinterpret_cast<HINSTANCE>(cc.hInstance), ModuleInstance());
        for (int i = 0; i < 16; ++i) EXPECT_EQ(cc.lpCustColors[i], 0x00FFFFFFu) << i;
        // What the user defines here must not come back next time.
        for (int i = 0; i < 16; ++i) cc.lpCustColors[i] = RGB(1, 2, 3);
        cc.rgbResult = 0x00FFFFFF;
        return TRUE;
    };
    ChoosePieceColour(P(3));
    ChoosePieceColour(P(3));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(P(3).BackColor(), 0x00FFFFFFu);  // white stays white
}

TEST_F(Dialogs, ColourCancelKeepsAndAConfirmedColourFillsThePiece) {
    P(3).SetBackColor(0x00123456);
    ChooseColorHook = [](CHOOSECOLORW& cc) {
        EXPECT_EQ(cc.rgbResult, 0x00123456u);
        cc.rgbResult = 0x000000FF;  // changed in the dialog, then cancelled
        return FALSE;
    };
    ChoosePieceColour(P(3));
    EXPECT_EQ(P(3).BackColor(), 0x00123456u);
    EXPECT_EQ(PickColor(P(3).hwnd(), 0x00123456), -1);
    ChooseColorHook = [](CHOOSECOLORW& cc) {
        cc.rgbResult = 0x0000FF00;
        return TRUE;
    };
    ChoosePieceColour(P(3));
    EXPECT_EQ(P(3).BackColor(), 0x0000FF00u);
    EXPECT_EQ(PickColor(P(3).hwnd(), 0), 0x0000FF00);
    // White confirmed on a coloured piece is a colour like any other, not "nothing chosen".
    ChooseColorHook = [](CHOOSECOLORW& cc) {
        cc.rgbResult = 0x00FFFFFF;
        return TRUE;
    };
    ChoosePieceColour(P(3));
    EXPECT_EQ(P(3).BackColor(), 0x00FFFFFFu);
}

TEST_F(Dialogs, AChosenColourReachesTheFileOnlyAtExit) {
    ChooseColorHook = [](CHOOSECOLORW& cc) {
        cc.rgbResult = 0x0000FF00;
        return TRUE;
    };
    ChoosePieceColour(P(3));
    EXPECT_FALSE(IniExists());
    EndProcessHook = [](UINT) {};
    mend_Click();
    EXPECT_EQ(ReadIni(L"秋田", L"C"), L"FF00");
}


TEST_F(Dialogs, SystemColourDialogDisablesOnlyItsOwnerAndCancelGivesMinusOne) {
    bool ownerDisabled = false, othersEnabled = false, found = false;
    // The dialog takes a while to appear where the machine is slow (an emulated one, say): look until it does.
    int looks = 0;
    std::function<void()> look = [&] {
        HWND d = OwnedDialog(P(3).hwnd());
        if (!d && ++looks < 100) return Later(200, look);
        found = d != nullptr;
        ownerDisabled = !IsWindowEnabled(P(3).hwnd());
        othersEnabled = IsWindowEnabled(P(4).hwnd()) && IsWindowEnabled(P(AnchorPiece).hwnd());
        if (d) PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
    };
    Later(300, look);
    EXPECT_EQ(PickColor(P(3).hwnd(), 0x00FFFFFF), -1);
    EXPECT_TRUE(found);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(othersEnabled);
    EXPECT_TRUE(IsWindowEnabled(P(3).hwnd()));
}

}  // namespace
}  // namespace korven
