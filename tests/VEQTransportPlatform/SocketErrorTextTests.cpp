#include "VEQTransport/Platform/SocketErrorText.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

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

// What a read or a write on the connected socket reports.
TEST(SocketErrorTextTests, SystemErrorsOfTheConnectedSocketReadAsTheirSocketErrors) {
    const std::pair<int, std::string> cases[] = {
        {ECONNRESET, "Connexion fermée par l'adaptateur"},   {EPIPE, "Connexion fermée par l'adaptateur"},
        {ENETUNREACH, "Réseau ou hôte injoignable"},         {EHOSTUNREACH, "Réseau ou hôte injoignable"},
        {ETIMEDOUT, "Délai réseau dépassé"},                 {ECONNREFUSED, "Connexion refusée"},
        {EBADF, std::system_category().message(EBADF)},
    };
    for (const auto& [error, text] : cases) EXPECT_EQ(socketErrorText(error), text) << error;
}
