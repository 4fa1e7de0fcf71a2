// The program's shared state, in one place. Touched only from the one user-interface thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace korven {

extern bool CaptureEnabled;
extern std::wstring IniBaseName;  // "KORVEN"
extern HINSTANCE AppInstance;
// The program's module, the one way to it: AppInstance, or this executable's inside the test executables where
// start-up has not set it.
HINSTANCE ModuleInstance();

// The application's title, caption of the fatal message boxes.
extern const wchar_t* const AppTitle;  // L"コルベン"

// While a fatal message or a notice of a failed write is up, nothing the user does may act: the program is
// about to end, or has just failed to keep something. A hold disables the program's enabled top-level windows
// (the message box made afterwards stays usable) and enables them again when it ends; handlers also check
// InputHeld(), since input queued before the hold still reaches its window.
// Disables the program's enabled top-level windows of this thread but one (not the system's, such as the
// IME's), and enables them again when it goes.
class ThreadWindowsDisabled {
public:
    explicit ThreadWindowsDisabled(HWND except);
    ~ThreadWindowsDisabled();
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    void Release();  // enables them now
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

private:
    std::vector<HWND> disabled_;
};

class InputHold {
public:
    // owner: the window a message box is given, which the box disables and gives back, active, itself.
    // savingHeld: a fatal message or a failed-write notice, behind which not even a session end may write.
    explicit InputHold(HWND owner = nullptr, bool savingHeld = true);
    ~InputHold();
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;
    ThreadWindowsDisabled& windows() { return windows_; }

private:
    ThreadWindowsDisabled windows_;
    bool savingHeld_;
};
bool InputHeld();
bool SavingHeld();

// The map's one scale: the system's dots per inch (the primary monitor's at sign-in), fixed for the run.
int DisplayDpi();
// 1440 / DisplayDpi() truncated (15 at 96 dots per inch); whole only at some scales (7.5 at 192), so nothing
// converts with it: twips and pixels go through the two below.
int TwipsPerPixelX();
int TwipsPerPixelY();

// Twips and pixels at the map's scale, exact where 1440 / dpi is not whole.
int32_t ScreenPixels(double twips);
int32_t ScreenTwips(int64_t pixels);

// A piece's left (top) in screen pixels for the anchor's place and the piece's offset in twips, as start-up
// places it: the sum, to the nearest pixel. Away from 96 dpi halves go up (PlacedPixel), the rule ShapeAt
// cuts the shapes for.
int32_t PiecePixel(int32_t anchorTwips, int32_t offsetTwips);

// What start-up's anchor had beyond its whole pixel, in 1/1440 pixel, kept so that a gather puts every piece
// at the pixel offset from the anchor that start-up gave it, wherever the anchor was dragged. 0 at 96 dpi,
// where a gather rounds the anchor's Left plus the offset: the records there are cut for whole pixels, with no
// phase to keep.
void KeepAnchorPhase(int32_t anchorX, int32_t anchorY);
// Whole pixels from the anchor's pixel to a piece's, for its offset in twips.
int32_t OffsetPixelsX(int32_t offsetTwips);
int32_t OffsetPixelsY(int32_t offsetTwips);

}  // namespace korven
