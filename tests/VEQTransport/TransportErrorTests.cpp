#include "VEQTransport/TransportError.hpp"
#include "VEQTransport/TransportState.hpp"

#include <gtest/gtest.h>

using namespace veq;

TEST(TransportErrorTests, PrintedFormIsTheCaseNameWithItsText) {
    struct Case {
        TransportError error;
        TransportError::Kind kind;
        std::string_view printed;
    };
    // clang-format off
    const Case cases[] = {
        {TransportError::connectionFailed("Échec de connexion BLE"),      TransportError::Kind::connectionFailed, "connectionFailed(\"Échec de connexion BLE\")"},
        {TransportError::connectionFailed("Bluetooth indisponible (4)"),  TransportError::Kind::connectionFailed, "connectionFailed(\"Bluetooth indisponible (4)\")"},
        {TransportError::notConnected(),                                  TransportError::Kind::notConnected,     "notConnected"},
        {TransportError::timeout(),                                       TransportError::Kind::timeout,          "timeout"},
        {TransportError::deviceNotFound(),                                TransportError::Kind::deviceNotFound,   "deviceNotFound"},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(c.error.what(), c.printed);
        EXPECT_EQ(c.error.kind(), c.kind);
        const Error& base = c.error; // caught as any of our errors, it reads the same
        EXPECT_EQ(std::string_view(base.what()), c.printed);
    }
    EXPECT_EQ(TransportError::connectionFailed("x"), TransportError::connectionFailed("x"));
    EXPECT_NE(TransportError::connectionFailed("x"), TransportError::connectionFailed("y"));
    EXPECT_NE(TransportError::notConnected(), TransportError::deviceNotFound());
}

TEST(TransportErrorTests, StatesCompareByCaseAndFailureText) {
    EXPECT_EQ(TransportState(), TransportState::disconnected());
    EXPECT_EQ(TransportState::failed("a"), TransportState::failed("a"));
    EXPECT_NE(TransportState::failed("a"), TransportState::failed("b"));
    EXPECT_NE(TransportState::failed(""), TransportState::disconnected());
    EXPECT_NE(TransportState::connecting(), TransportState::connected());
    EXPECT_TRUE(TransportState::connected().isConnected());
    EXPECT_FALSE(TransportState::connecting().isConnected());

    // A radio that is switched off: the state carries the thrown error's printed form.
    const auto error = TransportError::connectionFailed("Bluetooth indisponible (4)");
    const auto state = TransportState::failed(error.what());
    EXPECT_EQ(state.kind(), TransportState::Kind::failed);
    EXPECT_EQ(state.failureText(), "connectionFailed(\"Bluetooth indisponible (4)\")");
}
