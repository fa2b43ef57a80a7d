#include "OskavelCarApp/DataFolderLock.hpp"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace veq {

namespace {

int openLockFile(const std::filesystem::path& lockFile) {
    // Close-on-exec: a program started from the window (the file manager showing a folder) must
    // not inherit the lock and keep the folder after the window has closed.
    int descriptor = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // A lock file only another user may write still takes a lock.
    if (descriptor < 0) descriptor = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    return descriptor;
}

// flock(2), not fcntl(2) record locks: a process loses those when it closes any descriptor of
// the file, which a library reading the folder could do at any time.
int lockWithoutWaiting(int descriptor) {
    int result = 0;
    do {
        result = ::flock(descriptor, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

// For a person who looks: which process holds the folder. Failing to write it changes nothing.
void writeHolder(int descriptor) {
    const std::string holder = std::to_string(::getpid()) + "\n";
    if (::ftruncate(descriptor, 0) != 0) return;
    [[maybe_unused]] const auto written = ::pwrite(descriptor, holder.data(), holder.size(), 0);
}

} // namespace

std::unique_ptr<DataFolderLock> DataFolderLock::take(const std::filesystem::path& lockFile) {
    const int descriptor = openLockFile(lockFile);
    if (descriptor < 0) return std::unique_ptr<DataFolderLock>(new DataFolderLock(-1, false));
    const int error = lockWithoutWaiting(descriptor);
    if (error == EWOULDBLOCK) {
        ::close(descriptor);
        return nullptr;
    }
    if (error != 0) return std::unique_ptr<DataFolderLock>(new DataFolderLock(descriptor, false));
    writeHolder(descriptor);
    return std::unique_ptr<DataFolderLock>(new DataFolderLock(descriptor, true));
}

DataFolderLock::~DataFolderLock() {
    // Closing the last descriptor releases the lock; the file stays for the next instance.
    if (descriptor_ >= 0) ::close(descriptor_);
}

} // namespace veq
