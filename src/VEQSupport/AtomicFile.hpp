#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

namespace veq {

// Writes `contents` to `target` so that a crash at any moment leaves either the old file or
// the new one whole: a temporary file beside it, flushed to disk, then renamed over it.
// Throws veq::Error with a French description on failure; the target is then untouched.
void writeFileAtomically(const std::filesystem::path& target, std::string_view contents);

// Flushes a file that was written beside `target` and renames it over `target`, then flushes
// the folder so the rename itself survives a power loss. Throws veq::Error on failure.
void commitTemporaryFile(const std::filesystem::path& temporary, const std::filesystem::path& target);

// Flushes a folder's entries, so that a file created, linked or renamed in it survives a power
// loss. Best effort: a folder that cannot be opened is left as it is.
void syncFolder(const std::filesystem::path& folder);

// A fresh, unused temporary path beside `target` (same folder, so the rename is atomic):
// "." + the target's name + ".tmp-" + this process's id + "-" + a counter.
std::filesystem::path temporaryPathBeside(const std::filesystem::path& target);

// Removes from `folder` the temporary files named by temporaryPathBeside() that a crash left
// there: only those whose writing process (the id in the name) has ended, and only those that
// were to become a file `owned` accepts (a temporary of a temporary counts for the file it was
// finally to become). Files of running processes, this one included, are left alone. Best
// effort: a folder that cannot be read or a file that cannot be removed is left as it is.
void removeStaleTemporaryFiles(const std::filesystem::path& folder,
                               const std::function<bool(std::string_view target)>& owned);

} // namespace veq
