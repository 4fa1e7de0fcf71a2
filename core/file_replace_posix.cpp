#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "core/ini_engine.h"

namespace korven::ini {

std::error_code FlushToDisk(const std::filesystem::path& file) {
    const int fd = open(file.c_str(), O_WRONLY);
    if (fd < 0) return std::error_code(errno, std::generic_category());
    std::error_code ec;
    if (fsync(fd) != 0) ec = std::error_code(errno, std::generic_category());
    close(fd);
    return ec;
}

// rename(2) replaces the target in one step.
std::error_code ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return ec;
}

}  // namespace korven::ini
