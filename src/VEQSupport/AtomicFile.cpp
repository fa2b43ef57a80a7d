#include "VEQSupport/AtomicFile.hpp"

#include "VEQSupport/Error.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace veq {

namespace {

std::string describe(const std::filesystem::path& p, int err) {
    return "Écriture impossible de « " + p.string() + " » : " + std::strerror(err);
}

// Drops the temporary file and reports why the target could not be written.
[[noreturn]] void abandon(const std::filesystem::path& temporary, const std::filesystem::path& target, int err) {
    ::unlink(temporary.c_str());
    throw Error(describe(target, err));
}

// Renames the flushed temporary over the target, then flushes the folder so the rename itself
// survives a power loss.
void renameOver(const std::filesystem::path& temporary, const std::filesystem::path& target) {
    if (::rename(temporary.c_str(), target.c_str()) != 0) abandon(temporary, target, errno);
    syncFolder(target.parent_path());
}

} // namespace

void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::filesystem::path temporaryPathBeside(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    // Built by appending: GCC 12 at -O3 reports a false -Wrestrict on a chain of operator+.
    std::string name = ".";
    name += target.filename().string();
    name += ".tmp-";
    name += std::to_string(::getpid());
    name += "-";
    name += std::to_string(counter.fetch_add(1));
    return target.parent_path() / name;
}

void commitTemporaryFile(const std::filesystem::path& temporary, const std::filesystem::path& target) {
    const int fd = ::open(temporary.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        abandon(temporary, target, err);
    }
    ::close(fd);
    renameOver(temporary, target);
}

void writeFileAtomically(const std::filesystem::path& target, std::string_view contents) {
    const auto temporary = temporaryPathBeside(target);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throw Error(describe(target, errno));
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            abandon(temporary, target, err);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        abandon(temporary, target, err);
    }
    if (::close(fd) != 0) abandon(temporary, target, errno);
    renameOver(temporary, target);
}

} // namespace veq
