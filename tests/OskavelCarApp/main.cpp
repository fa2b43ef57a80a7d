#include <gtest/gtest.h>

#include <QCoreApplication>

// Qt's translator and the child processes need an application object; no window is made here.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
