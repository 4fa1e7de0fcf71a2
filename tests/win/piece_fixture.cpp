#include "tests/win/piece_fixture.h"

#include <cstdio>
#include <map>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/ini_engine.h"
#include "core/settings.h"
#include "menu/frm_menu.h"

namespace korven::test {

Home HomeOf(int n) {
    if (n == AnchorPiece) return {0, 0};
    return {((n % 9) - 4) * 600 + 15 * n, ((n % 5) - 2) * 450 - 30 * n};
}

void BuildPieces() {
    if (!AppInstance) AppInstance = GetModuleHandleW(nullptr);
    IniBaseName = L"KORVEN";
    EndProcessHook = [](UINT) {};
    Pieces.clear();
    for (int k = 1; k <= PrefCount; ++k) Pieces.push_back(CreatePiece());
    for (int place = 0; place < PrefCount; ++place) {
        const int n = PieceAtPlace(place);
        Piece& p = P(n);
        p.Idx = n;
        p.offsetX = HomeOf(n).offsetX;
        p.offsetY = HomeOf(n).offsetY;
        p.bx = p.by = false;
        p.Move(AnchorLeft + p.offsetX, AnchorTop + p.offsetY);
        p.SetLnameTip(SectionOf(n));
        p.MoveKC(15 * n, 30 * n);
        p.Show();
        p.SetBackColor(0x00FFFFFF);
        p.ready = true;
    }
    PumpUntil([] { return false; }, 50);
}

Piece& P(int n) { return *PieceAt(n); }

static std::wstring IniPath() { return IniFilePath(); }

void RemoveIni() {
    RemoveDirectoryW(IniPath().c_str());
    SetFileAttributesW(IniPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(IniPath().c_str());
}

bool IniExists() { return GetFileAttributesW(IniPath().c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string IniBytes() { return ini::ReadWholeFile(std::filesystem::path(IniPath())).bytes; }

std::vector<IniEntry> IniLines() {
    const std::string bytes = IniBytes();
    std::wstring text;
    if (!bytes.empty()) {
        const int n = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        text.resize(static_cast<size_t>(n));
        MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    }
    std::vector<IniEntry> out;
    std::wstring section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        start = end + 1;
        if (line.empty()) continue;
        if (line.front() == L'[' && line.back() == L']') {
            section = line.substr(1, line.size() - 2);
        } else if (const size_t eq = line.find(L'='); eq != std::wstring::npos) {
            out.push_back({section, line.substr(0, eq), line.substr(eq + 1)});
        }
    }
    return out;
}

void BlockIni() {
    RemoveIni();
    CreateDirectoryW(IniPath().c_str(), nullptr);
}

void UnblockIni() { RemoveDirectoryW(IniPath().c_str()); }

namespace {
std::map<UINT_PTR, std::function<void()>> pending;

void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto it = pending.find(id);
    if (it == pending.end()) return;
    auto action = std::move(it->second);
    pending.erase(it);
    action();
}

HHOOK destroyHook = nullptr;
std::vector<HWND> destroyed;

LRESULT CALLBACK WatchDestroy(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (m->message == WM_DESTROY && !(GetWindowLongW(m->hwnd, GWL_STYLE) & WS_CHILD)) destroyed.push_back(m->hwnd);
    }
    return CallNextHookEx(destroyHook, code, wParam, lParam);
}
}  // namespace

void Later(int delayMs, std::function<void()> action) {
    const UINT_PTR id = SetTimer(nullptr, 0, static_cast<UINT>(delayMs), Fire);
    pending[id] = std::move(action);
}

namespace {
std::vector<std::function<void()>> soon;
constexpr UINT RunSoon = WM_APP + 1;

LRESULT CALLBACK SoonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != RunSoon) return DefWindowProcW(hwnd, message, wParam, lParam);
    auto actions = std::move(soon);
    soon.clear();
    for (auto& action : actions) action();
    return 0;
}

HWND SoonWindow() {
    static HWND window = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = SoonProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KorvenTestSoon";
        RegisterClassW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }();
    return window;
}
}  // namespace

void OnNextPump(std::function<void()> action) {
    if (soon.empty()) PostMessageW(SoonWindow(), RunSoon, 0, 0);
    soon.push_back(std::move(action));
}

void CancelLater() {
    soon.clear();
    for (auto& [id, action] : pending) KillTimer(nullptr, id);
    pending.clear();
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
    return true;
}

void StartDestroyLog() {
    destroyed.clear();
    if (!destroyHook) destroyHook = SetWindowsHookExW(WH_CALLWNDPROC, WatchDestroy, nullptr, GetCurrentThreadId());
}

std::vector<HWND> StopDestroyLog() {
    if (destroyHook) UnhookWindowsHookEx(destroyHook);
    destroyHook = nullptr;
    return destroyed;
}

namespace {
struct FindOwned {
    HWND owner, found;
};
BOOL CALLBACK FindOwnedOne(HWND w, LPARAM p) {
    auto& f = *reinterpret_cast<FindOwned*>(p);
    if (GetWindow(w, GW_OWNER) == f.owner && IsWindowVisible(w)) f.found = w;
    return f.found == nullptr;
}
}  // namespace

HWND OwnedDialog(HWND owner) {
    FindOwned f{owner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindOwnedOne, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

RECT ScreenRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

RECT ChildTwips(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    const int tx = TwipsPerPixelX(), ty = TwipsPerPixelY();
    return {r.left * tx, r.top * ty, (r.right - r.left) * tx, (r.bottom - r.top) * ty};  // left, top, width, height
}

}  // namespace korven::test
