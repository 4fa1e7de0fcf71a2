#include "tests/win/desk_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/ini_engine.h"
#include "core/modal.h"
#include "core/settings.h"
#include "regions/record_sizes.h"
#include "regions/shaping.h"

namespace korven::test {

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

LRESULT CALLBACK TestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* target = reinterpret_cast<Target*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (target) target->Paint(dc, ps.rcPaint);
        EndPaint(hwnd, &ps);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
}  // namespace

TestWindow::TestWindow(int width, int height, bool visible) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = TestProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = TestClass;
        RegisterClassExW(&wc);
        registered = true;
    }
    target.hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, TestClass, L"target", WS_POPUP | (visible ? WS_VISIBLE : 0), 40,
                                  40, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(target.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&target));
}

TestWindow::~TestWindow() {
    SetWindowLongPtrW(target.hwnd, GWLP_USERDATA, 0);
    DestroyWindow(target.hwnd);
}

void PumpFor(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

void WriteIniText(const std::wstring& text) {
    std::string bytes;
    if (!text.empty()) {
        const int n = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        bytes.resize(static_cast<size_t>(n));
        WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    }
    FILE* f = _wfopen(IniFilePath().c_str(), L"wb");
    if (!f) return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

void RemoveIniFile() { DeleteFileW(IniFilePath().c_str()); }

std::string IniFileBytes() {
    return ini::ReadWholeFile(std::filesystem::path(IniFilePath())).bytes;
}

}  // namespace korven::test
