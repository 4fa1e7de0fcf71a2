// The piece window on its own: how it is made, what each press does, the double-click, the tooltips, the
// painting, and the two move-home operations.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/notices.h"
#include "menu/frm_menu.h"
#include "pieces/color_chooser.h"
#include "pieces/frm_data.h"
#include "pieces/frm_map.h"
#include "regions/record_sizes.h"
#include "regions/shaping.h"
#include "tests/win/piece_fixture.h"

using namespace korven;
using namespace korven::test;

namespace {

// What reached a piece: system moves asked for (not run: no real button is down) and menus opened.
struct Spy {
    int drags = 0;
    bool captureReleased = false;
    int menus = 0;
};
Spy spy;
WNDPROC originalProc = nullptr;

LRESULT CALLBACK SpyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCAPTION) {
            ++spy.drags;
            spy.captureReleased = GetCapture() == nullptr;
            return 0;
        }
        return CallWindowProcW(originalProc, hwnd, message, wParam, lParam);
    case WM_INITMENUPOPUP:
        ++spy.menus;
        PostMessageW(hwnd, WM_CANCELMODE, 0, 0);  // closes the popup without a choice
        return CallWindowProcW(originalProc, hwnd, message, wParam, lParam);
    default:
        return CallWindowProcW(originalProc, hwnd, message, wParam, lParam);
    }
}

void Watch(HWND piece) {
    originalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(piece, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SpyProc)));
}

void SetAlt(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

HWND TooltipOf(HWND piece) {
    return OwnedWindow(piece, [](HWND w) { return _wcsicmp(ClassOf(w).c_str(), TOOLTIPS_CLASSW) == 0; });
}

bool dialogSeen = false;
void CALLBACK CloseCapitalDialog(HWND, UINT, UINT_PTR id, DWORD) {
    if (HWND d = CapitalDialogWindow()) {
        dialogSeen = true;
        KillTimer(nullptr, id);
        DestroyWindow(d);
    }
}

UINT_PTR ToolAt(HWND tooltip, HWND piece, int x, int y) {
    TTHITTESTINFOW hit{};
    hit.hwnd = piece;
    hit.pt = POINT{x, y};
    hit.ti.cbSize = TTTOOLINFOW_V2_SIZE;
    if (!SendMessageW(tooltip, TTM_HITTESTW, 0, reinterpret_cast<LPARAM>(&hit))) return 0;
    return hit.ti.uId;
}

std::wstring ToolText(HWND tooltip, HWND piece, UINT_PTR id) {
    wchar_t buffer[1024] = {};
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = piece;
    ti.uId = id;
    ti.lpszText = buffer;
    SendMessageW(tooltip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&ti));
    return buffer;
}

COLORREF ScreenPixel(int x, int y) {
    WindowDc screen(nullptr);
    return GetPixel(screen.get(), x, y);
}

class PieceWindow : public ::testing::Test {
protected:
    void SetUp() override {
        FillSyntheticStore();
        ThrowOnFatal();
        IniBaseName = L"KORVEN";
        CaptureEnabled = false;
        spy = Spy{};
        PieceMenuHandler = PopupPieceMenu;  // as start-up hands it down
        piece = CreatePiece();
        Watch(piece->hwnd());
    }
    void TearDown() override {
        SetAlt(false);
        CaptureEnabled = false;
        ChooseColorHook = nullptr;
        FatalExitHook = nullptr;
        piece.reset();
        Pieces.clear();
    }
    void Press(HWND target, UINT message, WPARAM keys, int x, int y) {
        SendMessageW(target, message, keys, At(x, y));
        PumpFor(20);
    }
    void Cover() { piece->MoveLname(0, 0, piece->ScaleWidth(), piece->Height()); }
    std::unique_ptr<Piece> piece;
};

}  // namespace

TEST_F(PieceWindow, IsABorderlessHiddenToolWindowAsDesigned) {
    HWND w = piece->hwnd();
    wchar_t cls[32] = {};
    GetClassNameW(w, cls, 32);
    EXPECT_STREQ(cls, L"frmMap");
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    const LONG ex = GetWindowLongW(w, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_DLGFRAME));
    EXPECT_FALSE(style & WS_VISIBLE);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);  // no taskbar button
    EXPECT_FALSE(ex & (WS_EX_TOPMOST | WS_EX_APPWINDOW));
    EXPECT_EQ(GetWindow(w, GW_OWNER), nullptr);
    EXPECT_EQ(piece->ScaleWidth(), 4590);
    EXPECT_EQ(piece->Height(), 2685);
    EXPECT_EQ(piece->BackColor(), 0x00FFFFFFu);
    EXPECT_EQ(piece->Idx, 0);
    EXPECT_FALSE(piece->bx);
    EXPECT_FALSE(piece->by);

    Target& pic = piece->Picture1();
    EXPECT_EQ(GetParent(pic.hwnd), w);
    EXPECT_TRUE(GetWindowLongW(pic.hwnd, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(pic.Width(), 375);
    EXPECT_EQ(pic.Height(), 375);
    EXPECT_EQ(pic.backColor, 0u);

    const TwipRect kc = piece->KC(), lt = piece->LTYOU(), ln = piece->Lname();
    EXPECT_EQ((std::vector<int>{kc.left, kc.top, kc.width, kc.height}), (std::vector<int>{3465, 2355, 75, 75}));
    EXPECT_EQ((std::vector<int>{lt.left, lt.top, lt.width, lt.height}), (std::vector<int>{3720, 2415, 105, 120}));
    EXPECT_EQ((std::vector<int>{ln.left, ln.top, ln.width, ln.height}), (std::vector<int>{-45, -30, 6600, 1875}));
}

TEST_F(PieceWindow, LeftPressDragsThroughTheSystemMoveWithCaptureReleased) {
    Cover();
    SetCapture(piece->hwnd());
    Press(piece->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    EXPECT_EQ(spy.drags, 1);
    EXPECT_TRUE(spy.captureReleased);
    Press(piece->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 20, 20);
    EXPECT_EQ(spy.drags, 2);
    SetAlt(true);
    Press(piece->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 20, 20);
    EXPECT_EQ(spy.drags, 3);
}

TEST_F(PieceWindow, ShiftAloneMovesTheDotInCaptureModeAndDoesNothingOtherwise) {
    Cover();
    const TwipRect kc = piece->KC();
    RECT before{};
    GetWindowRect(piece->hwnd(), &before);
    Press(piece->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 20, 30);
    EXPECT_EQ(spy.drags, 0);
    EXPECT_EQ(piece->KC().left, kc.left);
    EXPECT_EQ(piece->KC().top, kc.top);

    CaptureEnabled = true;
    const TwipRect lt = piece->LTYOU();
    Press(piece->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 20, 30);
    EXPECT_EQ(spy.drags, 0);
    EXPECT_EQ(piece->KC().left, 300);
    EXPECT_EQ(piece->KC().top, 450);
    EXPECT_EQ(piece->KC().width, 75);  // size as it was
    EXPECT_EQ(piece->LTYOU().left, lt.left);  // the tip stays where it was
    EXPECT_EQ(piece->LTYOU().top, lt.top);
    RECT after{};
    GetWindowRect(piece->hwnd(), &after);
    EXPECT_EQ(after.left, before.left);
}

TEST_F(PieceWindow, ShiftWithCtrlOrAltDragsInBothModes) {
    Cover();
    for (bool capture : {false, true}) {
        CaptureEnabled = capture;
        const int before = spy.drags;
        Press(piece->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT | MK_CONTROL, 20, 30);
        SetAlt(true);
        Press(piece->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 20, 30);
        SetAlt(false);
        EXPECT_EQ(spy.drags, before + 2) << capture;
        EXPECT_EQ(piece->KC().left, 3465) << capture;
    }
}

TEST_F(PieceWindow, RightPressOpensTheMenuWithAnyModifiersAndMiddleDoesNothing) {
    Cover();
    piece->Show();
    Press(piece->hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, 20, 20);
    EXPECT_EQ(spy.menus, 1);
    Press(piece->hwnd(), WM_RBUTTONDOWN, MK_RBUTTON | MK_SHIFT | MK_CONTROL, 20, 20);
    EXPECT_EQ(spy.menus, 2);
    Press(piece->hwnd(), WM_MBUTTONDOWN, MK_MBUTTON, 20, 20);
    Press(piece->hwnd(), WM_MBUTTONDOWN, MK_MBUTTON | MK_SHIFT, 20, 20);
    EXPECT_EQ(spy.menus, 2);
    EXPECT_EQ(spy.drags, 0);
}

TEST_F(PieceWindow, TheBorderLineTakesPressesLikeTheInteriorInPieceCoordinates) {
    piece->Show();
    HWND line = piece->Picture1().hwnd;
    SetWindowPos(line, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Press(line, WM_LBUTTONDOWN, MK_LBUTTON, 5, 6);
    EXPECT_EQ(spy.drags, 1);  // the whole piece moves, not the line
    CaptureEnabled = true;
    Press(line, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 5, 6);
    EXPECT_EQ(piece->KC().left, 15 * 15);
    EXPECT_EQ(piece->KC().top, 16 * 15);
    Press(line, WM_RBUTTONDOWN, MK_RBUTTON, 5, 6);
    EXPECT_EQ(spy.menus, 1);
    Press(line, WM_MBUTTONDOWN, MK_MBUTTON, 5, 6);
    EXPECT_EQ(spy.drags, 1);
}

TEST_F(PieceWindow, PressesOutsideTheNameLabelFallOnTheBareForm) {
    // As created, the name label does not reach the bottom of the piece.
    Press(piece->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 100, 150);
    Press(piece->hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, 100, 150);
    EXPECT_EQ(spy.drags, 0);
    EXPECT_EQ(spy.menus, 0);
    Cover();
    Press(piece->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 100, 150);
    EXPECT_EQ(spy.drags, 1);
}

TEST_F(PieceWindow, BeginDragIgnoresEveryButtonButTheLeft) {
    BeginDrag(piece->hwnd(), 2, 0, 0, 0);
    BeginDrag(piece->hwnd(), 4, 0, 0, 0);
    EXPECT_EQ(spy.drags, 0);
    BeginDrag(piece->hwnd(), 1, 7, 123, 456);
    EXPECT_EQ(spy.drags, 1);
}

TEST_F(PieceWindow, DoubleClickPicksTheColourOrOpensTheCapitalDialog) {
    Cover();
    int asked = 0;
    HWND owner = nullptr;
    ChooseColorHook = [&](CHOOSECOLORW& cc) {
        ++asked;
        owner = cc.hwndOwner;
        cc.rgbResult = RGB(255, 0, 0);
        return TRUE;
    };
    SendMessageW(piece->hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, At(20, 20));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(owner, piece->hwnd());
    EXPECT_EQ(piece->BackColor(), static_cast<COLORREF>(RGB(255, 0, 0)));
    EXPECT_EQ(spy.drags, 0);  // the second press is no new press

    SendMessageW(piece->Picture1().hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, At(3, 3));
    EXPECT_EQ(asked, 1);  // the border line has no double-click
    EXPECT_EQ(spy.drags, 0);

    CaptureEnabled = true;
    piece->SetLnameTip(L"東京");
    dialogSeen = false;
    SetTimer(nullptr, 0, 30, CloseCapitalDialog);
    SendMessageW(piece->hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, At(20, 20));
    EXPECT_TRUE(dialogSeen);
    EXPECT_EQ(asked, 1);
    UnloadCapitalDialog();
}

TEST_F(PieceWindow, OneTooltipCarriesTheDotsTipOverTheNameTip) {
    Cover();
    piece->MoveKC(600, 450);
    piece->MoveLTYOU(600, 450, 75, 75);
    piece->SetLnameTip(L"和歌山");
    piece->SetLtyouTip(L"和歌山市（わかやまし）");
    EXPECT_EQ(TooltipOf(piece->hwnd()), nullptr);  // made only once the pointer comes
    SendMessageW(piece->hwnd(), WM_MOUSEMOVE, 0, At(200, 100));
    HWND tip = TooltipOf(piece->hwnd());
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(GetWindowLongW(tip, GWL_STYLE) & TTS_ALWAYSTIP);  // pieces are rarely the active window
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
    const UINT_PTR dotTool = ToolAt(tip, piece->hwnd(), 42, 32);
    const UINT_PTR nameTool = ToolAt(tip, piece->hwnd(), 200, 100);
    ASSERT_NE(dotTool, 0u);
    ASSERT_NE(nameTool, 0u);
    EXPECT_NE(dotTool, nameTool);
    EXPECT_EQ(ToolAt(tip, piece->hwnd(), 40, 30), dotTool);   // the dot's first pixel
    EXPECT_EQ(ToolAt(tip, piece->hwnd(), 45, 35), nameTool);  // just past its last
    EXPECT_EQ(ToolText(tip, piece->hwnd(), dotTool), L"和歌山市（わかやまし）");
    EXPECT_EQ(ToolText(tip, piece->hwnd(), nameTool), L"和歌山");
    EXPECT_EQ(piece->LnameTip(), L"和歌山");
    EXPECT_EQ(piece->LtyouTip(), L"和歌山市（わかやまし）");
    // Later changes reach the existing tooltip.
    piece->SetLnameTip(L"奈良");
    EXPECT_EQ(ToolText(tip, piece->hwnd(), nameTool), L"奈良");
    SendMessageW(piece->hwnd(), WM_MOUSEMOVE, 0, At(201, 100));
    EXPECT_EQ(TooltipOf(piece->hwnd()), tip);  // still the one
    // The name tip covers whatever the label covers.
    piece->MoveLname(0, 0, 1500, 1500);
    EXPECT_EQ(ToolAt(tip, piece->hwnd(), 200, 100), 0u);
    EXPECT_EQ(ToolAt(tip, piece->hwnd(), 99, 99), nameTool);
}

TEST_F(PieceWindow, PaintsFillDotAndLineAndKeepsItsImageWhenUncovered) {
    ApplyRegion(12, piece->Form(), false);
    ApplyRegion(12 + OutlineRecordOffset, piece->Picture1(), false);
    piece->Move(150 * 15, 100 * 15);
    piece->MoveKC(40 * 15, 200 * 15);
    piece->Show();
    PumpFor(100);
    const int ox = 150, oy = 100;
    EXPECT_EQ(ScreenPixel(ox + 50, oy + 100), RGB(255, 255, 255));  // fill
    EXPECT_EQ(ScreenPixel(ox + 42, oy + 202), RGB(255, 0, 0));       // dot centre
    int red = 0;
    for (int y = 195; y < 212; ++y)
        for (int x = 35; x < 52; ++x)
            if (ScreenPixel(ox + x, oy + y) == RGB(255, 0, 0)) {
                ++red;
                EXPECT_TRUE(x >= 40 && x < 45 && y >= 200 && y < 205) << x << "," << y;
            }
    EXPECT_GE(red, 13);  // a filled 5 × 5 circle
    // Synthetic rim: the bound's left column at mid-height is on the outline.
    EXPECT_EQ(ScreenPixel(ox + PrefCanvas[12].bound.left, oy + 200), RGB(0, 0, 0));

    // Something drawn into the persistent image is still there after another window covered it.
    {
        UniqueBrush green(CreateSolidBrush(RGB(0, 160, 0)));
        RECT block{30, 60, 60, 90};
        FillRect(piece->Form().hdc(), &block, green.get());
        InvalidateRect(piece->hwnd(), nullptr, FALSE);
        UpdateWindow(piece->hwnd());
        TestWindow cover(400, 400, true);
        SetWindowPos(cover.target.hwnd, HWND_TOPMOST, ox, oy, 300, 300, SWP_SHOWWINDOW | SWP_NOACTIVATE);
        PumpFor(100);
        EXPECT_NE(ScreenPixel(ox + 45, oy + 75), RGB(0, 160, 0));
    }
    // The uncovered part is repainted when messages are processed; under emulation that takes far longer.
    for (int waited = 0; waited < 3000 && ScreenPixel(ox + 45, oy + 75) != RGB(0, 160, 0); waited += 50) PumpFor(50);
    EXPECT_EQ(ScreenPixel(ox + 45, oy + 75), RGB(0, 160, 0));

    // A new fill colour shows at once, clears the drawing, and leaves the line black.
    piece->SetBackColor(RGB(0, 0, 255));
    PumpFor(50);  // painted already; Wine hands the window's pixels to the display when messages are processed
    EXPECT_EQ(ScreenPixel(ox + 50, oy + 100), RGB(0, 0, 255));
    EXPECT_EQ(ScreenPixel(ox + 45, oy + 75), RGB(0, 0, 255));
    EXPECT_EQ(ScreenPixel(ox + PrefCanvas[12].bound.left, oy + 200), RGB(0, 0, 0));
}

TEST_F(PieceWindow, MoveRoundsTwipsToWholePixels) {
    piece->Move(22.5, 7.5);  // 1.5 and 0.5 pixels: halves to even
    EXPECT_EQ(piece->Left(), 30);
    EXPECT_EQ(piece->Top(), 0);
    piece->Move(-450, 3000);
    EXPECT_EQ(piece->Left(), -450);
    EXPECT_EQ(piece->Top(), 3000);
    const int32_t w = piece->Width(), h = piece->Height();
    piece->Move(1e12, -1e12);  // far outside 32 bits: held at the edge, not wrapped
    EXPECT_GT(piece->Left(), 0);
    EXPECT_LT(piece->Top(), 0);
    EXPECT_EQ(piece->Width(), w);
    EXPECT_EQ(piece->Height(), h);
}

namespace {

class MoveHome : public ::testing::Test {
protected:
    void SetUp() override {
        Pieces.clear();
        for (int k = 1; k <= PrefCount; ++k) {
            Pieces.push_back(CreatePiece());
            Pieces.back()->Idx = k;
        }
        PieceAt(AnchorPiece)->Move(3000, 1500);
        Piece& p = *PieceAt(12);
        p.offsetX = -450;
        p.offsetY = -600;
        p.Move(9000, 9000);
    }
    void TearDown() override { Pieces.clear(); }
};

Piece* probed = nullptr;
int32_t probedLeft = 0;
LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP && probed) {
        probedLeft = probed->Left();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

TEST_F(MoveHome, mMoveProcessesPendingMessagesThenJumpsToAnchorPlusOffsets) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KorvenProbe";
    RegisterClassW(&wc);
    HWND probe = CreateWindowW(L"KorvenProbe", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    Piece& p = *PieceAt(12);
    probed = &p;
    probedLeft = 0;
    PostMessageW(probe, WM_APP, 0, 0);
    p.mMove();
    EXPECT_EQ(probedLeft, 9000);  // handled before the move
    EXPECT_EQ(p.Left(), 2550);
    EXPECT_EQ(p.Top(), 900);
    EXPECT_TRUE(p.bx);
    EXPECT_TRUE(p.by);
    probed = nullptr;
    DestroyWindow(probe);
}

TEST_F(MoveHome, mMoveOnTheAnchorKeepsItInPlaceButMarksIt) {
    Piece& a = *PieceAt(AnchorPiece);
    a.mMove();
    EXPECT_EQ(a.Left(), 3000);
    EXPECT_EQ(a.Top(), 1500);
    EXPECT_TRUE(a.bx);
    EXPECT_TRUE(a.by);
}

TEST_F(MoveHome, AfterTheAnchorWasDraggedPiecesGoToItsNewPlace) {
    PieceAt(AnchorPiece)->Move(6000, 4500);
    Piece& p = *PieceAt(12);
    p.mMove();
    EXPECT_EQ(p.Left(), 5550);
    EXPECT_EQ(p.Top(), 3900);
}

TEST_F(MoveHome, pMoveOnlyClearsTheFlags) {
    Piece& p = *PieceAt(12);
    p.mMove();
    const int32_t left = p.Left(), top = p.Top();
    p.pMove();
    EXPECT_FALSE(p.bx);
    EXPECT_FALSE(p.by);
    EXPECT_EQ(p.Left(), left);
    EXPECT_EQ(p.Top(), top);
    EXPECT_EQ(p.offsetX, -450);
    EXPECT_EQ(p.offsetY, -600);
}

TEST_F(MoveHome, CloseRequestsDoNotTakeAPieceAway) {
    Piece& p = *PieceAt(5);
    SendMessageW(p.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(p.hwnd()));
    EXPECT_EQ(PieceFromWindow(p.hwnd()), &p);
    EXPECT_EQ(PieceFromWindow(GetDesktopWindow()), nullptr);
}
