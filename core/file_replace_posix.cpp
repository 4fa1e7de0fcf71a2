#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "core/ini_engine.h"

namespace korven::ini {

std::error_code WriteNewFile(const std::filesystem::path& file, std::string_view bytes) {
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) return std::error_code(errno, std::generic_category());
    std::error_code ec;
    for (std::size_t done = 0; !ec && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR) ec = std::error_code(errno, std::generic_category());
        if (n > 0) done += static_cast<std::size_t>(n);
    }
    if (!ec && fsync(fd) != 0) ec = std::error_code(errno, std::generic_category());
    if (close(fd) != 0 && !ec) ec = std::error_code(errno, std::generic_category());
    return ec;
}

// rename(2) replaces the target in one step.
std::error_code ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return ec;
}

// Nothing on these systems keeps a rename or an open from going through but a busy file.
bool HeldByAnother(const std::error_code& ec) {
    return ec.category() == std::generic_category() && (ec.value() == EBUSY || ec.value() == ETXTBSY);
}

void PauseFor(std::chrono::milliseconds time) {
    const timespec t{static_cast<time_t>(time.count() / 1000), static_cast<long>(time.count() % 1000) * 1000000};
    nanosleep(&t, nullptr);
}

}  // namespace korven::ini
