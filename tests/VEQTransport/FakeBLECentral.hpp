#pragma once

#include "VEQTransport/BLECentral.hpp"
#include "VEQSupport/Text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fmt/format.h>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace veq::testing {

// A Bluetooth central without a radio: it logs what it is told to do, one line per operation,
// keeps the timers until the test fires them, and delivers the reports the test makes up. Its
// queue is a mutex: posted work and delivered reports run one at a time, on the calling thread.
class FakeBLECentral final : public BLECentral {
public:
    struct Write {
        BLECharacteristicRef characteristic;
        std::vector<std::uint8_t> bytes;
        bool withResponse;
    };

    // Read by the test between operations.
    std::size_t maximumWrite = 20;

    void start(BLECentralDelegate& delegate) override {
        std::lock_guard lock(queue_);
        delegate_ = &delegate;
    }
    void post(std::function<void()> work) override {
        std::lock_guard lock(queue_);
        work();
    }
    void schedule(std::chrono::milliseconds delay, std::function<void()> work) override {
        timers_.push_back({delay, std::move(work)});
    }
    void startScan() override { log("startScan"); }
    void stopScan() override { log("stopScan"); }
    void connectToDevice(const std::string& deviceID) override { log("connect " + deviceID); }
    void cancelConnection() override { log("cancelConnection"); }
    void discoverServices() override { log("discoverServices"); }
    void discoverCharacteristics(std::size_t service) override { log(fmt::format("discoverCharacteristics {}", service)); }
    void setNotifications(BLECharacteristicRef c, bool enabled) override {
        log(fmt::format("notifications {}.{} {}", c.service, c.characteristic, enabled ? "on" : "off"));
    }
    std::size_t maximumWriteLength() const override { return maximumWrite; }
    void write(BLECharacteristicRef c, std::span<const std::uint8_t> value, bool withResponse) override {
        writes.push_back({c, {value.begin(), value.end()}, withResponse});
    }

    // A report of the platform, on the queue.
    void deliver(const std::function<void(BLECentralDelegate&)>& report) {
        std::lock_guard lock(queue_);
        report(*delegate_);
    }

    // Runs, on the queue, every pending timer of that delay; how many ran.
    std::size_t fire(std::chrono::milliseconds delay) {
        std::lock_guard lock(queue_);
        std::vector<std::function<void()>> due;
        std::erase_if(timers_, [&](Timer& t) {
            if (t.delay != delay) return false;
            due.push_back(std::move(t.work));
            return true;
        });
        for (auto& work : due) work();
        return due.size();
    }

    std::vector<std::string> takeLog() {
        std::lock_guard lock(logMutex_);
        return std::exchange(log_, {});
    }

    // Waits until `line` has been logged (another thread is driving); false after a bound
    // that only a broken transport reaches.
    bool waitForLine(const std::string& line) {
        std::unique_lock lock(logMutex_);
        return logged_.wait_for(lock, std::chrono::seconds(20),
                                [&] { return std::find(log_.begin(), log_.end(), line) != log_.end(); });
    }

    std::vector<Write> writes;

private:
    struct Timer {
        std::chrono::milliseconds delay;
        std::function<void()> work;
    };

    void log(std::string line) {
        {
            std::lock_guard lock(logMutex_);
            log_.push_back(std::move(line));
        }
        logged_.notify_all();
    }

    std::recursive_mutex queue_;
    BLECentralDelegate* delegate_ = nullptr;
    std::vector<Timer> timers_;
    std::mutex logMutex_;
    std::condition_variable logged_;
    std::vector<std::string> log_;
};

// Reports that make up one device.
inline BLEAdvertisement advertisement(std::string id, std::optional<std::string> name, std::vector<std::string> services = {}) {
    return {std::move(id), std::move(name), std::move(services)};
}

// The printed form of a connect outcome: "ready", or the error's what().
inline std::string outcomeText(const std::exception_ptr& error) {
    if (!error) return "ready";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    }
}

} // namespace veq::testing
