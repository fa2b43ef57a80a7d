#include "VEQTransport/Platform/SocketErrorText.hpp"

#include <gtest/gtest.h>

using namespace veq;

// By error code only: reaching "host not found" for real would look a name up off the machine.
TEST(SocketErrorTextTests, CommonErrorsReadInFrenchOthersAsQtWordsThem) {
    const std::pair<QAbstractSocket::SocketError, std::string> cases[] = {
        {QAbstractSocket::ConnectionRefusedError, "Connexion refusée"},
        {QAbstractSocket::HostNotFoundError, "Hôte introuvable"},
        {QAbstractSocket::NetworkError, "Réseau ou hôte injoignable"},
        {QAbstractSocket::SocketTimeoutError, "Délai réseau dépassé"},
        {QAbstractSocket::RemoteHostClosedError, "Connexion fermée par l'adaptateur"},
        {QAbstractSocket::SocketAccessError, "Qt's own words"},
        {QAbstractSocket::AddressInUseError, "Qt's own words"},
        {QAbstractSocket::UnknownSocketError, "Qt's own words"},
    };
    for (const auto& [error, text] : cases) EXPECT_EQ(socketErrorText(error, "Qt's own words"), text) << error;
}
