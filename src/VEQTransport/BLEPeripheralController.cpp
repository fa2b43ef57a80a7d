#include "VEQTransport/BLEPeripheralController.hpp"

#include "VEQTransport/BLETransport.hpp"
#include "VEQTransport/BLEUUID.hpp"
#include "VEQTransport/LinkError.hpp"
#include "VEQTransport/OBDAdapterRegistry.hpp"
#include "VEQTransport/TransportError.hpp"

#include <algorithm>

namespace veq {

namespace {

constexpr std::string_view nameless = "sans nom";

bool isUnusable(BLERadioState state) {
    return state == BLERadioState::unsupported || state == BLERadioState::unauthorized ||
           state == BLERadioState::poweredOff;
}

TransportError radioUnusable(BLERadioState state) {
    return TransportError::connectionFailed("Bluetooth indisponible (" + std::to_string(static_cast<int>(state)) + ")");
}

TransportError connectionFailure() { return TransportError::connectionFailed("Échec de connexion BLE"); }

std::exception_ptr linkError(const std::string& description) { return std::make_exception_ptr(LinkError(description)); }

} // namespace

BLEPeripheralController::BLEPeripheralController(BLECentral& central, Yield yield, LinkLost onLinkLost)
    : central_(central), yield_(std::move(yield)), onLinkLost_(std::move(onLinkLost)) {}

const std::vector<std::string>& BLEPeripheralController::serviceUUIDs() {
    static const std::vector<std::string> uuids = [] {
        std::vector<std::string> out;
        for (std::string_view text : OBDAdapterRegistry::bleServiceUUIDStrings) out.push_back(*normalizedBLEUUID(text));
        return out;
    }();
    return uuids;
}

bool BLEPeripheralController::isAdapterService(const std::string& uuid) {
    const auto& table = serviceUUIDs();
    return std::find(table.begin(), table.end(), uuid) != table.end();
}

void BLEPeripheralController::connect(Completion completion, std::chrono::milliseconds limit) {
    if (waiting_) finishConnect(std::make_exception_ptr(connectCancelled()));
    stopScanAndLink();
    peripheral_.reset();
    write_.reset();
    notify_.reset();
    ready_ = false;
    {
        std::lock_guard lock(snapshotMutex_);
        services_.clear();
    }
    reported_.clear();
    waiting_ = std::move(completion);
    const std::uint64_t attempt = ++connectCount_;
    central_.schedule(limit, [this, attempt] { connectLimitReached(attempt); });
    // A radio already known to be unusable gives no further report: fail now rather than wait.
    if (isUnusable(radio_)) {
        finishConnect(std::make_exception_ptr(radioUnusable(radio_)));
        return;
    }
    beginScanIfPossible();
}

void BLEPeripheralController::disconnect() {
    stopScanAndLink();
    ready_ = false;
    finishConnect(std::make_exception_ptr(connectCancelled()));
}

void BLEPeripheralController::send(std::vector<std::uint8_t> data) {
    if (!peripheral_ || !write_) return;
    const bool withResponse = (write_->properties & BLEProperty::write) != 0;
    const std::size_t chunk = std::max<std::size_t>(1, central_.maximumWriteLength());
    const std::span<const std::uint8_t> bytes(data);
    for (std::size_t offset = 0; offset < bytes.size(); offset += chunk) {
        central_.write(write_->ref, bytes.subspan(offset, std::min(chunk, bytes.size() - offset)), withResponse);
    }
}

std::vector<std::string> BLEPeripheralController::services() const {
    std::lock_guard lock(snapshotMutex_);
    return services_;
}

std::vector<BLESighting> BLEPeripheralController::sightings() const {
    std::lock_guard lock(snapshotMutex_);
    return discovered_;
}

std::optional<BLECharacteristicRef> BLEPeripheralController::notifyCharacteristic() const {
    return notify_ ? std::optional(notify_->ref) : std::nullopt;
}

std::optional<BLECharacteristicRef> BLEPeripheralController::writeCharacteristic() const {
    return write_ ? std::optional(write_->ref) : std::nullopt;
}

void BLEPeripheralController::beginScanIfPossible() {
    if (radio_ != BLERadioState::poweredOn || isScanning_) return;
    isScanning_ = true;
    broadScan_ = false;
    {
        std::lock_guard lock(snapshotMutex_);
        discovered_.clear();
    }
    central_.startScan();
    const std::uint64_t scan = ++scanCount_;
    const auto filteredPhase = std::chrono::duration<double>(BLETransport::filteredScanSeconds);
    central_.schedule(std::chrono::duration_cast<std::chrono::milliseconds>(filteredPhase),
                      [this, scan] { widenScan(scan); });
}

void BLEPeripheralController::widenScan(std::uint64_t scan) {
    if (scan != scanCount_ || !isScanning_ || peripheral_) return;
    central_.stopScan();
    broadScan_ = true;
    central_.startScan();
}

void BLEPeripheralController::connectLimitReached(std::uint64_t attempt) {
    if (attempt != connectCount_ || !waiting_) return;
    finishConnect(peripheral_ ? std::make_exception_ptr(connectionFailure())
                              : std::make_exception_ptr(TransportError::deviceNotFound()));
}

void BLEPeripheralController::finishConnect(std::exception_ptr error) {
    if (!waiting_) return;
    Completion completion = std::move(waiting_);
    waiting_ = nullptr;
    if (error) stopScanAndLink();
    else ready_ = true;
    completion(error);
}

void BLEPeripheralController::stopScanAndLink() {
    if (isScanning_) {
        central_.stopScan();
        isScanning_ = false;
    }
    if (peripheral_) central_.cancelConnection();
}

void BLEPeripheralController::record(std::string name, std::vector<std::string> services) {
    std::lock_guard lock(snapshotMutex_);
    discovered_.push_back({std::move(name), std::move(services)});
}

bool BLEPeripheralController::mayReplace(const std::optional<Choice>& current, std::size_t service) const {
    return !current || !current->fromAdapterService || current->ref.service == service;
}

void BLEPeripheralController::radioStateChanged(BLERadioState state) {
    radio_ = state;
    if (isUnusable(state)) {
        isScanning_ = false; // a radio that goes away ends its scan
        finishConnect(std::make_exception_ptr(radioUnusable(state)));
    } else if (state == BLERadioState::poweredOn && waiting_) {
        beginScanIfPossible();
    }
}

void BLEPeripheralController::scanFailed(std::string error) {
    isScanning_ = false;
    finishConnect(linkError(error));
}

void BLEPeripheralController::deviceDiscovered(const BLEAdvertisement& advertisement) {
    if (!isScanning_) return;
    const auto& name = advertisement.name;
    if (broadScan_ && !BLETransport::looksLikeAdapter(name)) {
        if (name && !name->empty()) record(*name, advertisement.serviceUUIDs);
        return;
    }
    // The platform scans every device: the service filter of the first phase is ours.
    if (!broadScan_ && std::none_of(advertisement.serviceUUIDs.begin(), advertisement.serviceUUIDs.end(),
                                    [](const std::string& uuid) { return isAdapterService(uuid); })) {
        return;
    }
    record(name ? *name : std::string(nameless), advertisement.serviceUUIDs);
    central_.stopScan();
    isScanning_ = false;
    peripheral_ = advertisement.deviceID;
    central_.connectToDevice(advertisement.deviceID);
}

void BLEPeripheralController::deviceConnected() {
    if (peripheral_) central_.discoverServices();
}

void BLEPeripheralController::deviceConnectionFailed(std::optional<std::string> error) {
    finishConnect(error ? linkError(*error) : std::make_exception_ptr(connectionFailure()));
}

void BLEPeripheralController::deviceDisconnected() {
    if (ready_) {
        ready_ = false;
        write_.reset();
        notify_.reset();
        onLinkLost_();
    } else if (peripheral_) {
        finishConnect(std::make_exception_ptr(connectionFailure()));
    }
}

void BLEPeripheralController::servicesDiscovered(std::optional<std::string> error, std::vector<std::string> serviceUUIDs) {
    if (!peripheral_) return;
    if (error) {
        finishConnect(linkError(*error));
        return;
    }
    {
        std::lock_guard lock(snapshotMutex_);
        services_ = std::move(serviceUUIDs);
    }
    reported_.assign(services_.size(), false);
    for (std::size_t i = 0; i < services_.size(); ++i) central_.discoverCharacteristics(i);
}

void BLEPeripheralController::characteristicsDiscovered(std::size_t service, std::optional<std::string> error,
                                                        std::vector<BLECharacteristicInfo> characteristics) {
    if (!peripheral_ || service >= services_.size()) return;
    if (error) {
        finishConnect(linkError(*error));
        return;
    }
    reported_[service] = true;
    const bool fromAdapterService = isAdapterService(services_[service]);
    std::optional<Choice> notify;
    std::optional<Choice> write;
    for (std::size_t i = 0; i < characteristics.size(); ++i) {
        const std::uint8_t properties = characteristics[i].properties;
        const Choice choice{{service, i}, properties, fromAdapterService};
        if (properties & (BLEProperty::notify | BLEProperty::indicate)) notify = choice;
        if (properties & (BLEProperty::write | BLEProperty::writeWithoutResponse)) write = choice;
    }
    if (notify && mayReplace(notify_, service)) {
        if (notify_ && notify_->ref != notify->ref) central_.setNotifications(notify_->ref, false);
        notify_ = notify;
        central_.setNotifications(notify->ref, true);
    }
    if (write && mayReplace(write_, service)) write_ = write;
    if (notify_ && write_ && choiceIsFinal()) finishConnect(nullptr);
}

// A vendor service may answer before the adapter's own: on a device that has an adapter service,
// the link is ready with that service's characteristics, or once every service has reported.
bool BLEPeripheralController::choiceIsFinal() const {
    if (notify_->fromAdapterService && write_->fromAdapterService) return true;
    if (std::none_of(services_.begin(), services_.end(), [](const std::string& uuid) { return isAdapterService(uuid); })) return true;
    return std::all_of(reported_.begin(), reported_.end(), [](bool reported) { return reported; });
}

void BLEPeripheralController::valueUpdated(BLECharacteristicRef characteristic, std::vector<std::uint8_t> value) {
    if (!notify_ || notify_->ref != characteristic || value.empty()) return;
    yield_(std::move(value));
}

} // namespace veq
