// One map per settings file: which folder a start belongs to, and how a second start shows the map that runs.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace korven {

// True for the first copy started for this settings file, which from then on holds the guard. A later copy
// brings the running one's map to the front (saying so when it asked for capture mode the running one lacks)
// and gets false: it is to end.
bool FirstCopyForTheFile();

// The same text for every spelling of the folder that holds file (a link, another drive letter, "..", an 8.3
// name, "\\?\"), another for another folder: the volume's serial number and the folder's file index. Empty
// when the folder cannot be opened.
std::wstring FolderIdentity(const std::wstring& file);

// The running copy's windows, found by its user-interface thread: its pieces, and what the person is working
// on there (an enabled dialog, notice or message box), or nullptr.
struct RunningMap {
    std::vector<HWND> pieces;
    HWND working = nullptr;
};
RunningMap FindRunningMap(DWORD thread);

// Puts the pieces on top and the working window above them, and returns when the running copy has done so;
// false when it does not answer.
bool RaiseRunningMap(const RunningMap& map);
// Gives the foreground to the working window, or else to an enabled piece: never to a disabled one.
void ActivateRunningMap(const RunningMap& map);

}  // namespace korven
