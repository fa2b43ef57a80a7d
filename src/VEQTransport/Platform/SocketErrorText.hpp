#pragma once

#include <QAbstractSocket>

#include <string>
#include <string_view>

namespace veq {

// The text a user reads for a socket error: French for the common ones (refused, host not
// found, network or host unreachable, timed out, closed by the adapter), Qt's own description
// (`qtText`) for the rest.
std::string socketErrorText(QAbstractSocket::SocketError error, std::string_view qtText);

// The same for an error number of the system's socket calls (errno), with the system's own
// description for the rest.
std::string socketErrorText(int systemError);

} // namespace veq
