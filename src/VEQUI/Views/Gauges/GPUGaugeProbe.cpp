#include "VEQUI/Views/Gauges/GPUGaugeProbe.hpp"

#include "VEQUI/Views/Gauges/GPUGaugeView.hpp"
#include "VEQUI/Views/Gauges/GaugeRenderer.hpp"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QThread>

#include <array>

namespace veq {

namespace {

bool tryRenderer() {
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!application || QThread::currentThread() != application->thread()) return false;
    if (!platformCanGiveOpenGL(QGuiApplication::platformName())) return false;

    QOpenGLContext context;
    context.setFormat(GPUGaugeView::surfaceFormat());
    if (!context.create()) return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) return false;
    const bool built = GaugeRenderer::create() != nullptr;
    context.doneCurrent();
    return built;
}

} // namespace

bool platformCanGiveOpenGL(QStringView platformName) {
    static constexpr std::array<QStringView, 4> exact{u"xcb", u"eglfs", u"cocoa", u"windows"};
    for (const auto name : exact) {
        if (platformName == name) return true;
    }
    return platformName.startsWith(u"wayland");
}

bool gpuGaugeSupported() {
    static const bool supported = tryRenderer();
    return supported;
}

namespace VEQDiagnostics {
bool gpuGaugeAvailable() { return gpuGaugeSupported(); }
} // namespace VEQDiagnostics

} // namespace veq
