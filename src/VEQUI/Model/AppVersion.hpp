#pragma once

#include <QString>
#include <QVariantMap>

#include <string_view>

// The running application's version texts, read from an information map each time they are
// asked for. A missing map, key, or a value that is not text gives the fallback.
namespace veq::AppVersion {

inline constexpr std::string_view shortVersionKey = "shortVersion";
inline constexpr std::string_view buildKey = "build";

// This program's information: the project version, and the source revision when the build
// knew it.
QVariantMap mainInformation();

// The short version; "dev" when absent.
QString shortVersion(const QVariantMap& information = mainInformation());
// The build; "—" when absent.
QString build(const QVariantMap& information = mainInformation());
// "Oskavel Car v" followed by the short version.
QString label(const QVariantMap& information = mainInformation());

} // namespace veq::AppVersion
