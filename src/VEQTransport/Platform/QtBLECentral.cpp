#include "VEQTransport/Platform/QtBLECentral.hpp"

#include "VEQTransport/BLEUUID.hpp"
#include "VEQTransport/Platform/QtBLEMapping.hpp"

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothDeviceInfo>
#include <QBluetoothLocalDevice>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QMetaEnum>

#include <algorithm>
#include <map>

namespace veq {

namespace {

std::string deviceIDOf(const QBluetoothDeviceInfo& info) {
    // Linux gives addresses; macOS hides them and gives a per-host identifier instead.
    return info.address().isNull() ? info.deviceUuid().toString(QUuid::WithoutBraces).toStdString()
                                   : info.address().toString().toStdString();
}

std::string uuidText(const QBluetoothUuid& uuid) {
    return normalizedBLEUUID(uuid.toString(QUuid::WithoutBraces).toStdString()).value_or(std::string());
}

BLEAdvertisement advertisementOf(const QBluetoothDeviceInfo& info) {
    BLEAdvertisement advertisement;
    advertisement.deviceID = deviceIDOf(info);
    // Qt cannot tell a nameless device from an empty name: both count as no name.
    if (!info.name().isEmpty()) advertisement.name = info.name().toStdString();
    for (const QBluetoothUuid& uuid : info.serviceUuids()) advertisement.serviceUUIDs.push_back(uuidText(uuid));
    return advertisement;
}

std::string serviceErrorText(QLowEnergyService::ServiceError error) {
    return QMetaEnum::fromType<QLowEnergyService::ServiceError>().valueToKey(error);
}

} // namespace

struct QtBLECentral::Radio {
    struct Service {
        QLowEnergyService* object = nullptr;
        std::vector<QLowEnergyCharacteristic> characteristics;
        bool detailsReported = false;
    };

    BLECentralDelegate* delegate = nullptr; // none once shut down: nothing is reported then
    QObject* context = nullptr;
    QBluetoothLocalDevice* local = nullptr;
    QBluetoothDeviceDiscoveryAgent* agent = nullptr;
    bool scanning = false;
    std::map<std::string, QBluetoothDeviceInfo> seen;

    // The device link. Its signals reach us through `scope`, deleted with the link, and carry
    // the link's number so that nothing of an earlier link is taken for the current one.
    QLowEnergyController* link = nullptr;
    QObject* scope = nullptr;
    std::uint64_t linkNumber = 0;
    bool linkUp = false;
    bool servicesReported = false;
    std::vector<QBluetoothUuid> serviceOrder;
    std::vector<Service> services;

    const QLowEnergyCharacteristic* characteristic(BLECharacteristicRef ref) const {
        if (ref.service >= services.size()) return nullptr;
        const auto& list = services[ref.service].characteristics;
        return ref.characteristic < list.size() ? &list[ref.characteristic] : nullptr;
    }

    // Closes the link without a report: the link is no longer current before Qt is told, and
    // everything goes later, as this may run within one of the link's own signals.
    void dropLink() {
        if (!link) return;
        QLowEnergyController* closing = link;
        link = nullptr;
        scope->deleteLater();
        scope = nullptr;
        linkUp = false;
        servicesReported = false;
        serviceOrder.clear();
        services.clear(); // their objects are children of the link
        closing->disconnectFromDevice();
        closing->deleteLater();
    }
};

QtBLECentral::QtBLECentral() : radio_(std::make_unique<Radio>()) { radio_->context = thread_.context(); }

QtBLECentral::~QtBLECentral() {
    thread_.post([radio = radio_.get()] {
        radio->delegate = nullptr;
        radio->scanning = false;
        if (radio->agent) radio->agent->stop();
        radio->dropLink();
    });
}

void QtBLECentral::start(BLECentralDelegate& delegate) {
    thread_.post([radio = radio_.get(), &delegate] {
        radio->delegate = &delegate;
        radio->local = new QBluetoothLocalDevice(radio->context);
        QObject::connect(radio->local, &QBluetoothLocalDevice::hostModeStateChanged, radio->context,
                         [radio](QBluetoothLocalDevice::HostMode mode) {
                             if (radio->delegate) radio->delegate->radioStateChanged(QtBLEMapping::radioState(true, mode));
                         });
        delegate.radioStateChanged(QtBLEMapping::radioState(radio->local->isValid(), radio->local->hostMode()));
    });
}

void QtBLECentral::post(std::function<void()> work) { thread_.post(std::move(work)); }

void QtBLECentral::schedule(std::chrono::milliseconds delay, std::function<void()> work) {
    thread_.postAfter(delay, [radio = radio_.get(), work = std::move(work)] {
        if (radio->delegate) work();
    });
}

void QtBLECentral::startScan() {
    Radio* radio = radio_.get();
    if (!radio->agent) {
        radio->agent = new QBluetoothDeviceDiscoveryAgent(radio->context);
        radio->agent->setLowEnergyDiscoveryTimeout(0); // until stopped
        QObject::connect(radio->agent, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, radio->context,
                         [radio](const QBluetoothDeviceInfo& info) {
                             if (!radio->delegate || !radio->scanning) return;
                             if (!(info.coreConfigurations() & QBluetoothDeviceInfo::LowEnergyCoreConfiguration)) return;
                             radio->seen.insert_or_assign(deviceIDOf(info), info);
                             radio->delegate->deviceDiscovered(advertisementOf(info));
                         });
        QObject::connect(radio->agent, &QBluetoothDeviceDiscoveryAgent::errorOccurred, radio->context,
                         [radio](QBluetoothDeviceDiscoveryAgent::Error error) {
                             if (!radio->delegate || !radio->scanning) return;
                             radio->scanning = false;
                             if (auto state = QtBLEMapping::radioState(error)) radio->delegate->radioStateChanged(*state);
                             else radio->delegate->scanFailed(radio->agent->errorString().toStdString());
                         });
        // Some stacks end a scan on their own: it goes on until we stop it.
        QObject::connect(radio->agent, &QBluetoothDeviceDiscoveryAgent::finished, radio->context, [radio] {
            if (radio->scanning) radio->agent->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
        });
    }
    radio->seen.clear();
    radio->scanning = true;
    radio->agent->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
}

void QtBLECentral::stopScan() {
    radio_->scanning = false;
    if (radio_->agent && radio_->agent->isActive()) radio_->agent->stop();
}

void QtBLECentral::connectToDevice(const std::string& deviceID) {
    Radio* radio = radio_.get();
    radio->dropLink();
    const auto found = radio->seen.find(deviceID);
    if (found == radio->seen.end()) {
        // Reported from the queue, never from within the caller's own report.
        thread_.post([radio] {
            if (radio->delegate) radio->delegate->deviceConnectionFailed(std::nullopt);
        });
        return;
    }
    const std::uint64_t number = ++radio->linkNumber;
    radio->scope = new QObject(radio->context);
    radio->link = QLowEnergyController::createCentral(found->second, radio->context);
    QLowEnergyController* link = radio->link;
    auto current = [radio, number] { return radio->delegate && radio->link && radio->linkNumber == number; };

    QObject::connect(link, &QLowEnergyController::connected, radio->scope, [radio, current] {
        if (!current()) return;
        radio->linkUp = true;
        radio->delegate->deviceConnected();
    });
    QObject::connect(link, &QLowEnergyController::disconnected, radio->scope, [radio, current] {
        if (current()) radio->delegate->deviceDisconnected();
    });
    QObject::connect(link, &QLowEnergyController::errorOccurred, radio->scope, [radio, current, link] {
        if (!current()) return;
        const std::string text = link->errorString().toStdString();
        if (!radio->linkUp) {
            radio->delegate->deviceConnectionFailed(text);
        } else if (!radio->servicesReported) {
            radio->servicesReported = true;
            radio->delegate->servicesDiscovered(text, {});
        }
        // Later errors show as the link going down, or not at all: writes are not confirmed.
    });
    QObject::connect(link, &QLowEnergyController::serviceDiscovered, radio->scope, [radio, current](const QBluetoothUuid& uuid) {
        if (!current()) return;
        auto& order = radio->serviceOrder;
        if (std::find(order.begin(), order.end(), uuid) == order.end()) order.push_back(uuid);
    });
    QObject::connect(link, &QLowEnergyController::discoveryFinished, radio->scope, [radio, current, link] {
        if (!current() || radio->servicesReported) return;
        radio->servicesReported = true;
        std::vector<std::string> texts;
        for (std::size_t index = 0; index < radio->serviceOrder.size(); ++index) {
            const QBluetoothUuid& uuid = radio->serviceOrder[index];
            QLowEnergyService* service = link->createServiceObject(uuid, link);
            radio->services.push_back({service, {}, false});
            texts.push_back(uuidText(uuid));
            if (!service) continue;
            QObject::connect(service, &QLowEnergyService::stateChanged, radio->scope,
                             [radio, current, index, service](QLowEnergyService::ServiceState state) {
                                 if (!current() || state != QLowEnergyService::RemoteServiceDiscovered) return;
                                 auto& entry = radio->services[index];
                                 if (entry.detailsReported) return;
                                 entry.detailsReported = true;
                                 std::vector<BLECharacteristicInfo> infos;
                                 for (const QLowEnergyCharacteristic& c : service->characteristics()) {
                                     entry.characteristics.push_back(c);
                                     infos.push_back({uuidText(c.uuid()), static_cast<std::uint8_t>(c.properties().toInt())});
                                 }
                                 radio->delegate->characteristicsDiscovered(index, std::nullopt, std::move(infos));
                             });
            QObject::connect(service, &QLowEnergyService::errorOccurred, radio->scope,
                             [radio, current, index](QLowEnergyService::ServiceError error) {
                                 if (!current()) return;
                                 auto& entry = radio->services[index];
                                 if (entry.detailsReported) return; // a write error: writes are not confirmed
                                 entry.detailsReported = true;
                                 radio->delegate->characteristicsDiscovered(index, serviceErrorText(error), {});
                             });
            QObject::connect(service, &QLowEnergyService::characteristicChanged, radio->scope,
                             [radio, current, index](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                                 if (!current()) return;
                                 const auto& list = radio->services[index].characteristics;
                                 const auto found = std::find(list.begin(), list.end(), c);
                                 if (found == list.end()) return;
                                 radio->delegate->valueUpdated({index, static_cast<std::size_t>(found - list.begin())},
                                                               std::vector<std::uint8_t>(value.begin(), value.end()));
                             });
        }
        radio->delegate->servicesDiscovered(std::nullopt, std::move(texts));
    });
    link->connectToDevice();
}

void QtBLECentral::cancelConnection() { radio_->dropLink(); }

void QtBLECentral::discoverServices() {
    if (radio_->link) radio_->link->discoverServices();
}

void QtBLECentral::discoverCharacteristics(std::size_t service) {
    if (service < radio_->services.size() && radio_->services[service].object) {
        radio_->services[service].object->discoverDetails();
    } else if (service < radio_->services.size()) {
        // A service Qt would not open: reported as a failed discovery, from the queue.
        thread_.post([radio = radio_.get(), service, number = radio_->linkNumber] {
            if (!radio->delegate || radio->linkNumber != number || service >= radio->services.size()) return;
            radio->services[service].detailsReported = true;
            radio->delegate->characteristicsDiscovered(service, "InvalidService", {});
        });
    }
}

void QtBLECentral::setNotifications(BLECharacteristicRef ref, bool enabled) {
    const QLowEnergyCharacteristic* c = radio_->characteristic(ref);
    if (!c) return;
    const QLowEnergyDescriptor configuration = c->clientCharacteristicConfiguration();
    if (!configuration.isValid()) return;
    const QByteArray value = !enabled ? QLowEnergyCharacteristic::CCCDDisable
                             : (c->properties() & QLowEnergyCharacteristic::Notify)
                                 ? QLowEnergyCharacteristic::CCCDEnableNotification
                                 : QLowEnergyCharacteristic::CCCDEnableIndication;
    radio_->services[ref.service].object->writeDescriptor(configuration, value);
}

std::size_t QtBLECentral::maximumWriteLength() const {
    return QtBLEMapping::maximumWriteLength(radio_->link ? radio_->link->mtu() : 0);
}

void QtBLECentral::write(BLECharacteristicRef ref, std::span<const std::uint8_t> value, bool withResponse) {
    const QLowEnergyCharacteristic* c = radio_->characteristic(ref);
    if (!c) return;
    const QByteArray bytes(reinterpret_cast<const char*>(value.data()), static_cast<qsizetype>(value.size()));
    radio_->services[ref.service].object->writeCharacteristic(
        *c, bytes, withResponse ? QLowEnergyService::WriteWithResponse : QLowEnergyService::WriteWithoutResponse);
}

} // namespace veq
