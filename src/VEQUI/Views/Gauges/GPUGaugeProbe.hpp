#pragma once

#include <QStringView>

namespace veq {

// True for the window-system platforms that can give an OpenGL context (xcb, wayland*, eglfs,
// cocoa, windows). On the others (offscreen, minimal, vnc, linuxfb, vkkhrdisplay ...) an OpenGL
// widget crashes, so the probe must not even try there.
bool platformCanGiveOpenGL(QStringView platformName);

// True when the OpenGL renderer string (GL_RENDERER) names a software rasteriser (llvmpipe,
// softpipe, SwiftShader ...): there the dial's shader runs on the processor and costs several
// cores, so it counts as no GPU.
bool isSoftwareRenderer(QStringView renderer);

// The environment variable with which the OpenGL tests accept a software rasteriser (Mesa's,
// under Xvfb) as a GPU, and with which the live window's benchmark may be run to compare that
// rasteriser's cost; users never need it.
inline constexpr char kAcceptSoftwareOpenGLVariable[] = "VEQ_TEST_ACCEPT_SOFTWARE_OPENGL";

// Whether a context whose renderer is `renderer` may draw the dials: a hardware renderer always,
// a software rasteriser only when `acceptSoftware`.
bool rendererDrawsDials(QStringView renderer, bool acceptSoftware);

// Whether gauges draw their dials on the GPU: computed once per process on first read, on the
// GUI thread of a running QGuiApplication, by building a gauge renderer in a throw-away 3.3 core
// context. False without such an application, on a platform without OpenGL, on a software
// rasteriser (unless the tests' variable above is set), or when any step of the renderer fails
// (no context, shader file or section missing, compile or link error).
bool gpuGaugeSupported();

namespace VEQDiagnostics {
// The same once-computed answer, for the start-up self-check.
bool gpuGaugeAvailable();
} // namespace VEQDiagnostics

} // namespace veq
