#pragma once

#include <filesystem>
#include <memory>

namespace veq {

// The data folder taken by one running instance, through an advisory lock on its lock file that
// the system itself releases when the holding process ends in any way. What the file holds (the
// holder's process number, for a person who looks) decides nothing: an empty, garbled or foreign
// lock file (a folder restored from a backup or synced from another machine) never locks anybody
// out. The file is never deleted, so that two instances always lock the same file.
class DataFolderLock {
public:
    // Takes `lockFile`, creating it when missing. Nothing when another open of it holds the lock
    // (another running instance). A file that cannot be opened or locked at all (a folder that
    // is not writable) gives a lock that holds nothing: refusing there would only hide why the
    // folder cannot be used.
    static std::unique_ptr<DataFolderLock> take(const std::filesystem::path& lockFile);

    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    // Whether this process holds the folder.
    bool isLocked() const { return locked_; }

private:
    DataFolderLock(int descriptor, bool locked) : descriptor_(descriptor), locked_(locked) {}

    int descriptor_; // -1 when the file could not be opened
    bool locked_;
};

} // namespace veq
