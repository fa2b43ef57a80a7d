#include "VEQUI/Views/SymbolIcons.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFont>

// Run under xvfb-run with QT_QPA_PLATFORM=xcb: the dial needs a real OpenGL context.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    veq::configureIconTheme();
    QDir().mkpath(QStringLiteral(VEQ_SCREENS_DIR));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
