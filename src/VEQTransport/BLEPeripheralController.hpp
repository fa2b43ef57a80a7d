#pragma once

#include "VEQTransport/BLECentral.hpp"
#include "VEQTransport/IncomingStream.hpp"

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace veq {

// A device seen during a scan: one per advertisement report kept, without de-duplication.
struct BLESighting {
    std::string name;
    std::vector<std::string> services;

    bool operator==(const BLESighting&) const = default;
};

// Every Bluetooth LE decision of the transport: when the scan widens from the adapter services
// to every device, which device is taken, which characteristics carry the exchange, how a send
// is cut into writes, and how a connect ends. It drives a BLECentral and receives its reports;
// every member function except the snapshots runs on the central's queue.
class BLEPeripheralController final : public BLECentralDelegate {
public:
    using Yield = std::function<void(IncomingStream::Chunk)>;
    // Called once per connect: a null error means the link is ready.
    using Completion = std::function<void(std::exception_ptr)>;
    // Called when a ready link goes down.
    using LinkLost = std::function<void()>;

    BLEPeripheralController(BLECentral& central, Yield yield, LinkLost onLinkLost);

    BLEPeripheralController(const BLEPeripheralController&) = delete;
    BLEPeripheralController& operator=(const BLEPeripheralController&) = delete;

    // Finds an adapter, connects and picks its characteristics. Ends with an error when the
    // radio is unusable, the device or the discovery fails, or `limit` passes first: then
    // deviceNotFound while no device was chosen, connectionFailed otherwise. A connect still
    // waiting is ended as cancelled.
    void connect(Completion completion, std::chrono::milliseconds limit);
    // Stops the scan and drops the device; a waiting connect ends as cancelled.
    void disconnect();
    // Cut into writes of at most the device's maximum write length; dropped without a device
    // or a write characteristic.
    void send(std::vector<std::uint8_t> data);

    // Snapshots, from any thread: the chosen device's services (none before discovery) and the
    // current scan's sightings.
    std::vector<std::string> services() const;
    std::vector<BLESighting> sightings() const;

    // The characteristics chosen so far (on the queue).
    std::optional<BLECharacteristicRef> notifyCharacteristic() const;
    std::optional<BLECharacteristicRef> writeCharacteristic() const;

    // The services of OBDAdapterRegistry::bleServiceUUIDStrings, normalised, in table order.
    static const std::vector<std::string>& serviceUUIDs();
    static bool isAdapterService(const std::string& uuid);

    void radioStateChanged(BLERadioState state) override;
    void scanFailed(std::string error) override;
    void deviceDiscovered(const BLEAdvertisement& advertisement) override;
    void deviceConnected() override;
    void deviceConnectionFailed(std::optional<std::string> error) override;
    void deviceDisconnected() override;
    void servicesDiscovered(std::optional<std::string> error, std::vector<std::string> serviceUUIDs) override;
    void characteristicsDiscovered(std::size_t service, std::optional<std::string> error,
                                   std::vector<BLECharacteristicInfo> characteristics) override;
    void valueUpdated(BLECharacteristicRef characteristic, std::vector<std::uint8_t> value) override;

private:
    struct Choice {
        BLECharacteristicRef ref;
        std::uint8_t properties = 0;
        bool fromAdapterService = false; // never replaced by a later service's characteristic
    };

    void beginScanIfPossible();
    void widenScan(std::uint64_t scan);
    void connectLimitReached(std::uint64_t attempt);
    void finishConnect(std::exception_ptr error);
    void stopScanAndLink();
    void record(std::string name, std::vector<std::string> services);
    bool mayReplace(const std::optional<Choice>& current, std::size_t service) const;
    bool choiceIsFinal() const;

    BLECentral& central_;
    Yield yield_;
    LinkLost onLinkLost_;

    BLERadioState radio_ = BLERadioState::unknown;
    std::optional<std::string> peripheral_;
    std::optional<Choice> write_;
    std::optional<Choice> notify_;
    std::vector<bool> reported_; // per discovered service: its characteristics came
    Completion waiting_;
    bool ready_ = false;
    bool isScanning_ = false;
    bool broadScan_ = false;
    std::uint64_t scanCount_ = 0;
    std::uint64_t connectCount_ = 0;

    // The fields the snapshots read from other threads.
    mutable std::mutex snapshotMutex_;
    std::vector<BLESighting> discovered_;
    std::vector<std::string> services_;
};

} // namespace veq
