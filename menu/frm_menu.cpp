// frmMenu: never shown; it owns the popup of commands and carries the shutdown.
#include "menu/frm_menu.h"

#include <memory>
#include <type_traits>

#include "core/app_state.h"
#include "core/window_base.h"
#include "core/window_class.h"
#include "menu/frm_version.h"
#include "menu/ignoring_errors.h"
#include "pieces/frm_data.h"
#include "pieces/frm_map.h"
#include "regions/frm_rgn_picture.h"

namespace korven {

std::function<void(UINT)> EndProcessHook;

namespace {

// Item ids are the items' places in mpop, so a chosen id names its item.
enum : UINT { IdSave = 1, IdBan = 3, IdGo = 5, IdVer = 7, IdEnd = 9 };

struct MenuItem {
    UINT id;  // 0 for a separator
    const wchar_t* caption;
};
// mpop in menu order: mSave, sepxx, mban, sepo, mgo, sepx, mver, sep001, mend; the ids above are these places.
constexpr MenuItem Items[] = {
    {IdSave, L"位置情報取得"}, {0, nullptr}, {IdBan, L"解散!"}, {0, nullptr}, {IdGo, L"集合!"},
    {0, nullptr},              {IdVer, L"バージョン情報"},     {0, nullptr}, {IdEnd, L"終了"},
};

struct MenuDeleter {
    void operator()(HMENU m) const { DestroyMenu(m); }
};
using MenuHandle = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

class MenuForm {
public:
    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void BuildPopup();

    HWND window = nullptr;
    MenuHandle popup;
    bool saveVisible = false;  // mSave; sepxx is never shown
    bool shuttingDown = false;

private:
    bool Visible(size_t place) const;
};
MenuForm form;  // loaded or not: its state outlives the window, as the shutdown's does

bool MenuForm::Visible(size_t place) const {
    if (place == 0) return saveVisible;
    return place != 1;
}

// Win32 menus have no hidden items: the popup holds only the visible ones.
void MenuForm::BuildPopup() {
    MenuHandle m(CreatePopupMenu());
    for (size_t i = 0; i < std::size(Items); ++i) {
        if (!Visible(i)) continue;
        if (Items[i].id == 0)
            AppendMenuW(m.get(), MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(m.get(), MF_STRING, Items[i].id, Items[i].caption);
    }
    popup = std::move(m);
}

LRESULT MenuForm::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        Form_QueryUnload();
        DestroyWindow(hwnd);  // reached only when the process end was replaced
        return 0;
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        return SessionEndMessage(message, wParam);
    case WM_DESTROY:
        // Loaded again later, frmMenu starts from its design: mSave hidden.
        window = nullptr;
        popup.reset();
        saveVisible = false;
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

HWND MenuWindow() {
    if (form.window) return form.window;
    RegisterWindowClass(L"frmMenu", ForwardToObject<MenuForm>);
    // A hidden top-level window, not a message-only one: only those hear that the session ends.
    form.window = CreateWindowExW(0, L"frmMenu", L"Form1", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320,
                                  240, nullptr, nullptr, ModuleInstance(), &form);
    form.BuildPopup();
    return form.window;
}

bool MenuWindowLoaded() { return form.window != nullptr; }

void ShowSaveItem() {
    MenuWindow();
    form.saveVisible = true;
    form.BuildPopup();
}

HMENU mpop() {
    MenuWindow();
    return form.popup.get();
}

void PopupPieceMenu(HWND piece) {
    HMENU menu = mpop();
    POINT at{};
    GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(piece);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, piece, nullptr));
    PostMessageW(piece, WM_NULL, 0, 0);
    RunMenuCommand(chosen);
}

void RunMenuCommand(UINT id) {
    if (InputHeld()) return;  // chosen from a menu opened before a fatal message or a notice went up
    switch (id) {
    case IdSave: mSave_Click(); break;
    case IdBan: mban_Click(); break;
    case IdGo: mgo_Click(); break;
    case IdVer: mver_Click(); break;
    case IdEnd: mend_Click(); break;
    default: break;
    }
}

void EndSession() {
    // Behind a fatal message or a failed-write notice nothing may be written, behind any other notice the map
    // is kept as it stands; there is nobody left to tell of a failed write, so the session end shows no notice.
    if (!SavingHeld()) SaveExitState();
    // Ended once the system has its answer: a process gone in the middle of the message can leave the sender
    // waiting before the next program.
    PostMessageW(MenuWindow(), WM_CLOSE, 0, 0);
}

void Form_QueryUnload() {
    if (form.shuttingDown) return;
    form.shuttingDown = true;
    // Last to first; each piece's window goes with it.
    for (size_t k = Pieces.size(); k > 0; --k) IgnoringErrors([] { Pieces.pop_back(); });
    IgnoringErrors([] {
        Pieces.clear();
        Pieces.shrink_to_fit();
    });
    IgnoringErrors([] { UnloadRgnPicture(); });
    IgnoringErrors([] { UnloadVersionDialog(); });
    IgnoringErrors([] { UnloadCapitalDialog(); });
    form.shuttingDown = false;
    if (EndProcessHook)
        EndProcessHook(0);
    else
        ExitProcess(0);
}

}  // namespace korven
