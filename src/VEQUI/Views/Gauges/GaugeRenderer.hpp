#pragma once

#include "VEQUI/Views/Gauges/DampedSpring.hpp"
#include "VEQUI/Views/Gauges/GaugeShaderSource.hpp"
#include "VEQUI/Views/Gauges/GaugeUniforms.hpp"

#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QSize>

#include <memory>

namespace veq {

// Draws one gauge dial with a single full-view triangle whose fragment stage reads the uniform
// block. Lives in one OpenGL context (3.3 core): it is built, used and destroyed with that
// context current.
class GaugeRenderer {
public:
    // The needle's spring: critically damped at 42 rad/s (1764 = 42 squared, 84 = 2 x 42),
    // stepped once per frame at 60 frames a second whatever the real frame time.
    static constexpr double stiffness = 1764.0;
    static constexpr double damping = 84.0;
    static constexpr double frameInterval = 1.0 / 60.0;

    // Compiles the bundle's shaders, or the given ones, in the current context; nothing when
    // there is no current context, a file or section is missing, a stage does not compile or
    // link, or the compiled uniform block does not have GaugeUniforms' layout.
    static std::unique_ptr<GaugeRenderer> create();
    static std::unique_ptr<GaugeRenderer> create(const GaugeShaderSource& source);

    ~GaugeRenderer();
    GaugeRenderer(const GaugeRenderer&) = delete;
    GaugeRenderer& operator=(const GaugeRenderer&) = delete;

    // Latest values from the view; `fraction` is the spring's target, not what is drawn.
    GaugeUniforms uniforms;

    // One frame: a spring step, then the dial drawn into the bound framebuffer of that size.
    void draw(QSize drawablePixels);
    void stepSpring();

    double currentFraction() const { return spring_.position(); }
    double velocity() const { return spring_.velocity(); }

    // What one frame uploads: the view's values with the drawable size and the drawn fraction.
    static GaugeUniforms frameUniforms(const GaugeUniforms& values, QSize drawablePixels, double drawnFraction);

private:
    GaugeRenderer() = default;
    bool build(const GaugeShaderSource& source);

    QOpenGLShaderProgram program_;
    QOpenGLVertexArrayObject vertexArray_;
    unsigned int uniformBuffer_ = 0;
    DampedSpring spring_{stiffness, damping};
};

} // namespace veq
