#include "VEQSupport/AtomicFile.hpp"

#include "VEQSupport/Error.hpp"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
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

constexpr std::string_view kTemporaryMark = ".tmp-";

bool isDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

struct TemporaryName {
    std::string_view target; // the file it was finally to become
    pid_t writer = 0;        // the process that created this very file
};

// "." target ".tmp-" pid "-" counter, the target itself possibly such a name.
std::optional<TemporaryName> parseTemporaryName(std::string_view name) {
    const auto mark = name.rfind(kTemporaryMark);
    if (name.size() < 2 || name.front() != '.' || mark == std::string_view::npos || mark < 2) return std::nullopt;
    const std::string_view numbers = name.substr(mark + kTemporaryMark.size());
    const auto dash = numbers.find('-');
    if (dash == std::string_view::npos || !isDigits(numbers.substr(0, dash)) || !isDigits(numbers.substr(dash + 1))) {
        return std::nullopt;
    }
    long long pid = 0;
    const auto [end, error] = std::from_chars(numbers.data(), numbers.data() + dash, pid);
    if (error != std::errc() || pid <= 0 || pid != static_cast<pid_t>(pid)) return std::nullopt;
    TemporaryName parsed{name.substr(1, mark - 1), static_cast<pid_t>(pid)};
    if (const auto inner = parseTemporaryName(parsed.target)) parsed.target = inner->target;
    return parsed;
}

// Another user's process cannot be signalled but is alive all the same.
bool processIsRunning(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

} // namespace

void removeStaleTemporaryFiles(const std::filesystem::path& folder,
                               const std::function<bool(std::string_view target)>& owned) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const auto parsed = parseTemporaryName(name);
        if (!parsed || !owned(parsed->target) || processIsRunning(parsed->writer)) continue;
        std::error_code ignored;
        if (fs::is_regular_file(it->symlink_status(ignored))) fs::remove(it->path(), ignored);
    }
}

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
