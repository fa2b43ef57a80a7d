#include "OskavelCarApp/Startup.hpp"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLockFile>
#include <QTranslator>
#include <QtGlobal>

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

std::unique_ptr<QLockFile> claimDataFolder(const std::filesystem::path& folder) {
    std::error_code ignored; // an unusable folder fails the lock below
    std::filesystem::create_directories(folder, ignored);
    auto lock = std::make_unique<QLockFile>(QString::fromStdString((folder / instanceLockName).string()));
    // Never stale by age: only a holder that no longer runs gives it up.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) return lock;
    if (lock->error() == QLockFile::LockFailedError) return nullptr;
    // A folder the lock cannot be written into: the catalogue cannot be opened there either, and
    // the window says so; refusing here would only hide why.
    return lock;
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
