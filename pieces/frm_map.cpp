#include "pieces/frm_map.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/dpi.h"
#include "core/layout.h"
#include "core/modal.h"
#include "core/session_end.h"
#include "core/window_base.h"
#include "core/window_class.h"
#include "pieces/color_chooser.h"
#include "pieces/frm_data.h"

namespace korven {

namespace {

constexpr wchar_t MapClass[] = L"frmMap";
constexpr wchar_t PictureClass[] = L"frmMap.Picture1";
constexpr UINT_PTR LtyouTool = 1;  // added first: the dot's tip wins where the two tools overlap
constexpr UINT_PTR LnameTool = 2;
constexpr COLORREF KcColour = RGB(255, 0, 0);

// Press arguments: buttons 1 left, 2 right, 4 middle; modifier mask 1 Shift, 2 Ctrl, 4 Alt.
constexpr int LeftButton = 1, RightButton = 2, MiddleButton = 4;
constexpr int ShiftMask = 1, CtrlMask = 2, AltMask = 4;

}  // namespace

std::vector<std::unique_ptr<Piece>> Pieces;
void (*PieceMenuHandler)(HWND piece) = nullptr;

Piece* PieceAt(int pieceNumber) {
    if (pieceNumber < 1 || pieceNumber > static_cast<int>(Pieces.size())) return nullptr;
    return Pieces[static_cast<size_t>(pieceNumber - 1)].get();
}

struct Piece::Impl {
    Piece* owner = nullptr;
    HWND hwnd = nullptr;
    HWND tooltip = nullptr;  // made when the pointer first comes over the piece
    Target form;
    Target picture1;
    TwipRect kc{3465, 2355, 75, 75};
    TwipRect ltyou{3720, 2415, 105, 120};
    TwipRect lname{-45, -30, 6600, 1875};
    std::wstring lnameTip, ltyouTip;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

namespace {

RECT PixelRect(const TwipRect& r) {
    const int32_t left = ScreenPixels(r.left), top = ScreenPixels(r.top);
    return RECT{left, top, left + ScreenPixels(r.width), top + ScreenPixels(r.height)};
}

TTTOOLINFOW ToolInfo(const Piece::Impl& p, UINT_PTR id) {
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every comctl32 version
    ti.hwnd = p.hwnd;
    ti.uId = id;
    return ti;
}

void SetToolRect(const Piece::Impl& p, UINT_PTR id, const TwipRect& r) {
    if (!p.tooltip) return;
    TTTOOLINFOW ti = ToolInfo(p, id);
    ti.rect = PixelRect(r);
    SendMessageW(p.tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void SetToolText(const Piece::Impl& p, UINT_PTR id, const std::wstring& text) {
    if (!p.tooltip) return;
    TTTOOLINFOW ti = ToolInfo(p, id);
    ti.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(p.tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

int Modifiers(WPARAM keys) {
    int mask = 0;
    if (keys & MK_SHIFT) mask |= ShiftMask;
    if (keys & MK_CONTROL) mask |= CtrlMask;
    if (GetKeyState(VK_MENU) < 0) mask |= AltMask;
    return mask;
}

// Picture1_MouseDown and Lname_MouseDown alike.
void OnPress(Piece& piece, int button, int shift, int32_t x, int32_t y) {
    if (InputHeld()) return;
    switch (button) {
    case RightButton:
        if (PieceMenuHandler) PieceMenuHandler(piece.hwnd());
        return;
    case LeftButton:
        if (shift == ShiftMask) {
            if (CaptureEnabled) piece.MoveKC(x, y);
            return;
        }
        BeginDrag(piece.hwnd(), button, shift, x, y);
        return;
    default:
        return;  // middle: nothing
    }
}

void OnLnameDblClick(Piece& piece) {
    if (InputHeld()) return;
    if (CaptureEnabled)
        OpenCapitalDialog(piece);
    else
        ChoosePieceColour(piece);
}

// A press at client pixel (px, py) of window from, in twips of the piece.
void PressFrom(Piece::Impl& p, HWND from, int button, WPARAM keys, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (from != p.hwnd) MapWindowPoints(from, p.hwnd, &pt, 1);
    OnPress(*p.owner, button, Modifiers(keys), ScreenTwips(pt.x), ScreenTwips(pt.y));
}

bool InLname(const Piece::Impl& p, LPARAM lParam) {
    const RECT r = PixelRect(p.lname);
    const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return PtInRect(&r, pt) != FALSE;
}

void PaintKc(const Piece::Impl& p, HDC dc) {
    const RECT r = PixelRect(p.kc);
    UniqueBrush brush(CreateSolidBrush(KcColour));
    UniquePen pen(CreatePen(PS_SOLID, 1, KcColour));
    SelectedObject b(dc, brush.get());
    SelectedObject q(dc, pen.get());
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
}

void AddTool(const Piece::Impl& p, UINT_PTR id, const TwipRect& r) {
    TTTOOLINFOW ti = ToolInfo(p, id);
    ti.uFlags = TTF_SUBCLASS;
    ti.rect = PixelRect(r);
    ti.hinst = nullptr;
    ti.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(p.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

// Tooltip windows are costly to make and most pieces are never pointed at during a run.
void EnsureTooltip(Piece::Impl& p, const MSG* first) {
    if (p.tooltip) return;
    p.tooltip = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, p.hwnd, nullptr, ModuleInstance(), nullptr);
    if (!p.tooltip) return;
    SendMessageW(p.tooltip, TTM_SETMAXTIPWIDTH, 0, ScreenPixels(6000));  // long capital texts wrap, at any scale
    AddTool(p, LtyouTool, p.ltyou);
    AddTool(p, LnameTool, p.lname);
    SetToolText(p, LtyouTool, p.ltyouTip);
    SetToolText(p, LnameTool, p.lnameTip);
    // The message that brought the pointer here came before the tooltip could watch for it.
    if (first) SendMessageW(p.tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(first));
}

}  // namespace

// The form and Picture1, its border line, share this handler. The line is the piece's one child window: it
// takes presses anywhere on it (the form only on the name label) and has no dot, tooltip or double-click.
LRESULT Piece::Impl::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool line = (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers everything
    case WM_PAINT: {
        PaintDC dc(window);
        if (line) {
            picture1.Paint(dc.get(), dc.area());
        } else {
            form.Paint(dc.get(), dc.area());
            PaintKc(*this, dc.get());
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
        if (line || InLname(*this, lParam)) PressFrom(*this, window, LeftButton, wParam, lParam);
        return 0;
    case WM_RBUTTONDOWN:
        if (line || InLname(*this, lParam)) PressFrom(*this, window, RightButton, wParam, lParam);
        return 0;
    case WM_MBUTTONDOWN:
        if (line || InLname(*this, lParam)) PressFrom(*this, window, MiddleButton, wParam, lParam);
        return 0;
    case WM_LBUTTONDBLCLK:
        // The line has no double-click; its second press is not a new press either.
        if (!line && InLname(*this, lParam)) OnLnameDblClick(*owner);
        return 0;
    case WM_MOUSEMOVE:
        if (line) break;
        if (!tooltip) {
            MSG first{};
            first.hwnd = window;
            first.message = message;
            first.wParam = wParam;
            first.lParam = lParam;
            first.time = static_cast<DWORD>(GetMessageTime());
            EnsureTooltip(*this, &first);
        }
        return 0;
    case WM_CLOSE:
        if (line) break;
        return 0;  // a piece lives until shutdown; Alt+F4 on one must not leave a hole in the map
    case WM_DPICHANGED:
        // Dragged onto a monitor of another scale, a piece keeps the map's scale: its size and shape must go on
        // meeting its neighbours', so the suggested new size is not taken.
        return 0;
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        if (line) break;
        return SessionEndMessage(message, wParam);
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

namespace {

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);
    // Picture1 takes double-clicks too, so that the second press of one is not a new press.
    RegisterWindowClass(MapClass, ForwardToObject<Piece::Impl>, CS_DBLCLKS);
    RegisterWindowClass(PictureClass, ForwardToObject<Piece::Impl>, CS_DBLCLKS);
    done = true;
}

}  // namespace

std::unique_ptr<Piece> CreatePiece() {
    HINSTANCE instance = ModuleInstance();
    RegisterClasses();
    auto piece = std::make_unique<Piece>();
    piece->impl = std::make_unique<Piece::Impl>();
    Piece::Impl& p = *piece->impl;
    p.owner = piece.get();

    p.form.backColor = 0x00FFFFFF;
    p.hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, MapClass, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                             ScreenPixels(4590), ScreenPixels(2685), nullptr, nullptr, instance, &p);
    p.form.hwnd = p.hwnd;
    // Said here: a piece without its window would be reported later as a region that does not fit.
    if (!WindowMade(p.hwnd, L"地図の県", true)) return piece;

    p.picture1.backColor = 0x00000000;
    p.picture1.hwnd = CreateWindowExW(0, PictureClass, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, ScreenPixels(375),
                                      ScreenPixels(375), p.hwnd, nullptr, instance, &p);
    WindowMade(p.picture1.hwnd, L"県の境界線", true);
    return piece;
}

Piece* PieceFromWindow(HWND window) {
    for (const auto& piece : Pieces)
        if (piece && piece->hwnd() == window) return piece.get();
    return nullptr;
}

void BeginDrag(HWND window, int button, int, int32_t, int32_t) {
    if (button != LeftButton) return;
    ReleaseCapture();
    SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

Piece::~Piece() {
    if (impl && impl->hwnd) DestroyWindow(impl->hwnd);  // children and the tooltip go with it
}

HWND Piece::hwnd() const { return impl->hwnd; }
Target& Piece::Form() { return impl->form; }
Target& Piece::Picture1() { return impl->picture1; }

int32_t Piece::Left() const {
    RECT r{};
    GetWindowRect(impl->hwnd, &r);
    return ScreenTwips(r.left);
}

int32_t Piece::Top() const {
    RECT r{};
    GetWindowRect(impl->hwnd, &r);
    return ScreenTwips(r.top);
}

int32_t Piece::Width() const { return impl->form.Width(); }
int32_t Piece::Height() const { return impl->form.Height(); }

int32_t Piece::ScaleWidth() const {
    RECT r{};
    GetClientRect(impl->hwnd, &r);
    return ScreenTwips(r.right);
}

void Piece::Move(double left, double top) { MovePixels(ScreenPixels(left), ScreenPixels(top)); }

void Piece::MovePixels(int32_t left, int32_t top) {
    SetWindowPos(impl->hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void Piece::Show() { ShowWindow(impl->hwnd, SW_SHOWNA); }

COLORREF Piece::BackColor() const { return impl->form.backColor; }

void Piece::SetBackColor(COLORREF colour) {
    impl->form.backColor = colour;
    impl->form.Cls();  // the kept image was drawn on the old colour; cleared, the piece shows the new one whole
    UpdateWindow(impl->hwnd);
}

TwipRect Piece::KC() const { return impl->kc; }

void Piece::MoveKC(int32_t left, int32_t top) {
    impl->kc.left = left;
    impl->kc.top = top;
    InvalidateRect(impl->hwnd, nullptr, FALSE);
}

TwipRect Piece::LTYOU() const { return impl->ltyou; }

void Piece::MoveLTYOU(int32_t left, int32_t top, int32_t width, int32_t height) {
    impl->ltyou = TwipRect{left, top, width, height};
    SetToolRect(*impl, LtyouTool, impl->ltyou);
}

TwipRect Piece::Lname() const { return impl->lname; }

void Piece::MoveLname(int32_t left, int32_t top, int32_t width, int32_t height) {
    impl->lname = TwipRect{left, top, width, height};
    SetToolRect(*impl, LnameTool, impl->lname);
}

const std::wstring& Piece::LnameTip() const { return impl->lnameTip; }

void Piece::SetLnameTip(const std::wstring& text) {
    impl->lnameTip = text;
    SetToolText(*impl, LnameTool, text);
}

const std::wstring& Piece::LtyouTip() const { return impl->ltyouTip; }

void Piece::SetLtyouTip(const std::wstring& text) {
    impl->ltyouTip = text;
    SetToolText(*impl, LtyouTool, text);
}

void Piece::pMove() {
    bx = false;
    by = false;
}

void Piece::mMove() {
    DoEvents();
    // A shutdown run from the messages above has destroyed every piece, this one too.
    if (std::none_of(Pieces.begin(), Pieces.end(), [this](const auto& p) { return p.get() == this; })) return;
    Piece* anchor = PieceAt(AnchorPiece);
    if (!anchor) return;
    // The anchor's pixel plus the pixels start-up put between the two: at 96 dpi the same as rounding Left plus
    // the offset, and elsewhere the place the piece's shape was cut for.
    RECT at{};
    GetWindowRect(anchor->hwnd(), &at);
    const auto from = [](int32_t anchor, int32_t pixels) {
        return static_cast<int32_t>(std::clamp<int64_t>(int64_t{anchor} + pixels, INT32_MIN, INT32_MAX));
    };
    MovePixels(from(at.left, OffsetPixelsX(offsetX)), from(at.top, OffsetPixelsY(offsetY)));
    bx = true;
    by = true;
}

}  // namespace korven
