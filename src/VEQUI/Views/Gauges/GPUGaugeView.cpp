#include "VEQUI/Views/Gauges/GPUGaugeView.hpp"

#include "VEQUI/Views/Gauges/GaugeRenderer.hpp"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>

namespace veq {

namespace {
// 60 frames a second: the needle's spring takes one 1/60 s step per frame. Paced by a timer,
// never by buffer swaps, which run unthrottled where there is no vertical sync.
constexpr int frameMilliseconds = 16;
} // namespace

GPUGaugeView::GPUGaugeView(QWidget* parent) : QOpenGLWidget(parent) {
    setFormat(surfaceFormat());
    setAttribute(Qt::WA_AlwaysStackOnTop);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    frameTimer_.setInterval(frameMilliseconds);
    connect(&frameTimer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

GPUGaugeView::~GPUGaugeView() {
    // The base class destroys the context after this object is gone: no callback may reach it.
    if (context()) disconnect(context(), nullptr, this, nullptr);
    // The renderer's buffers belong to this widget's context.
    if (renderer_) {
        makeCurrent();
        renderer_.reset();
        doneCurrent();
    }
}

QSurfaceFormat GPUGaugeView::surfaceFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(0);
    format.setStencilBufferSize(8);
    return format;
}

void GPUGaugeView::setValues(const Values& values) {
    values_ = values;
    copyValuesToRenderer();
}

void GPUGaugeView::setOverlay(Overlay overlay) {
    overlay_ = std::move(overlay);
    update();
}

double GPUGaugeView::drawnFraction() const { return renderer_ ? renderer_->currentFraction() : 0.0; }

void GPUGaugeView::copyValuesToRenderer() {
    if (!renderer_) return;
    auto& u = renderer_->uniforms;
    u.valueColor = values_.valueColor;
    u.fraction = static_cast<float>(values_.fraction);
    u.glow = static_cast<float>(values_.glow);
    u.redlineStart = static_cast<float>(values_.redlineStart);
    u.majorTicks = static_cast<float>(values_.majorTicks);
    u.peakFraction = static_cast<float>(values_.peakFraction);
}

void GPUGaugeView::initializeGL() {
    renderer_ = GaugeRenderer::create();
    copyValuesToRenderer();
    // The context goes away when the widget moves to another window: free the GL objects first.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GPUGaugeView::releaseRenderer,
            Qt::UniqueConnection);
}

void GPUGaugeView::releaseRenderer() {
    makeCurrent();
    renderer_.reset();
    doneCurrent();
}

void GPUGaugeView::paintGL() {
    auto* gl = context()->functions();
    gl->glClearColor(0, 0, 0, 0);
    gl->glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    const double ratio = devicePixelRatioF();
    if (renderer_) renderer_->draw(QSize(qRound(width() * ratio), qRound(height() * ratio)));
    if (overlay_) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        overlay_(painter, QRectF(rect()));
    }
    ++framesDrawn_;
}

void GPUGaugeView::showEvent(QShowEvent* event) {
    QOpenGLWidget::showEvent(event);
    frameTimer_.start();
}

void GPUGaugeView::hideEvent(QHideEvent* event) {
    frameTimer_.stop();
    QOpenGLWidget::hideEvent(event);
}

} // namespace veq
