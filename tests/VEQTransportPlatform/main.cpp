#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// The links need an application object; its event loop never runs here, each link runs its own.
// Tracing is on so that the tests can read the lines the links write.
int main(int argc, char** argv) {
    ::setenv("VEQ_TRACE", "1", 1);
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
