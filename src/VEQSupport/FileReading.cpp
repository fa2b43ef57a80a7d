#include "VEQSupport/FileReading.hpp"

#include "VEQSupport/Error.hpp"

#include <fmt/format.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace veq {

namespace {

std::string failure(const std::filesystem::path& path, const std::string& why) {
    return "Lecture impossible de « " + path.string() + " » : " + why;
}

std::string systemMessage(int err) { return std::error_code(err, std::generic_category()).message(); }

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

std::string readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    // Non-blocking so that opening a pipe returns at once; it is refused just below.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) throw Error(failure(path, systemMessage(errno)));
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) throw Error(failure(path, systemMessage(errno)));
    if (!S_ISREG(info.st_mode)) throw Error(failure(path, "ce n'est pas un fichier ordinaire"));
    const auto tooLarge = [&] {
        return Error(failure(path, fmt::format("fichier trop volumineux (plus de {} Mo)", maxBytes / (1024 * 1024))));
    };
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) throw tooLarge();
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    std::array<char, 65'536> chunk{};
    for (;;) {
        const ssize_t n = ::read(file.get(), chunk.data(), chunk.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error(failure(path, systemMessage(errno)));
        }
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) throw tooLarge(); // grew while read
        bytes.append(chunk.data(), static_cast<std::size_t>(n));
    }
    return bytes;
}

std::optional<std::string> readWholeFileIfReadable(const std::filesystem::path& path, std::size_t maxBytes) {
    try {
        return readWholeFile(path, maxBytes);
    } catch (const Error&) {
        return std::nullopt;
    }
}

} // namespace veq
