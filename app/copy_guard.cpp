#include "app/copy_guard.h"

#include <cwchar>
#include <string_view>

#include "core/win_owners.h"

namespace korven {

std::wstring FolderIdentity(const std::wstring& file) {
    const size_t cut = file.find_last_of(L"\\/");
    if (cut == std::wstring::npos) return {};
    // The folder, not KORVEN.ini: the file may not exist yet, and every save replaces it with a new one.
    const std::wstring folder = file.substr(0, cut + 1);
    UniqueKernelHandle handle(CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !GetFileInformationByHandle(handle.get(), &info)) return {};
    wchar_t text[32];
    std::swprintf(text, 32, L"%08lx-%08lx%08lx", info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
    return text;
}

namespace {

BOOL CALLBACK SortOne(HWND window, LPARAM param) {
    auto& map = *reinterpret_cast<RunningMap*>(param);
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (std::wstring_view(cls) == L"frmMap")
        map.pieces.push_back(window);
    else if (!map.working && IsWindowVisible(window) && IsWindowEnabled(window) &&
             (GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION)  // not a tooltip
        map.working = window;
    return TRUE;
}

void RaiseAsync(HWND window) {
    // Asynchronous: a copy that hangs from now on cannot hold this one.
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

}  // namespace

RunningMap FindRunningMap(DWORD thread) {
    RunningMap map;
    EnumThreadWindows(thread, SortOne, reinterpret_cast<LPARAM>(&map));
    return map;
}

bool RaiseRunningMap(const RunningMap& map) {
    DWORD_PTR answer = 0;
    if (map.pieces.empty() || !SendMessageTimeoutW(map.pieces[0], WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer))
        return false;
    for (HWND piece : map.pieces) RaiseAsync(piece);
    // After the pieces, from the same queue: what the person was doing there is not left under the map.
    if (map.working) RaiseAsync(map.working);
    return true;
}

void ActivateRunningMap(const RunningMap& map) {
    if (map.working) {
        SetForegroundWindow(map.working);
        return;
    }
    // A piece disabled by a modal window of the copy would take the activation and hold it.
    for (auto it = map.pieces.rbegin(); it != map.pieces.rend(); ++it)
        if (IsWindowEnabled(*it)) {
            SetForegroundWindow(*it);
            return;
        }
}

}  // namespace korven
