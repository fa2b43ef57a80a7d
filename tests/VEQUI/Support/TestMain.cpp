#include "VEQUI/Views/Kit/AppLook.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFont>

// The main of every screen suite. Pictures are drawn on the offscreen platform whatever the
// environment says (there the GPU probe answers false without trying OpenGL), unless the suite
// needs a real OpenGL context (VEQ_TEST_ON_X: run under xvfb-run with xcb). The shell's suites
// draw with the application's whole look; the gauge kit's with its font and icons only.
int main(int argc, char** argv) {
#ifndef VEQ_TEST_ON_X
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QApplication app(argc, argv);
#ifdef VEQ_TEST_APPLICATION_LOOK
    veq::applyApplicationLook();
#else
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    veq::configureIconTheme();
#endif
    QDir().mkpath(QStringLiteral(VEQ_SCREENS_DIR));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
