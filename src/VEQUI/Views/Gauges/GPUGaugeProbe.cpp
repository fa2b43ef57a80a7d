#include "VEQUI/Views/Gauges/GPUGaugeProbe.hpp"

#include "VEQUI/Views/Gauges/GPUGaugeView.hpp"
#include "VEQUI/Views/Gauges/GaugeRenderer.hpp"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QThread>

#include <array>
#include <cstdlib>
#include <string_view>

namespace veq {

namespace {

// Renderer names of the software rasterisers, compared case-insensitively.
constexpr std::array<QStringView, 6> softwareRenderers{
    u"llvmpipe", u"softpipe", u"swiftshader", u"software rasterizer", u"apple software renderer",
    u"microsoft basic render driver",
};

QString currentRenderer(QOpenGLContext& context) {
    const auto* name = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    return name ? QString::fromLatin1(name) : QString();
}

bool softwareAccepted() {
    const char* value = std::getenv(kAcceptSoftwareOpenGLVariable);
    return value && *value && std::string_view(value) != "0";
}

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
    const bool built = rendererDrawsDials(currentRenderer(context), softwareAccepted()) && GaugeRenderer::create() != nullptr;
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

bool isSoftwareRenderer(QStringView renderer) {
    for (const auto name : softwareRenderers) {
        if (renderer.contains(name, Qt::CaseInsensitive)) return true;
    }
    return false;
}

bool rendererDrawsDials(QStringView renderer, bool acceptSoftware) {
    return acceptSoftware || !isSoftwareRenderer(renderer);
}

bool gpuGaugeSupported() {
    static const bool supported = tryRenderer();
    return supported;
}

namespace VEQDiagnostics {
bool gpuGaugeAvailable() { return gpuGaugeSupported(); }
} // namespace VEQDiagnostics

} // namespace veq
