// The least a program can do to put the same 47 pieces on the screen: make each window and its child, cut
// both to their records, show the window and let it paint. No settings, tips, dot or persistent image.
// Start-up of KORVEN.exe is timed against this.
#include <windows.h>

#include "core/catalogue.h"
#include "regions/record_sizes.h"
#include "regions/region_record.h"

namespace {

HRGN RegionOf(int record) {
    const korven::RegionRecord& r = korven::RecordAt(record);
    return ExtCreateRegion(nullptr, korven::RecordByteCount(record), reinterpret_cast<const RGNDATA*>(&r));
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"frmBase";
    RegisterClassW(&wc);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"frmBaseLine";
    RegisterClassW(&wc);

    korven::EnsureRegionStore();
    HWND windows[korven::PrefCount];
    for (int i = 0; i < korven::PrefCount; ++i)
        windows[i] = CreateWindowExW(WS_EX_TOOLWINDOW, L"frmBase", L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 10, 10,
                                     nullptr, nullptr, instance, nullptr);
    for (int place = 0; place < korven::PrefCount; ++place) {
        const int i = korven::PieceIndexOf(korven::PieceAtPlace(place));
        korven::TwipSize size{};
        korven::RecordSizeTable(i, size);
        const int w = size.width / 15, h = size.height / 15;
        SetWindowPos(windows[i], nullptr, (place * 37) % 900, (place * 53) % 600, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
        HWND line = CreateWindowExW(0, L"frmBaseLine", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, w, h, windows[i],
                                    nullptr, instance, nullptr);
        SetWindowRgn(windows[i], RegionOf(korven::FillRecordOf(i)), TRUE);
        SetWindowRgn(line, RegionOf(korven::OutlineRecordOf(i)), TRUE);
        ShowWindow(windows[i], SW_SHOWNA);
        Pump();
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
