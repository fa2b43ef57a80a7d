#include "VEQTransport/Platform/QtEventThread.hpp"

#include "VEQSupport/Error.hpp"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <latch>
#include <signal.h>

namespace veq {

class QtEventThread::Thread final : public QThread {
public:
    QObject* context = nullptr;
    std::latch ready{1};

protected:
    void run() override {
        // A write to a socket the adapter has closed raises SIGPIPE in the writing thread. Blocked
        // here it can never end the program, whatever the process does with the signal.
        sigset_t brokenPipe;
        sigemptyset(&brokenPipe);
        sigaddset(&brokenPipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
        // Created and destroyed here, so that its children (sockets, Bluetooth objects) are
        // deleted on the thread they belong to.
        QObject owner;
        context = &owner;
        ready.count_down();
        exec();
    }
};

QtEventThread::QtEventThread() {
    if (QCoreApplication::instance() == nullptr) {
        throw Error("Les liaisons Bluetooth et Wi-Fi demandent une application Qt déjà créée (QCoreApplication).");
    }
    thread_ = std::make_unique<Thread>();
    thread_->start();
    thread_->ready.wait();
}

QtEventThread::~QtEventThread() {
    // Queued after every earlier post, so that those still run.
    QMetaObject::invokeMethod(thread_->context, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
    thread_->wait();
}

void QtEventThread::post(std::function<void()> work) {
    QMetaObject::invokeMethod(thread_->context, std::move(work), Qt::QueuedConnection);
}

void QtEventThread::postAfter(std::chrono::milliseconds delay, std::function<void()> work) {
    post([this, delay, work = std::move(work)]() mutable { QTimer::singleShot(delay, thread_->context, std::move(work)); });
}

QObject* QtEventThread::context() const { return thread_->context; }

} // namespace veq
