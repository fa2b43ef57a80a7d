#pragma once

#include "VEQUI/Views/Gauges/GaugeUniforms.hpp"

#include <QOpenGLWidget>
#include <QSurfaceFormat>
#include <QTimer>

#include <functional>
#include <memory>

namespace veq {

class GaugeRenderer;

// A gauge dial drawn on the GPU, stacked on top of the widgets behind it and transparent outside
// what the shader draws. Nothing may lie over it (it would be hidden), so texts that belong over
// the dial are painted here too, by the overlay function, after the dial of each frame.
class GPUGaugeView : public QOpenGLWidget {
public:
    // What the gauge hands to the dial; `fraction` is where the needle springs to.
    struct Values {
        double fraction = 0;
        double glow = 0;
        RGBA valueColor{0.0f, 0.9f, 1.0f, 1.0f};
        double redlineStart = 1;
        double majorTicks = 8;
        double peakFraction = 0;
    };
    using Overlay = std::function<void(QPainter&, const QRectF&)>;

    explicit GPUGaugeView(QWidget* parent = nullptr);
    ~GPUGaugeView() override;

    // OpenGL 3.3 core with an alpha channel (the dial is see-through) and a stencil for the
    // painter's text and paths.
    static QSurfaceFormat surfaceFormat();

    void setValues(const Values& values);
    const Values& values() const { return values_; }
    void setOverlay(Overlay overlay);

    // False until the first frame built the renderer, and when building it failed.
    bool hasRenderer() const { return renderer_ != nullptr; }
    // Frames painted so far, and where the needle stood in the last one.
    int framesDrawn() const { return framesDrawn_; }
    double drawnFraction() const;

protected:
    void initializeGL() override;
    void paintGL() override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void releaseRenderer();
    void copyValuesToRenderer();

    std::unique_ptr<GaugeRenderer> renderer_;
    Values values_;
    Overlay overlay_;
    QTimer frameTimer_;
    int framesDrawn_ = 0;
};

} // namespace veq
