#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veq {

// The state of the Bluetooth radio, numbered as the central API whose numbers the user's error
// texts show ("Bluetooth indisponible (4)").
enum class BLERadioState : int {
    unknown = 0,
    resetting = 1,
    unsupported = 2, // no usable adapter
    unauthorized = 3,
    poweredOff = 4,
    poweredOn = 5,
};

// Property bits of a GATT characteristic.
namespace BLEProperty {
inline constexpr std::uint8_t writeWithoutResponse = 0x04;
inline constexpr std::uint8_t write = 0x08;
inline constexpr std::uint8_t notify = 0x10;
inline constexpr std::uint8_t indicate = 0x20;
} // namespace BLEProperty

// One advertisement report of a scan.
struct BLEAdvertisement {
    std::string deviceID;                  // the central's handle of the device
    std::optional<std::string> name;       // none when the device gives no name
    std::vector<std::string> serviceUUIDs; // advertised services, as normalizedBLEUUID texts
};

struct BLECharacteristicInfo {
    std::string uuid;
    std::uint8_t properties = 0;
};

// A characteristic of the connected device: the index of its service in the list of
// servicesDiscovered, and its index in that service's characteristicsDiscovered list.
struct BLECharacteristicRef {
    std::size_t service = 0;
    std::size_t characteristic = 0;

    bool operator==(const BLECharacteristicRef&) const = default;
};

// What the central reports. Every call comes on the central's queue, one at a time.
class BLECentralDelegate {
public:
    virtual ~BLECentralDelegate() = default;

    virtual void radioStateChanged(BLERadioState state) = 0;
    // The scan stopped on an error that is no radio state.
    virtual void scanFailed(std::string error) = 0;
    virtual void deviceDiscovered(const BLEAdvertisement& advertisement) = 0;
    virtual void deviceConnected() = 0;
    // Without a platform error when the platform gives none.
    virtual void deviceConnectionFailed(std::optional<std::string> error) = 0;
    // The link to the device went down, after or before the connection was complete.
    virtual void deviceDisconnected() = 0;
    virtual void servicesDiscovered(std::optional<std::string> error, std::vector<std::string> serviceUUIDs) = 0;
    virtual void characteristicsDiscovered(std::size_t service, std::optional<std::string> error,
                                           std::vector<BLECharacteristicInfo> characteristics) = 0;
    virtual void valueUpdated(BLECharacteristicRef characteristic, std::vector<std::uint8_t> value) = 0;
};

// The platform's Bluetooth LE central, as thin as the platform allows: it scans, connects,
// discovers and writes when told, and reports what happens; every decision is the caller's.
// It has a serial queue of its own: post() may be called from any thread, every other
// operation only from work running on that queue.
class BLECentral {
public:
    virtual ~BLECentral() = default;

    // Starts reporting to `delegate`, on the queue, beginning with the radio state. No report
    // follows the central's destruction.
    virtual void start(BLECentralDelegate& delegate) = 0;
    virtual void post(std::function<void()> work) = 0;
    virtual void schedule(std::chrono::milliseconds delay, std::function<void()> work) = 0;

    // Reports every advertising Bluetooth LE device (the platform cannot filter by service).
    virtual void startScan() = 0;
    virtual void stopScan() = 0;

    // One device at a time: connecting to a device drops the one before.
    virtual void connectToDevice(const std::string& deviceID) = 0;
    virtual void cancelConnection() = 0;
    virtual void discoverServices() = 0;
    virtual void discoverCharacteristics(std::size_t service) = 0;
    // Switches notifications (or indications, for a characteristic that only indicates) on or off.
    virtual void setNotifications(BLECharacteristicRef characteristic, bool enabled) = 0;
    // The longest value one write may carry, at least 1.
    virtual std::size_t maximumWriteLength() const = 0;
    virtual void write(BLECharacteristicRef characteristic, std::span<const std::uint8_t> value, bool withResponse) = 0;
};

} // namespace veq
