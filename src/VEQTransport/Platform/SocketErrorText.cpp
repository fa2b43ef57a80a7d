#include "VEQTransport/Platform/SocketErrorText.hpp"

#include <cerrno>
#include <system_error>

namespace veq {

namespace {

struct Row {
    QAbstractSocket::SocketError error;
    std::string_view text;
};

// Qt reports an unreachable network, an unreachable host and the system's own connection
// time-out alike as NetworkError.
// clang-format off
constexpr Row kTexts[] = {
    {QAbstractSocket::ConnectionRefusedError, "Connexion refusée"},
    {QAbstractSocket::HostNotFoundError,      "Hôte introuvable"},
    {QAbstractSocket::NetworkError,           "Réseau ou hôte injoignable"},
    {QAbstractSocket::SocketTimeoutError,     "Délai réseau dépassé"},
    {QAbstractSocket::RemoteHostClosedError,  "Connexion fermée par l'adaptateur"},
};
// clang-format on

struct SystemRow {
    int systemError;
    QAbstractSocket::SocketError error;
};

// clang-format off
constexpr SystemRow kSystemErrors[] = {
    {ECONNREFUSED, QAbstractSocket::ConnectionRefusedError},
    {ECONNRESET,   QAbstractSocket::RemoteHostClosedError},
    {EPIPE,        QAbstractSocket::RemoteHostClosedError},
    {ENETUNREACH,  QAbstractSocket::NetworkError},
    {EHOSTUNREACH, QAbstractSocket::NetworkError},
    {ENETDOWN,     QAbstractSocket::NetworkError},
    {EHOSTDOWN,    QAbstractSocket::NetworkError},
    {ETIMEDOUT,    QAbstractSocket::SocketTimeoutError},
};
// clang-format on

} // namespace

std::string socketErrorText(int systemError) {
    for (const SystemRow& row : kSystemErrors) {
        if (row.systemError == systemError) return socketErrorText(row.error, {});
    }
    return std::system_category().message(systemError);
}

std::string socketErrorText(QAbstractSocket::SocketError error, std::string_view qtText) {
    for (const Row& row : kTexts) {
        if (row.error == error) return std::string(row.text);
    }
    return std::string(qtText);
}

} // namespace veq
