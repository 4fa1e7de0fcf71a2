// What the in-process suites share: 47 real piece windows, the settings file beside the test, timers that act
// while a modal loop runs, and a record of which windows were destroyed.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "menu/command_logic.h"
#include "pieces/frm_map.h"

namespace korven::test {

struct Home {
    int32_t offsetX, offsetY;
};
// Offsets as loaded, whole multiples of 15 twips (windows sit on whole pixels).
Home HomeOf(int pieceNumber);
constexpr int32_t AnchorLeft = 3000, AnchorTop = 1500;

// Makes the 47 pieces (again) at anchor + offset, named, dotted and shown; the process end is replaced.
void BuildPieces();
Piece& P(int pieceNumber);

// The settings file beside the test executable.
void RemoveIni();
bool IniExists();
std::string IniBytes();
std::vector<IniEntry> IniLines();  // every key line in file order, values untrimmed
// Makes the settings file impossible to write: a folder stands where the file would be.
void BlockIni();
void UnblockIni();

// Runs action once, from the message loop, after delayMs (inside whatever modal loop is running).
void Later(int delayMs, std::function<void()> action);
// Runs action from the next message pump that looks at the queue: the first one a command or start-up does.
void OnNextPump(std::function<void()> action);
// Forgets every action not yet run, so none reaches into a later dialog or test.
void CancelLater();
// Pumps messages until done() or the time is up; true when done.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Top-level windows of this thread destroyed since the last Start, in order.
void StartDestroyLog();
std::vector<HWND> StopDestroyLog();

// The visible window of this thread that owner owns (a system dialog it opened), or nullptr.
HWND OwnedDialog(HWND owner);

// Pixel rectangle of a window in screen coordinates.
RECT ScreenRect(HWND window);
// A child's rectangle in its parent's client coordinates, in twips.
RECT ChildTwips(HWND child);

}  // namespace korven::test
