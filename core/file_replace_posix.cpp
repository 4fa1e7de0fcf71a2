#include "core/ini_engine.h"

namespace korven::ini {

// rename(2) replaces the target in one step.
std::error_code ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return ec;
}

}  // namespace korven::ini
