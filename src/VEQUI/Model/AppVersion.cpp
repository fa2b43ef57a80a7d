#include "VEQUI/Model/AppVersion.hpp"

#include "VEQUI/Model/SourceRevision.hpp" // generated at build time

#include <QMetaType>

namespace veq::AppVersion {

namespace {

QString key(std::string_view k) { return QString::fromLatin1(k.data(), static_cast<qsizetype>(k.size())); }

QString text(const QVariantMap& information, std::string_view k, const QString& fallback) {
    const auto it = information.constFind(key(k));
    if (it == information.constEnd() || it->typeId() != QMetaType::QString) return fallback;
    return it->toString();
}

} // namespace

QVariantMap mainInformation() {
    QVariantMap information;
    information.insert(key(shortVersionKey), QStringLiteral(VEQ_PROJECT_VERSION));
    if (const QString revision = QStringLiteral(VEQ_SOURCE_REVISION); !revision.isEmpty()) {
        information.insert(key(buildKey), revision);
    }
    return information;
}

QString shortVersion(const QVariantMap& information) { return text(information, shortVersionKey, QStringLiteral("dev")); }

QString build(const QVariantMap& information) { return text(information, buildKey, QStringLiteral("\u2014")); }

QString label(const QVariantMap& information) { return QStringLiteral("Oskavel Car v") + shortVersion(information); }

} // namespace veq::AppVersion
