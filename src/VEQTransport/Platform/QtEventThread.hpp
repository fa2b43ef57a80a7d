#pragma once

#include <chrono>
#include <functional>
#include <memory>

class QObject;

namespace veq {

// A thread running a Qt event loop of its own, where the Qt objects of one link live and die.
// Work runs there in the order it was posted. Qt runs no event loop before the application's
// QCoreApplication exists, so constructing one without it throws an Error.
class QtEventThread {
public:
    QtEventThread();
    // Runs the work posted so far, then ends the loop; the objects whose parent is context()
    // are destroyed on the thread before it ends.
    ~QtEventThread();

    QtEventThread(const QtEventThread&) = delete;
    QtEventThread& operator=(const QtEventThread&) = delete;

    // From any thread.
    void post(std::function<void()> work);
    void postAfter(std::chrono::milliseconds delay, std::function<void()> work);

    // The parent of the thread's Qt objects; it lives on the thread.
    QObject* context() const;

private:
    class Thread;
    std::unique_ptr<Thread> thread_;
};

} // namespace veq
