#include "VEQUI/Views/AppLook.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

// The expert screens as the application draws them (its style, palette, font and icons), on the
// offscreen platform whatever the environment says, so that every picture comes out the same.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    veq::applyApplicationLook();
    QDir().mkpath(QStringLiteral(VEQ_SCREENS_DIR));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
