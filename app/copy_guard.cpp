#include "app/copy_guard.h"

#include <cwchar>

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

}  // namespace korven
