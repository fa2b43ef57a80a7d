#pragma once

#include "VEQTransport/BLECentral.hpp"
#include "VEQTransport/BLEPeripheralController.hpp"
#include "VEQTransport/OBDTransport.hpp"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

struct BLETransportOptions {
    // Past it, connect gives up: deviceNotFound while no device was chosen,
    // connectionFailed("Échec de connexion BLE") when the chosen one never offered both a
    // notify and a write characteristic.
    std::chrono::milliseconds connectLimit = std::chrono::seconds(30);
};

// An ELM327 adapter over Bluetooth LE. It finds the adapter without any user choice: first
// among the devices advertising an adapter service, then, after filteredScanSeconds without a
// find, among every device whose name looks like an adapter. Every notification value of the
// chosen characteristic is one chunk of incoming(); every send is cut into writes no longer
// than the device accepts and returns once they are queued, not confirmed.
//
// The platform's Bluetooth stack is reached through `central` (QtBLECentral in the platform
// library), whose own thread runs every Bluetooth operation.
class BLETransport final : public OBDTransport {
public:
    using Options = BLETransportOptions;

    // Lower-case pieces of the names adapters give themselves, in the order they are tried.
    static const std::array<std::string_view, 15> adapterNameHints;
    // True when the name, lower-cased (full Unicode case mapping), contains any hint.
    static bool looksLikeAdapter(const std::optional<std::string>& name);
    // How long the scan keeps to the adapter services before it looks at every device.
    static constexpr double filteredScanSeconds = 4.0;

    explicit BLETransport(std::unique_ptr<BLECentral> central, Options options = {},
                          std::size_t incomingCapacityBytes = IncomingStream::defaultCapacityBytes);
    ~BLETransport() override;

    // A disconnect() or a stop request meanwhile ends it with connectCancelled() and leaves
    // the state `disconnected`.
    void connect(std::stop_token stop) override;
    void disconnect() override;
    // Refused with notConnected unless connected; a lost link leaves the state `disconnected`.
    void send(std::span<const std::uint8_t> data, std::stop_token stop) override;
    TransportState state() const override;

    // The chosen device's discovered services, and the devices recorded during the scan.
    std::vector<std::string> serviceUUIDs() const;
    std::vector<BLESighting> sightings() const;

private:
    void connectFinished(std::uint64_t attempt, std::exception_ptr error);
    void linkLost();

    const Options options_;
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    TransportState state_;
    // Bumped by every connect and disconnect: a connect whose number is no longer current has
    // been cancelled, and a late outcome of it is ignored.
    std::uint64_t attempt_ = 0;
    std::optional<std::uint64_t> finishedAttempt_;
    std::exception_ptr outcome_;

    std::unique_ptr<BLECentral> central_;
    std::unique_ptr<BLEPeripheralController> controller_;
};

} // namespace veq
