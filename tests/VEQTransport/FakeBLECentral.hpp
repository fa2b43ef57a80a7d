#pragma once

#include "VEQTransport/BLETransport.hpp"
#include "VEQTransport/TransportError.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <condition_variable>
#include <fmt/format.h>
#include <future>
#include <mutex>
#include <utility>

namespace veq::testing {

// A central without a radio: it logs each operation as a line, keeps timers until the test fires
// them, and runs posted work and delivered reports one at a time on the calling thread.
class FakeBLECentral final : public BLECentral {
public:
    struct Write {
        BLECharacteristicRef characteristic;
        std::vector<std::uint8_t> bytes;
        bool withResponse;
    };
    std::size_t maximumWrite = 20;
    std::vector<Write> writes;

    void start(BLECentralDelegate& delegate) override { delegate_ = &delegate; }
    void post(std::function<void()> work) override { std::lock_guard lock(queue_); work(); }
    void schedule(std::chrono::milliseconds delay, std::function<void()> work) override { timers_.emplace_back(delay, std::move(work)); }
    void startScan() override { log("startScan"); }
    void stopScan() override { log("stopScan"); }
    void connectToDevice(const std::string& id) override { log("connect " + id); }
    void cancelConnection() override { log("cancelConnection"); }
    void discoverServices() override { log("discoverServices"); }
    void discoverCharacteristics(std::size_t service) override { log(fmt::format("discoverCharacteristics {}", service)); }
    void setNotifications(BLECharacteristicRef c, bool on) override {
        log(fmt::format("notifications {}.{} {}", c.service, c.characteristic, on ? "on" : "off"));
    }
    std::size_t maximumWriteLength() const override { return maximumWrite; }
    void write(BLECharacteristicRef c, std::span<const std::uint8_t> value, bool withResponse) override {
        writes.push_back({c, {value.begin(), value.end()}, withResponse});
    }

    void deliver(const std::function<void(BLECentralDelegate&)>& report) { std::lock_guard lock(queue_); report(*delegate_); }

    // Runs every pending timer of that delay; how many ran.
    std::size_t fire(std::chrono::milliseconds delay) {
        std::lock_guard lock(queue_);
        std::vector<std::function<void()>> due;
        std::erase_if(timers_, [&](auto& t) { return t.first == delay && (due.push_back(std::move(t.second)), true); });
        for (auto& work : due) work();
        return due.size();
    }

    std::vector<std::string> takeLog() { std::lock_guard lock(logMutex_); return std::exchange(log_, {}); }

    // Waits for `line` logged by another thread; false only for a hung transport.
    bool waitForLine(const std::string& line) {
        std::unique_lock lock(logMutex_);
        return logged_.wait_for(lock, std::chrono::seconds(20), [&] { return std::ranges::find(log_, line) != log_.end(); });
    }

private:
    void log(std::string line) {
        { std::lock_guard lock(logMutex_); log_.push_back(std::move(line)); }
        logged_.notify_all();
    }

    std::recursive_mutex queue_;
    BLECentralDelegate* delegate_ = nullptr;
    std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> timers_;
    std::mutex logMutex_;
    std::condition_variable logged_;
    std::vector<std::string> log_;
};

// "ready", or the printed form of the error.
inline std::string outcomeText(const std::exception_ptr& error) {
    try {
        if (error) std::rethrow_exception(error);
        return "ready";
    } catch (const std::exception& e) {
        return e.what();
    }
}

// A transport over a fake central with the radio on; connect runs on a thread of its own while
// the test plays the radio.
struct BLETransportRig {
    FakeBLECentral* central = nullptr;
    std::unique_ptr<BLETransport> transport;
    std::future<std::string> connecting;
    std::stop_source stop;

    BLETransportRig() {
        auto fake = std::make_unique<FakeBLECentral>();
        central = fake.get();
        transport = std::make_unique<BLETransport>(std::move(fake));
        central->deliver([](auto& d) { d.radioStateChanged(BLERadioState::poweredOn); });
    }
    void startConnect() {
        connecting = std::async(std::launch::async, [this] {
            try {
                transport->connect(stop.get_token());
                return std::string("ready");
            } catch (const TransportError& e) {
                return std::string(e.what());
            }
        });
        EXPECT_TRUE(central->waitForLine("startScan"));
    }
    std::string connectResult() {
        return connecting.wait_for(std::chrono::seconds(20)) == std::future_status::ready ? connecting.get() : "hung";
    }
    std::string send(const std::vector<std::uint8_t>& bytes) {
        try {
            transport->send(bytes, {});
            return "sent";
        } catch (const TransportError& e) {
            return e.printedForm();
        }
    }
    void connectAdapter() {
        startConnect();
        central->deliver([](auto& d) {
            d.deviceDiscovered({"AA", "OBDII", {"FFF0"}});
            d.deviceConnected();
            d.servicesDiscovered(std::nullopt, {"FFF0"});
            d.characteristicsDiscovered(0, std::nullopt, {{"FFF1", BLEProperty::notify}, {"FFF2", BLEProperty::write}});
        });
        ASSERT_EQ(connectResult(), "ready");
    }
};

} // namespace veq::testing
