#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace veq {

// The whole content of a regular file, at most `maxBytes` long. Throws veq::Error with a French
// description when the file cannot be opened or read, is not a regular file (a pipe would block)
// or is larger than the bound.
std::string readWholeFile(const std::filesystem::path& path, std::size_t maxBytes);

// The same, or nothing where readWholeFile throws: for files whose absence or damage the caller
// meets with a default (an empty catalogue, a skipped backup).
std::optional<std::string> readWholeFileIfReadable(const std::filesystem::path& path, std::size_t maxBytes);

} // namespace veq
