// The settings file KORVEN.ini beside the program: code page 932, or UTF-8 when an editor saved it so (it
// then stays UTF-8, with or without its byte-order mark).
#pragma once
#include <string>
#include <vector>

namespace korven {

// The trimmed value, empty when the file, section or key is missing.
std::wstring ReadIni(const std::wstring& section, const std::wstring& key);

struct IniEntry {
    std::wstring section, key, value;
    bool operator==(const IniEntry&) const = default;
};

struct IniWriteResult {
    bool ok = true;
    std::wstring reason;  // why it failed, in words a user can act on
};
// Replaces the file in one step; a failure leaves the old file whole.
IniWriteResult WriteIni(const std::wstring& section, const std::wstring& key, const std::wstring& value);
// Every entry in one replacement of the file, which then holds what one WriteIni after another would have left.
// An entry the file cannot hold is left out, the others written; the result is the first failure.
IniWriteResult WriteIniEntries(const std::vector<IniEntry>& entries);

std::wstring IniFilePath();  // program folder + "\" + IniBaseName + ".ini"

// Whether a save can keep anything: the file is there, and it and its folder take writes (a file made read-only
// counts as not). Leaves nothing behind, even when the process is killed during the check.
enum class IniAccess { Writable, Missing, Unwritable };
IniAccess CheckIniAccess();

// The characters of text that the file's encoding cannot hold (empty when all can be stored): for code page
// 932 whatever it lacks, for UTF-8 only lone surrogates.
std::wstring UnstorableCharacters(const std::wstring& text);

}  // namespace korven
