#include "VEQUI/Support/TextRecorder.hpp"

#include "VEQUI/Views/Kit/CachedTexts.hpp"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QOpenGLWidget>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace veq::testing {

// Declares every feature so that QPainter hands text items over as they are, in the painter's
// logical coordinates, instead of turning them into paths or routing them through an emulation.
class TextRecorder::Engine : public QPaintEngine {
public:
    Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    std::vector<RecordedText> texts;

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    Type type() const override { return QPaintEngine::User; }

    void drawRects(const QRect*, int) override {}
    void drawRects(const QRectF*, int) override {}
    void drawLines(const QLine*, int) override {}
    void drawLines(const QLineF*, int) override {}
    void drawEllipse(const QRectF&) override {}
    void drawEllipse(const QRect&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPoints(const QPointF*, int) override {}
    void drawPoints(const QPoint*, int) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}

    void drawTextItem(const QPointF& origin, const QTextItem& item) override {
        const QPainter* p = painter();
        // The painter's whole matrix: its world transform and the redirection of a widget's paint.
        const QTransform toDevice = p->deviceTransform();
        const QFont font = item.font();
        const QString text = item.text();
        const QRectF glyphs = QFontMetricsF(font).tightBoundingRect(text);
        QRectF bounds;
        if (toDevice.type() <= QTransform::TxTranslate) {
            // The raster engine puts the baseline on the nearest pixel row: an accent one row
            // over the edge is cut, however close the fractional baseline is.
            const QPointF at = toDevice.map(origin);
            bounds = glyphs.translated(at.x(), std::round(at.y()));
        } else {
            bounds = toDevice.mapRect(glyphs.translated(origin));
        }
        RecordedText recorded{text, font, bounds, std::nullopt};
        if (p->hasClipping()) recorded.clip = toDevice.mapRect(p->clipBoundingRect());
        texts.push_back(std::move(recorded));
    }
};

TextRecorder::TextRecorder(QSize size) : size_(size), engine_(std::make_unique<Engine>()) {}

TextRecorder::~TextRecorder() = default;

QPaintEngine* TextRecorder::paintEngine() const { return engine_.get(); }

const std::vector<RecordedText>& TextRecorder::texts() const { return engine_->texts; }

int TextRecorder::metric(PaintDeviceMetric metric) const {
    // The screen's resolution, so that fonts resolve as on the window.
    const QScreen* screen = QGuiApplication::primaryScreen();
    switch (metric) {
    case PdmWidth: return size_.width();
    case PdmHeight: return size_.height();
    case PdmWidthMM: return qRound(size_.width() * 25.4 / 96);
    case PdmHeightMM: return qRound(size_.height() * 25.4 / 96);
    case PdmNumColors: return 0;
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmPhysicalDpiX: return screen ? qRound(screen->logicalDotsPerInchX()) : 96;
    case PdmDpiY:
    case PdmPhysicalDpiY: return screen ? qRound(screen->logicalDotsPerInchY()) : 96;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
    }
    return 0;
}

std::vector<RecordedText> paintedTexts(QWidget& widget) {
    if (qobject_cast<QOpenGLWidget*>(&widget)) return {}; // nothing for a recorder to read
    TextRecorder recorder(widget.size());
    widget.render(&recorder, QPoint(), QRegion(), {});
    if (const auto* cached = dynamic_cast<const CachedTexts*>(&widget)) {
        QPainter painter(&recorder);
        cached->paintCachedTexts(painter);
    }
    return recorder.texts();
}

} // namespace veq::testing
