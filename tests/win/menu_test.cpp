// frmMenu and its popup: items in both modes, the hidden window, and a choice made on the real popup.
#include <gtest/gtest.h>

#include "core/app_state.h"
#include "menu/frm_menu.h"
#include "menu/frm_version.h"
#include "tests/win/piece_fixture.h"

namespace korven {
namespace {

using namespace korven::test;

struct Entry {
    bool separator;
    std::wstring caption;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> EntriesOf(HMENU menu) {
    std::vector<Entry> out;
    const int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        const bool separator = (info.fType & MFT_SEPARATOR) != 0;
        if (!separator) EXPECT_FALSE(info.fState & (MFS_DISABLED | MFS_CHECKED | MFS_DEFAULT)) << i;
        out.push_back({separator, text});
    }
    return out;
}

const Entry Sep{true, L""};

// In order: the first reference loads frmMenu, and the close at the end unloads it.
TEST(ControlMenu, LoadedOnFirstReferenceHiddenWithItsCaption) {
    EndProcessHook = [](UINT) {};
    EXPECT_FALSE(MenuWindowLoaded());
    HWND w = MenuWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(MenuWindowLoaded());
    EXPECT_EQ(MenuWindow(), w);
    EXPECT_FALSE(IsWindowVisible(w));
    wchar_t caption[32] = {};
    GetWindowTextW(w, caption, 32);
    EXPECT_STREQ(caption, L"Form1");
    EXPECT_EQ(GetParent(w), nullptr);  // top level, so that it hears the session end
}

TEST(ControlMenu, SevenEntriesWithoutCaptureMode) {
    const std::vector<Entry> expected = {{false, L"解散!"}, Sep, {false, L"集合!"}, Sep,
                                         {false, L"バージョン情報"}, Sep, {false, L"終了"}};
    EXPECT_EQ(EntriesOf(mpop()), expected);
}

TEST(ControlMenu, CaptureModeAddsTheSaveItemFirstWithNoSeparatorAfterIt) {
    ShowSaveItem();
    const std::vector<Entry> expected = {{false, L"位置情報取得"}, {false, L"解散!"}, Sep, {false, L"集合!"}, Sep,
                                         {false, L"バージョン情報"}, Sep, {false, L"終了"}};
    EXPECT_EQ(EntriesOf(mpop()), expected);
    // A fresh frmMenu starts from its design again.
    SendMessageW(MenuWindow(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(MenuWindowLoaded());
    EXPECT_EQ(EntriesOf(mpop()).size(), 7u);
}

HWND PopupWindow() {
    return FindWindowW(L"#32768", nullptr);
}

void Key(HWND w, WPARAM key) {
    PostMessageW(w, WM_KEYDOWN, key, 1);
    PostMessageW(w, WM_KEYUP, key, 0xC0000001);
}

TEST(ControlMenu, ChosenItemRunsAfterThePopupHasClosed) {
    BuildPieces();
    bool popupWasUp = false, popupGoneWhenCommandRan = false;
    // Up from nothing selects the last item ("終了"), Up again "バージョン情報"; Return chooses it.
    Later(200, [&] {
        HWND popup = PopupWindow();
        popupWasUp = popup && IsWindowVisible(popup);
        HWND to = P(5).hwnd();
        Key(to, VK_UP);
        Key(to, VK_UP);
        Key(to, VK_RETURN);
    });
    Later(800, [&] {
        HWND popup = PopupWindow();
        popupGoneWhenCommandRan = VersionDialogWindow() != nullptr && !(popup && IsWindowVisible(popup));
        UnloadVersionDialog();
    });
    Later(5000, [] {
        EndMenu();
        UnloadVersionDialog();
    });
    PopupPieceMenu(P(5).hwnd());
    CancelLater();
    EXPECT_TRUE(popupWasUp);
    EXPECT_TRUE(popupGoneWhenCommandRan);
}

TEST(ControlMenu, DismissedPopupRunsNothing) {
    const size_t before = Pieces.size();
    Later(200, [] { EndMenu(); });
    PopupPieceMenu(P(5).hwnd());
    CancelLater();
    EXPECT_EQ(Pieces.size(), before);
    EXPECT_EQ(VersionDialogWindow(), nullptr);
}

}  // namespace
}  // namespace korven
