#include "VEQUI/Views/SymbolIcons.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFont>

// Screens are drawn on the offscreen platform, whatever the environment says: the GPU probe must
// answer false here without trying OpenGL, and every picture must come out the same on any machine.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    veq::configureIconTheme();
    QDir().mkpath(QStringLiteral(VEQ_SCREENS_DIR));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
