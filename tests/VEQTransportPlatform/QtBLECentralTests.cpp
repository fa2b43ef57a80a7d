#include "VEQTransport/Platform/QtBLECentral.hpp"

#include "LoopbackServer.hpp"
#include "VEQTransport/BLETransport.hpp"
#include "VEQTransport/Platform/QtBLEMapping.hpp"

#include <gtest/gtest.h>

#include <future>

using namespace veq;
using namespace veq::testing;
using HostMode = QBluetoothLocalDevice::HostMode;
using AgentError = QBluetoothDeviceDiscoveryAgent::Error;

TEST(QtBLECentralTests, QtRadioWordsMapOntoTheStateNumbersOfTheErrorTexts) {
    struct Case {
        bool valid;
        HostMode mode;
        BLERadioState state;
    };
    // clang-format off
    const Case cases[] = {
        {false, QBluetoothLocalDevice::HostPoweredOff,   BLERadioState::unsupported},
        {false, QBluetoothLocalDevice::HostConnectable,  BLERadioState::unsupported},
        {true,  QBluetoothLocalDevice::HostPoweredOff,   BLERadioState::poweredOff},
        {true,  QBluetoothLocalDevice::HostConnectable,  BLERadioState::poweredOn},
        {true,  QBluetoothLocalDevice::HostDiscoverable, BLERadioState::poweredOn},
    };
    // clang-format on
    for (const Case& c : cases) EXPECT_EQ(QtBLEMapping::radioState(c.valid, c.mode), c.state);

    struct ErrorCase {
        AgentError error;
        std::optional<BLERadioState> state;
    };
    // clang-format off
    const ErrorCase errors[] = {
        {QBluetoothDeviceDiscoveryAgent::PoweredOffError,              BLERadioState::poweredOff},
        {QBluetoothDeviceDiscoveryAgent::InvalidBluetoothAdapterError, BLERadioState::unsupported},
        {QBluetoothDeviceDiscoveryAgent::UnsupportedPlatformError,     BLERadioState::unsupported},
        {QBluetoothDeviceDiscoveryAgent::UnsupportedDiscoveryMethod,   BLERadioState::unsupported},
        {QBluetoothDeviceDiscoveryAgent::MissingPermissionsError,      BLERadioState::unauthorized},
        {QBluetoothDeviceDiscoveryAgent::InputOutputError,             std::nullopt},
        {QBluetoothDeviceDiscoveryAgent::UnknownError,                 std::nullopt},
    };
    // clang-format on
    for (const ErrorCase& c : errors) EXPECT_EQ(QtBLEMapping::radioState(c.error), c.state) << c.error;
}

TEST(QtBLECentralTests, TheMaximumWriteIsTheMTULessThreeAndAtLeastOne) {
    const std::pair<int, std::size_t> cases[] = {{23, 20}, {185, 182}, {517, 514}, {4, 1}, {3, 1}, {-1, 20}, {0, 20}};
    for (const auto& [mtu, length] : cases) EXPECT_EQ(QtBLEMapping::maximumWriteLength(mtu), length) << mtu;
}

// On a machine without a Bluetooth adapter (as the build machines), connect fails at once with
// the radio's error text and never waits for a device. With an adapter it would scan real
// devices, which a test must not do.
TEST(QtBLECentralTests, WithoutAnAdapterConnectFailsWithTheRadioText) {
    if (!QBluetoothLocalDevice::allDevices().isEmpty()) GTEST_SKIP() << "this machine has a Bluetooth adapter";
    BLETransport transport(std::make_unique<QtBLECentral>());
    auto result = std::async(std::launch::async, [&] {
        try {
            transport.connect({});
            return std::string("ready");
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
    });
    ASSERT_EQ(result.wait_for(safetyTimeout), std::future_status::ready);
    EXPECT_EQ(result.get(), "connectionFailed(\"Bluetooth indisponible (2)\")");
    EXPECT_EQ(transport.state(), TransportState::failed("connectionFailed(\"Bluetooth indisponible (2)\")"));
}
