// What the Windows suites, the soak rounds and the perf probes share: records made for the tests, the fatal
// hook turned into an exception, region read-back, 47 real piece windows, the settings file beside the test
// executable, timers that act while a modal loop runs, and finding the windows a command opened.
#pragma once
#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/notices.h"
#include "menu/command_logic.h"
#include "pieces/frm_map.h"
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

// ---- records and regions

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

// ---- the 47 pieces

struct Home {
    int32_t offsetX, offsetY;
};
// Offsets as loaded, whole multiples of 15 twips (windows sit on whole pixels).
Home HomeOf(int pieceNumber);
constexpr int32_t AnchorLeft = 3000, AnchorTop = 1500;

// Makes the 47 pieces (again) at anchor + offset, named, dotted and shown; the process end is replaced.
void BuildPieces();
Piece& P(int pieceNumber);

// ---- files and text

// Whatever stands at path, a read-only file or an empty folder, is gone afterwards.
void RemoveFile(const std::wstring& path);
std::string FileBytes(const std::wstring& path);  // empty when there is no file
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

std::wstring Wide(std::string_view bytes, UINT codePage, DWORD flags = 0);
std::string Narrow(std::wstring_view text, UINT codePage);
inline std::wstring Utf16(std::string_view utf8) { return Wide(utf8, CP_UTF8); }
inline std::string Sjis(std::string_view utf8) { return Narrow(Utf16(utf8), 932); }

// The settings file the program reads, beside this executable.
void RemoveIni();
bool IniExists();
std::string IniBytes();
void WriteIniText(const std::wstring& text);  // written as code page 932
std::vector<IniEntry> IniLines();             // every key line in file order, values untrimmed
// Makes the settings file impossible to write: a folder stands where the file would be.
void BlockIni();
void UnblockIni();

// ---- messages and time

// Runs action once, from the message loop, after delayMs (inside whatever modal loop is running).
void Later(int delayMs, std::function<void()> action);
// Runs action from the next message pump that looks at the queue: the first one a command or start-up does.
void OnNextPump(std::function<void()> action);
// Forgets every action not yet run, so none reaches into a later dialog or test.
void CancelLater();
// Pumps messages until done() or the time is up; true when done.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
inline void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

// Sees every message sent to a window of this thread, before the window does, for as long as it lives.
class SentMessageWatch {
public:
    explicit SentMessageWatch(std::function<void(const CWPSTRUCT&)> see);
    ~SentMessageWatch();
    SentMessageWatch(const SentMessageWatch&) = delete;
    SentMessageWatch& operator=(const SentMessageWatch&) = delete;

private:
    std::function<void(const CWPSTRUCT&)> see_;
};

// Top-level windows of this thread destroyed since the last Start, in order.
void StartDestroyLog();
std::vector<HWND> StopDestroyLog();

// ---- windows

std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);
std::vector<HWND> Children(HWND parent);  // in creation order
HWND ChildWithText(HWND parent, const std::wstring& text);
// Clicks the button of a dialog that bears caption, as a user would.
void Click(HWND dialog, const std::wstring& caption);

// A window of this thread that owner owns and which() accepts, or nullptr.
HWND OwnedWindow(HWND owner, const std::function<bool(HWND)>& which);
// The visible window of this thread that owner owns (a system dialog it opened), or nullptr.
HWND OwnedDialog(HWND owner);

// Pixel rectangle of a window in screen coordinates.
RECT ScreenRect(HWND window);
// A child's rectangle in its parent's client coordinates, in twips.
RECT ChildTwips(HWND child);

}  // namespace korven::test
