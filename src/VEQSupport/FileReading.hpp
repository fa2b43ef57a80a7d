#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace veq {

// The whole content of a regular file, at most `maxBytes` long. Throws veq::Error with a French
// description when the file cannot be opened or read, is not a regular file (a pipe would block)
// or is larger than the bound.
std::string readWholeFile(const std::filesystem::path& path, std::size_t maxBytes);

// The same, or nothing where readWholeFile throws: for files whose absence or damage the caller
// meets with a default (an empty catalogue, a skipped backup).
std::optional<std::string> readWholeFileIfReadable(const std::filesystem::path& path, std::size_t maxBytes);

// A regular file read piece by piece, for readers that must not hold a large file whole. It is
// refused on opening exactly as readWholeFile refuses it.
class FileReader {
public:
    FileReader(const std::filesystem::path& path, std::size_t maxBytes);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // The size when opened.
    std::uint64_t size() const { return size_; }
    // Fills `into` from the file; fewer bytes only at its end. Throws veq::Error on a read
    // failure or once more than the bound has been read (the file grew).
    std::size_t read(std::span<char> into);

private:
    std::filesystem::path path_;
    std::size_t maxBytes_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t readSoFar_ = 0;
};

} // namespace veq
