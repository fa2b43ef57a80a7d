#pragma once

#include <QStringView>

namespace veq {

// True for the window-system platforms that can give an OpenGL context (xcb, wayland*, eglfs,
// cocoa, windows). On the others (offscreen, minimal, vnc, linuxfb, vkkhrdisplay ...) an OpenGL
// widget crashes, so the probe must not even try there.
bool platformCanGiveOpenGL(QStringView platformName);

// Whether gauges draw their dials on the GPU: computed once per process on first read, on the
// GUI thread of a running QGuiApplication, by building a gauge renderer in a throw-away 3.3 core
// context. False without such an application, on a platform without OpenGL, or when any step of
// the renderer fails (no context, shader file or section missing, compile or link error).
bool gpuGaugeSupported();

namespace VEQDiagnostics {
// The same once-computed answer, for the start-up self-check.
bool gpuGaugeAvailable();
} // namespace VEQDiagnostics

} // namespace veq
