#include "OskavelCarApp/SelfCheck.hpp"
#include "OskavelCarApp/Startup.hpp"
#include "VEQUI/Views/Kit/AppLook.hpp"
#include "VEQUI/Views/Shell/MainWindow.hpp"
#include "VEQUI/Views/Kit/WidgetDialogs.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// Prints the check of the packaged resources and catalogues; no window. Without a display it
// runs on the offscreen platform, where no OpenGL context exists and the GPU row fails.
int selfCheck(int argc, char** argv) {
    veq::Startup::silenceQtMessages();
    if (!veq::Startup::displayAvailable(veq::Startup::DisplayEnvironment::current())) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    return veq::SelfCheck::run(std::cout) ? 1 : 0;
}

// Said on standard error and, where a window can open, in a message box. Offscreen nobody would
// see the box, and a test starting the program there must not wait on it.
void refuseSecondInstance() {
    const std::string_view message = veq::Startup::kAlreadyOpenMessage;
    std::cerr << message << '\n';
    if (QGuiApplication::platformName() == QStringLiteral("offscreen")) return;
    QMessageBox::warning(nullptr, QStringLiteral("Oskavel Car"),
                         QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

int runApplication(int argc, char** argv) {
    QApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("oskavel-car"));
    QGuiApplication::setDesktopFileName(QStringLiteral("oskavel-car"));
    veq::Startup::installQtTranslations(application);
    veq::applyApplicationLook();

    auto environment = veq::AppModel::Environment::standard();
    // Before anything opens the catalogue: held until the window has closed.
    const std::unique_ptr<veq::DataFolderLock> instance = veq::Startup::claimDataFolder(environment.dataFolder);
    if (!instance) {
        refuseSecondInstance();
        return 1;
    }
    veq::Startup::completeInterruptedDrives(*instance, environment.sessionsFolder());
    environment.dialogs = std::make_shared<veq::WidgetDialogs>();
    veq::MainWindow window(std::move(environment));
    window.show();
    window.raise();
    window.activateWindow();
    // The application ends when its window closes (the last window).
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    if (veq::SelfCheck::requested(arguments)) return selfCheck(argc, argv);
    if (!veq::Startup::displayAvailable(veq::Startup::DisplayEnvironment::current())) {
        std::cerr << veq::Startup::kNoDisplayMessage << '\n';
        return 1;
    }
    return runApplication(argc, argv);
}
