// Shared by the shaping, piece-window and start-up suites: records made for the tests, the fatal hook turned
// into an exception, region read-back, and the settings file beside the test executable.
#pragma once
#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "core/modal.h"
#include "regions/region_record.h"
#include "regions/target.h"

namespace korven {
inline bool operator==(const RectL& a, const RectL& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline std::ostream& operator<<(std::ostream& os, const RectL& r) {
    return os << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}
}  // namespace korven

namespace korven::test {

// Octagons inside each prefecture's canvas bound (fills) and their one-pixel rims (outlines); slot 94 zero.
// Marks the store as loaded so that nothing replaces them.
void FillSyntheticStore();
// The mask a synthetic record was made from (canvas-sized, row-major); fill or outline by record number.
std::vector<uint8_t> SyntheticMask(int record, int& width, int& height);

// What FatalExit would have shown; thrown by the hook that ThrowOnFatal installs.
struct Fatal {
    std::wstring text;
};
void ThrowOnFatal();

std::vector<RectL> RegionRects(HRGN region);
std::vector<RectL> WindowRegionRects(HWND window);  // empty when the window has no region
std::vector<RectL> RecordRects(int record, int dx = 0, int dy = 0);
std::vector<RectL> MaskRects(const std::vector<uint8_t>& mask, int width, int height);

// A plain top-level window to shape, with a Target describing it.
struct TestWindow {
    TestWindow(int width, int height, bool visible = false);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    Target target;
};

// Processes messages for about ms milliseconds.
void PumpFor(int ms);

// The settings file the program reads (beside this executable), written as code page 932.
void WriteIniText(const std::wstring& text);
void RemoveIniFile();
std::string IniFileBytes();

}  // namespace korven::test
