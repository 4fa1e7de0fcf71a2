// The settings file KORVEN.ini beside the program, always in code page 932.
#pragma once
#include <string>

namespace korven {

// The trimmed value, empty when the file, section or key is missing.
std::wstring ReadIni(const std::wstring& section, const std::wstring& key);

struct IniWriteResult {
    bool ok = true;
    std::wstring reason;  // why it failed, in words a user can act on
};
// Replaces the file in one step; a failure leaves the old file whole.
IniWriteResult WriteIni(const std::wstring& section, const std::wstring& key, const std::wstring& value);

std::wstring IniFilePath();  // program folder + "\" + IniBaseName + ".ini"

// The characters of text that code page 932 cannot hold (empty when all can be stored).
std::wstring UnstorableCharacters(const std::wstring& text);

}  // namespace korven
