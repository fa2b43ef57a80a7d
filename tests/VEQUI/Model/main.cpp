#include <gtest/gtest.h>

#include <QGuiApplication>

// The model's timers and queued results need an event loop; a QGuiApplication gives the colours
// what the screens will have. No window is ever shown, so the offscreen platform serves when
// none is chosen (test discovery runs without a display).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
