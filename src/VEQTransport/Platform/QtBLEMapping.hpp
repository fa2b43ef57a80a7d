#pragma once

#include "VEQTransport/BLECentral.hpp"

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothLocalDevice>

#include <cstddef>
#include <optional>

// How Qt Bluetooth's words map onto the radio states and limits the transport reasons with.
namespace veq::QtBLEMapping {

// Qt has no radio state numbers: no adapter is `unsupported` (2), a switched-off one
// `poweredOff` (4), any other mode `poweredOn` (5).
BLERadioState radioState(bool adapterIsValid, QBluetoothLocalDevice::HostMode mode);

// The radio state a scan error stands for (a missing permission is `unauthorized`, 3);
// nothing for an error that says nothing of the radio.
std::optional<BLERadioState> radioState(QBluetoothDeviceDiscoveryAgent::Error error);

// The longest write: the ATT MTU less the 3 bytes of the write header, at least 1; the
// default MTU of 23 while Qt reports none.
std::size_t maximumWriteLength(int mtu);

} // namespace veq::QtBLEMapping
