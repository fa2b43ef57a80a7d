#include "VEQTransport/Platform/QtBLECentral.hpp"

#include "LoopbackServer.hpp"
#include "VEQTransport/BLETransport.hpp"
#include "VEQTransport/Platform/QtBLEMapping.hpp"

#include <gtest/gtest.h>

#include <future>

using namespace veq;
using namespace veq::testing;
using Local = QBluetoothLocalDevice;
using Agent = QBluetoothDeviceDiscoveryAgent;

TEST(QtBLECentralTests, QtRadioWordsMapOntoTheStateNumbersOfTheErrorTexts) {
    const std::tuple<bool, Local::HostMode, BLERadioState> modes[] = {
        {false, Local::HostConnectable, BLERadioState::unsupported}, {true, Local::HostPoweredOff, BLERadioState::poweredOff},
        {true, Local::HostConnectable, BLERadioState::poweredOn},
    };
    for (const auto& [valid, mode, state] : modes) EXPECT_EQ(QtBLEMapping::radioState(valid, mode), state) << valid << mode;
    const std::pair<Agent::Error, std::optional<BLERadioState>> errors[] = {
        {Agent::PoweredOffError, BLERadioState::poweredOff}, {Agent::InvalidBluetoothAdapterError, BLERadioState::unsupported},
        {Agent::MissingPermissionsError, BLERadioState::unauthorized}, {Agent::InputOutputError, std::nullopt},
    };
    for (const auto& [error, state] : errors) EXPECT_EQ(QtBLEMapping::radioState(error), state) << error;
}

TEST(QtBLECentralTests, TheMaximumWriteIsTheMTULessThreeAndAtLeastOne) {
    const std::pair<int, std::size_t> cases[] = {{23, 20}, {185, 182}, {4, 1}, {3, 1}, {-1, 20}, {0, 20}};
    for (const auto& [mtu, length] : cases) EXPECT_EQ(QtBLEMapping::maximumWriteLength(mtu), length) << mtu;
}

// Without a Bluetooth adapter (as on build machines) connect fails at once with the radio's
// text; with one it would scan real devices, which a test must not do.
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
}
