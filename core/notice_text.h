// What the user is told when the settings file does not take a value: plain text, no window needed.
#pragma once
#include <string>

namespace korven {

std::wstring WriteFailureText(const std::wstring& path, const std::wstring& reason);
std::wstring UnstorableText(const std::wstring& characters);

}  // namespace korven
