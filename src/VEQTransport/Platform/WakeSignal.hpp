#pragma once

namespace veq {

// A flag a thread blocked in poll() can watch beside its socket: signal() from any thread (a
// stop callback included) makes the descriptor readable until clear(). An eventfd. Only the
// thread that sees it readable clears it: a signal is never lost, at worst it wakes the next
// waiter once for nothing, and waiting costs no system call beside the poll itself.
class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();

    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    int descriptor() const { return fd_; }
    void signal() const;
    void clear() const;

private:
    int fd_;
};

} // namespace veq
