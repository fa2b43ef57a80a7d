#include "VEQTransport/Platform/QtBLEMapping.hpp"

#include <algorithm>

namespace veq::QtBLEMapping {

namespace {
constexpr int defaultMTU = 23;
constexpr int writeHeaderBytes = 3;
} // namespace

BLERadioState radioState(bool adapterIsValid, QBluetoothLocalDevice::HostMode mode) {
    if (!adapterIsValid) return BLERadioState::unsupported;
    return mode == QBluetoothLocalDevice::HostPoweredOff ? BLERadioState::poweredOff : BLERadioState::poweredOn;
}

std::optional<BLERadioState> radioState(QBluetoothDeviceDiscoveryAgent::Error error) {
    switch (error) {
    case QBluetoothDeviceDiscoveryAgent::PoweredOffError: return BLERadioState::poweredOff;
    case QBluetoothDeviceDiscoveryAgent::InvalidBluetoothAdapterError:
    case QBluetoothDeviceDiscoveryAgent::UnsupportedPlatformError:
    case QBluetoothDeviceDiscoveryAgent::UnsupportedDiscoveryMethod: return BLERadioState::unsupported;
    case QBluetoothDeviceDiscoveryAgent::MissingPermissionsError: return BLERadioState::unauthorized;
    default: return std::nullopt;
    }
}

std::size_t maximumWriteLength(int mtu) {
    if (mtu <= 0) mtu = defaultMTU;
    return static_cast<std::size_t>(std::max(1, mtu - writeHeaderBytes));
}

} // namespace veq::QtBLEMapping
