#include "OskavelCarApp/Startup.hpp"

#include "OskavelCarApp/InterruptedDrives.hpp"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QtGlobal>

#include <exception>

namespace veq::Startup {

namespace {

std::optional<std::string> variable(const char* name) {
    const QByteArray value = qgetenv(name);
    if (value.isEmpty()) return std::nullopt;
    return value.toStdString();
}

} // namespace

DisplayEnvironment DisplayEnvironment::current() {
    return {variable("DISPLAY"), variable("WAYLAND_DISPLAY"), variable("QT_QPA_PLATFORM")};
}

bool displayAvailable(const DisplayEnvironment& environment) {
#if defined(Q_OS_MACOS) || defined(Q_OS_WIN)
    (void)environment;
    return true;
#else
    const auto set = [](const std::optional<std::string>& value) { return value && !value->empty(); };
    return set(environment.display) || set(environment.waylandDisplay) || set(environment.qpaPlatform);
#endif
}

std::unique_ptr<DataFolderLock> claimDataFolder(const std::filesystem::path& folder) {
    std::error_code ignored; // an unusable folder gives a lock that holds nothing
    std::filesystem::create_directories(folder, ignored);
    return DataFolderLock::take(folder / instanceLockName);
}

void completeInterruptedDrives(const DataFolderLock& lock, const std::filesystem::path& sessionsFolder) {
    if (!lock.isLocked()) return;
    try {
        // Closed again before the window's catalogue opens the same store.
        SessionCatalog catalog(sessionsFolder);
        InterruptedDrives::completeAll(catalog);
    } catch (const std::exception&) {
        // Nothing here throws short of running out of memory: the drives then stay as they were.
    }
}

bool installQtTranslations(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void silenceQtMessages() {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

} // namespace veq::Startup
