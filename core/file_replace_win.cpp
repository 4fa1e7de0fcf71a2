#include <windows.h>

#include "core/ini_engine.h"
#include "core/win_owners.h"

namespace korven::ini {

std::error_code FlushToDisk(const std::filesystem::path& file) {
    const UniqueKernelHandle h(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h.get() == INVALID_HANDLE_VALUE || !FlushFileBuffers(h.get())) {
        return std::error_code(static_cast<int>(GetLastError()), std::system_category());
    }
    return {};
}

// MoveFileExW replaces the target in one step on the same volume. A read-only target is refused
// explicitly: the user marked it so on purpose, and not every file system refuses it by itself.
std::error_code ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to) {
    DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return std::error_code(ERROR_ACCESS_DENIED, std::system_category());
    }
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return std::error_code(static_cast<int>(GetLastError()), std::system_category());
    }
    return {};
}

}  // namespace korven::ini
