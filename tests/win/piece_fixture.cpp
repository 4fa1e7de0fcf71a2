#include "tests/win/piece_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include "core/app_state.h"
#include "core/catalogue.h"
#include "core/ini_engine.h"
#include "core/settings.h"
#include "core/window_base.h"
#include "core/window_class.h"
#include "menu/frm_menu.h"
#include "regions/record_sizes.h"
#include "regions/shaping.h"

namespace korven::test {

// ---- records and regions

namespace {

bool InOctagon(const RectL& b, int x, int y) {
    if (x < b.left || x >= b.right || y < b.top || y >= b.bottom) return false;
    const int cut = std::min(b.right - b.left, b.bottom - b.top) / 4;
    const int dx = std::min(x - b.left, b.right - 1 - x);
    const int dy = std::min(y - b.top, b.bottom - 1 - y);
    return dx + dy >= cut;
}

}  // namespace

std::vector<uint8_t> SyntheticMask(int record, int& width, int& height) {
    const CanvasSpec& c = PrefCanvas[record % PrefCount];
    width = c.width;
    height = c.height;
    std::vector<uint8_t> mask(static_cast<size_t>(width * height), 0);
    const bool outline = record >= PrefCount;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool in = InOctagon(c.bound, x, y);
            const bool rim = in && !(InOctagon(c.bound, x - 1, y) && InOctagon(c.bound, x + 1, y) &&
                                     InOctagon(c.bound, x, y - 1) && InOctagon(c.bound, x, y + 1));
            mask[static_cast<size_t>(y * width + x)] = outline ? rim : in;
        }
    return mask;
}

void FillSyntheticStore() {
    for (int n = 0; n < PrefCount * 2; ++n) {
        int w = 0, h = 0;
        const std::vector<uint8_t> mask = SyntheticMask(n, w, h);
        if (!RecordFromMask(mask.data(), w, h, RegionStore[n])) std::abort();  // a test record must fit
    }
    RegionStore[RecordSlots - 1] = RegionRecord{};
    RegionStoreLoaded = -1;
}

void ThrowOnFatal() {
    FatalExitHook = [](const std::wstring& text) { throw Fatal{text}; };
}

std::vector<RectL> RegionRects(HRGN region) {
    std::vector<RectL> out;
    const DWORD bytes = GetRegionData(region, 0, nullptr);
    if (bytes == 0) return out;
    std::vector<char> buffer(bytes);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (GetRegionData(region, bytes, data) == 0) return out;
    const auto* r = reinterpret_cast<const RECT*>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i) out.push_back(RectL{r[i].left, r[i].top, r[i].right, r[i].bottom});
    return out;
}

std::vector<RectL> WindowRegionRects(HWND window) {
    UniqueRgn copy(CreateRectRgn(0, 0, 0, 0));
    if (GetWindowRgn(window, copy.get()) == ERROR) return {};
    return RegionRects(copy.get());
}

std::vector<RectL> RecordRects(int record, int dx, int dy) {
    std::vector<RectL> out;
    const RegionRecord& r = RecordAt(record);
    for (uint32_t i = 0; i < r.rdh.nCount; ++i) {
        const RectL& q = r.Buffer[i];
        out.push_back(RectL{q.left + dx, q.top + dy, q.right + dx, q.bottom + dy});
    }
    return out;
}

std::vector<RectL> MaskRects(const std::vector<uint8_t>& mask, int width, int height) {
    RegionRecord r{};
    RecordFromMask(mask.data(), width, height, r);
    return std::vector<RectL>(r.Buffer, r.Buffer + r.rdh.nCount);
}

namespace {
constexpr wchar_t TestClass[] = L"KorvenTestTarget";
}  // namespace

TestWindow::TestWindow(int width, int height, bool visible) {
    RegisterWindowClass(TestClass, ForwardToObject<Target>);
    target.hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, TestClass, L"target", WS_POPUP | (visible ? WS_VISIBLE : 0), 40,
                                  40, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), &target);
}

TestWindow::~TestWindow() { DestroyWindow(target.hwnd); }

// ---- the 47 pieces

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
    PumpFor(50);
}

Piece& P(int n) { return *PieceAt(n); }

// ---- files and text

void RemoveFile(const std::wstring& path) {
    RemoveDirectoryW(path.c_str());
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

std::string FileBytes(const std::wstring& path) { return ini::ReadWholeFile(std::filesystem::path(path)).bytes; }

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

std::wstring Wide(std::string_view bytes, UINT codePage, DWORD flags) {
    const int n = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
    return w;
}

std::string Narrow(std::wstring_view text, UINT codePage) {
    const int n =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), s.data(), n, nullptr, nullptr);
    return s;
}

void RemoveIni() { RemoveFile(IniFilePath()); }

bool IniExists() { return GetFileAttributesW(IniFilePath().c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string IniBytes() { return FileBytes(IniFilePath()); }

void WriteIniText(const std::wstring& text) { WriteFileBytes(IniFilePath(), Narrow(text, 932)); }

std::vector<IniEntry> IniLines() {
    const std::wstring text = Wide(IniBytes(), 932);
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
    CreateDirectoryW(IniFilePath().c_str(), nullptr);
}

void UnblockIni() { RemoveDirectoryW(IniFilePath().c_str()); }

// ---- messages and time

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

namespace {
// One hook for every watch: a hook procedure is told nothing of who installed it.
HHOOK sentHook = nullptr;
std::vector<std::function<void(const CWPSTRUCT&)>*> watches;

LRESULT CALLBACK SeeSent(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION)
        for (size_t i = 0; i < watches.size(); ++i) (*watches[i])(*reinterpret_cast<const CWPSTRUCT*>(lParam));
    return CallNextHookEx(sentHook, code, wParam, lParam);
}
}  // namespace

SentMessageWatch::SentMessageWatch(std::function<void(const CWPSTRUCT&)> see) : see_(std::move(see)) {
    watches.push_back(&see_);
    if (!sentHook) sentHook = SetWindowsHookExW(WH_CALLWNDPROC, SeeSent, nullptr, GetCurrentThreadId());
}

SentMessageWatch::~SentMessageWatch() {
    watches.erase(std::find(watches.begin(), watches.end(), &see_));
    if (watches.empty() && sentHook) {
        UnhookWindowsHookEx(sentHook);
        sentHook = nullptr;
    }
}

namespace {
std::vector<HWND> destroyed;
std::optional<SentMessageWatch> destroyWatch;
}  // namespace

void StartDestroyLog() {
    destroyed.clear();
    if (!destroyWatch)
        destroyWatch.emplace([](const CWPSTRUCT& m) {
            if (m.message == WM_DESTROY && !(GetWindowLongW(m.hwnd, GWL_STYLE) & WS_CHILD)) destroyed.push_back(m.hwnd);
        });
}

std::vector<HWND> StopDestroyLog() {
    destroyWatch.reset();
    return destroyed;
}

// ---- windows

std::wstring TextOf(HWND w) {
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    return buf;
}

std::wstring ClassOf(HWND w) {
    wchar_t buf[64] = {};
    GetClassNameW(w, buf, 64);
    return buf;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
    return out;
}

HWND ChildWithText(HWND parent, const std::wstring& text) {
    for (HWND c : Children(parent))
        if (TextOf(c) == text) return c;
    return nullptr;
}

void Click(HWND dialog, const std::wstring& caption) {
    SendMessageW(ChildWithText(dialog, caption), BM_CLICK, 0, 0);
}

namespace {
struct FindOwned {
    HWND owner;
    const std::function<bool(HWND)>& which;
    HWND found;
};
BOOL CALLBACK FindOwnedOne(HWND w, LPARAM p) {
    auto& f = *reinterpret_cast<FindOwned*>(p);
    if (GetWindow(w, GW_OWNER) == f.owner && f.which(w)) f.found = w;
    return f.found == nullptr;
}
}  // namespace

HWND OwnedWindow(HWND owner, const std::function<bool(HWND)>& which) {
    FindOwned f{owner, which, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindOwnedOne, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

HWND OwnedDialog(HWND owner) {
    return OwnedWindow(owner, [](HWND w) { return IsWindowVisible(w) != FALSE; });
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
