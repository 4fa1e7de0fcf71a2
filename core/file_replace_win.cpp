#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "core/ini_engine.h"
#include "core/win_owners.h"

namespace korven::ini {

namespace {
std::error_code LastError() { return std::error_code(static_cast<int>(GetLastError()), std::system_category()); }
}  // namespace

std::error_code WriteNewFile(const std::filesystem::path& file, std::string_view bytes) {
    const UniqueKernelHandle h(
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h.get() == INVALID_HANDLE_VALUE) return LastError();
    for (std::size_t done = 0; done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(h.get(), bytes.data() + done, chunk, &wrote, nullptr)) return LastError();
        done += wrote;
    }
    if (!FlushFileBuffers(h.get())) return LastError();
    return {};
}

// MoveFileExW replaces the target in one step on the same volume. A read-only target is refused
// explicitly: the user marked it so on purpose, and not every file system refuses it by itself.
std::error_code ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to) {
    DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return std::error_code(ERROR_FILE_READ_ONLY, std::system_category());
    }
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return LastError();
    }
    return {};
}

// Where the C runtime opened the file, a sharing violation reads as EACCES.
bool HeldByAnother(const std::error_code& ec) {
    if (ec.category() == std::generic_category()) return ec.value() == EACCES;
    return ec.category() == std::system_category() &&
           (ec.value() == ERROR_SHARING_VIOLATION || ec.value() == ERROR_LOCK_VIOLATION || ec.value() == ERROR_ACCESS_DENIED);
}

void PauseFor(std::chrono::milliseconds time) { Sleep(static_cast<DWORD>(time.count())); }

}  // namespace korven::ini
