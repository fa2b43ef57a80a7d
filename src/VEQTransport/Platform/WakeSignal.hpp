#pragma once

namespace veq {

// A flag a thread blocked in poll() can watch beside its socket: signal() from any thread (a
// stop callback included) makes the descriptor readable until clear(). An eventfd.
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
