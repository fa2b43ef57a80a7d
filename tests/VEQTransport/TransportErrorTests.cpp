#include "VEQTransport/TransportError.hpp"
#include "VEQTransport/TransportState.hpp"

#include <gtest/gtest.h>

using namespace veq;

TEST(TransportErrorTests, PrintedFormIsTheCaseNameWithItsText) {
    const std::pair<TransportError, std::string_view> cases[] = {
        {TransportError::connectionFailed("Échec de connexion BLE"), "connectionFailed(\"Échec de connexion BLE\")"},
        {TransportError::notConnected(), "notConnected"},
        {TransportError::timeout(), "timeout"},
        {TransportError::deviceNotFound(), "deviceNotFound"},
    };
    for (const auto& [error, printed] : cases) {
        const Error& base = error; // caught as any of our errors, it reads the same
        EXPECT_EQ(std::string_view(base.what()), printed);
    }
    EXPECT_EQ(TransportError::timeout().kind(), TransportError::Kind::timeout);
    EXPECT_NE(TransportError::connectionFailed("x"), TransportError::connectionFailed("y"));
    EXPECT_NE(TransportError::notConnected(), TransportError::deviceNotFound());
}

TEST(TransportErrorTests, StatesCompareByCaseAndFailureText) {
    EXPECT_EQ(TransportState(), TransportState::disconnected());
    EXPECT_NE(TransportState::failed("a"), TransportState::failed("b"));
    EXPECT_NE(TransportState::failed(""), TransportState::disconnected());
    EXPECT_TRUE(TransportState::connected().isConnected());
    EXPECT_FALSE(TransportState::connecting().isConnected());
    const auto state = TransportState::failed(TransportError::connectionFailed("Bluetooth indisponible (4)").what());
    EXPECT_EQ(state.kind(), TransportState::Kind::failed);
    EXPECT_EQ(state.failureText(), "connectionFailed(\"Bluetooth indisponible (4)\")");
}
