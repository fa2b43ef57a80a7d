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

Error tooLarge(const std::filesystem::path& path, std::size_t maxBytes) {
    return Error(failure(path, fmt::format("fichier trop volumineux (plus de {} Mo)", maxBytes / (1024 * 1024))));
}

} // namespace

FileReader::FileReader(const std::filesystem::path& path, std::size_t maxBytes) : path_(path), maxBytes_(maxBytes) {
    // Non-blocking so that opening a pipe returns at once; it is refused just below.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) throw Error(failure(path, systemMessage(errno)));
    struct stat info {};
    const auto refuse = [&](const Error& error) {
        ::close(fd_);
        fd_ = -1;
        throw error;
    };
    if (::fstat(fd_, &info) != 0) refuse(Error(failure(path, systemMessage(errno))));
    if (!S_ISREG(info.st_mode)) refuse(Error(failure(path, "ce n'est pas un fichier ordinaire")));
    size_ = static_cast<std::uint64_t>(info.st_size);
    if (size_ > maxBytes) refuse(tooLarge(path, maxBytes));
}

FileReader::~FileReader() {
    if (fd_ >= 0) ::close(fd_);
}

std::size_t FileReader::read(std::span<char> into) {
    std::size_t filled = 0;
    while (filled < into.size()) {
        const ssize_t n = ::read(fd_, into.data() + filled, into.size() - filled);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error(failure(path_, systemMessage(errno)));
        }
        filled += static_cast<std::size_t>(n);
        readSoFar_ += static_cast<std::uint64_t>(n);
        if (readSoFar_ > maxBytes_) throw tooLarge(path_, maxBytes_); // grew while read
    }
    return filled;
}

std::string readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    FileReader file(path, maxBytes);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(file.size()));
    std::array<char, 65'536> chunk{};
    for (;;) {
        const std::size_t n = file.read(chunk);
        bytes.append(chunk.data(), n);
        if (n < chunk.size()) return bytes;
    }
}

std::optional<std::string> readWholeFileIfReadable(const std::filesystem::path& path, std::size_t maxBytes) {
    try {
        return readWholeFile(path, maxBytes);
    } catch (const Error&) {
        return std::nullopt;
    }
}

} // namespace veq
