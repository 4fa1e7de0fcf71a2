// One map per settings file: which folder a start belongs to, whatever its spelling.
#pragma once
#include <windows.h>

#include <string>

namespace korven {

// The same text for every spelling of the folder that holds file (a link, another drive letter, "..", an 8.3
// name, "\\?\"), another for another folder: the volume's serial number and the folder's file index. Empty
// when the folder cannot be opened.
std::wstring FolderIdentity(const std::wstring& file);

}  // namespace korven
