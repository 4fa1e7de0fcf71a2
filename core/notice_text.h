// What the user is told when the settings file does not take a value: plain text, no window needed.
#pragma once
#include <string>

namespace korven {

// Start-up: no KORVEN.ini in the program's folder (often a program started inside the zip), or one that cannot
// be written there.
std::wstring MissingIniText(const std::wstring& folder);
std::wstring UnwritableIniText(const std::wstring& folder);
// What was being saved when it failed decides what the user is told comes next.
enum class SavedBy { Exit, CapitalDialog, Capture };
std::wstring WriteFailureText(const std::wstring& path, const std::wstring& reason, SavedBy by);
std::wstring UnstorableText(const std::wstring& characters);
// A window the system would not make, with the system's error code.
std::wstring WindowNotCreatedText(const std::wstring& what, unsigned long error);

}  // namespace korven
