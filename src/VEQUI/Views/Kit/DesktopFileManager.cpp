#include "VEQUI/Views/Kit/DesktopFileManager.hpp"

#include <QDesktopServices>
#include <QUrl>

#if VEQ_HAS_DBUS
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

namespace veq::DesktopFileManager {

namespace {

QUrl fileUrl(const std::filesystem::path& path) { return QUrl::fromLocalFile(QString::fromStdString(path.string())); }

} // namespace

void openFolder(const std::filesystem::path& folder) { QDesktopServices::openUrl(fileUrl(folder)); }

void selectItem(const std::filesystem::path& item) {
    const std::filesystem::path parent = item.parent_path();
#if VEQ_HAS_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                           QStringLiteral("/org/freedesktop/FileManager1"),
                                           QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{fileUrl(item).toString()} << QString();
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, parent] {
            // No file manager answers on the bus: the parent folder is opened instead.
            if (watcher->isError()) openFolder(parent);
            watcher->deleteLater();
        });
        return;
    }
#endif
    openFolder(parent);
}

} // namespace veq::DesktopFileManager
