#pragma once

#include "VEQTransport/BLECentral.hpp"
#include "VEQTransport/Platform/QtEventThread.hpp"

#include <memory>

namespace veq {

// The Bluetooth LE central of Qt Bluetooth (BlueZ on Linux, the native stack on macOS), on a
// Qt event thread of its own, which is the queue of BLECentral:
//     BLETransport transport(std::make_unique<QtBLECentral>());
// Needs the application's QCoreApplication (see QtEventThread).
class QtBLECentral final : public BLECentral {
public:
    QtBLECentral();
    ~QtBLECentral() override;

    void start(BLECentralDelegate& delegate) override;
    void post(std::function<void()> work) override;
    void schedule(std::chrono::milliseconds delay, std::function<void()> work) override;
    void startScan() override;
    void stopScan() override;
    void connectToDevice(const std::string& deviceID) override;
    void cancelConnection() override;
    void discoverServices() override;
    void discoverCharacteristics(std::size_t service) override;
    void setNotifications(BLECharacteristicRef characteristic, bool enabled) override;
    std::size_t maximumWriteLength() const override;
    void write(BLECharacteristicRef characteristic, std::span<const std::uint8_t> value, bool withResponse) override;

private:
    struct Radio;
    std::unique_ptr<Radio> radio_; // touched only on the thread
    QtEventThread thread_;         // last: stopped before the radio goes
};

} // namespace veq
