#include "app/copy_guard.h"

#include <cstdint>
#include <cwchar>
#include <string_view>

#include "core/app_state.h"
#include "core/notices.h"
#include "core/settings.h"
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

// FNV-1a, 64 bits, over UTF-16 code units: a short, stable name for a path no kernel object could be named by.
uint64_t Fnv1a64(std::wstring_view text) {
    uint64_t hash = 14695981039346656037ull;
    for (wchar_t c : text) hash = (hash ^ static_cast<uint16_t>(c)) * 1099511628211ull;
    return hash;
}

// Who holds the settings file: the copy that made the guard writes its process and thread here, and its mode.
struct GuardHolder {
    DWORD process, thread;
    BOOL capture;
};
// Held for the life of the process: the name is free again only once the copy that made it is gone.
UniqueKernelHandle guard;

const wchar_t* const CaptureNotStartedText =
    L"この設定ファイルの地図はすでに動いているため、位置情報取得モードでは起動しませんでした。\n\n"
    L"位置情報取得モードは、動いている地図を「終了」してから起動し直すと始まります。";

// Two copies on one file would each write at exit, the last one overwriting the other's colours. The name is
// the folder's identity, so that a link or another drive letter is the same file; where the folder cannot be
// opened, a hash of the upper-cased path (Windows names files without regard to case, and a kernel object's
// name may hold no "\" after its namespace).
std::wstring GuardName() {
    std::wstring path = IniFilePath();
    const std::wstring folder = FolderIdentity(path);
    if (!folder.empty()) return L"Local\\KORVEN-" + folder;
    CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    wchar_t name[48];
    std::swprintf(name, 48, L"Local\\KORVEN-%016llx", static_cast<unsigned long long>(Fnv1a64(path)));
    return name;
}

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

bool FirstCopyForTheFile() {
    if (guard) return true;
    const std::wstring name = GuardName();
    UniqueKernelHandle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(GuardHolder), name.c_str()));
    if (!mapping) return true;  // no guard to be had: better two maps than none
    const bool first = GetLastError() != ERROR_ALREADY_EXISTS;
    auto* holder = static_cast<GuardHolder*>(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(GuardHolder)));
    if (!holder) return true;
    if (first) *holder = {GetCurrentProcessId(), GetCurrentThreadId(), CaptureEnabled};
    const GuardHolder running = *holder;
    UnmapViewOfFile(holder);
    if (first || running.process == GetCurrentProcessId()) {
        guard = std::move(mapping);
        return true;
    }
    // A copy that does not answer is left as it is; this one ends all the same.
    const RunningMap map = FindRunningMap(running.thread);
    if (!RaiseRunningMap(map)) return false;
    // Capture mode asked for and not given: said over the map (topmost, since the raise may land after the
    // notice appears), before the map takes the foreground.
    if (CaptureEnabled && !running.capture)
        ShowNotice(nullptr, CaptureNotStartedText, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    ActivateRunningMap(map);
    return false;
}

}  // namespace korven
