#include "VEQUI/Views/Instruments/GaugeFocusView.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/CarbonBackground.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/GearStripView.hpp"
#include "VEQUI/Views/Instruments/HeroTachometer.hpp"
#include "VEQUI/Views/Instruments/InstrumentMotion.hpp"
#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace veq {

namespace {

namespace R = InstrumentReadings;

constexpr double carbonOpacity = 0.45;
constexpr double vignetteStart = 0.8; // × side
constexpr double vignetteEnd = 2.4;   // × side
constexpr double vignetteOpacity = 0.6;
constexpr double flankSize = 0.82;
constexpr double heroSize = 1.12;
constexpr double gaugeSpacing = 0.06;
constexpr int rowSpacing = 18;
constexpr int columnPadding = 24;
constexpr double hintPadding = 18;
constexpr int hideFadeMilliseconds = 500;
// The platform's default animation: a short ease in and out.
constexpr int showFadeMilliseconds = 350;

QFont hintFont() { return VEQ::label(11, QFont::Medium); }

} // namespace

GaugeFocusView::GaugeFocusView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), coalescer_([this] { refresh(); }, this),
      leftFlank_(new CircularGaugeView(CircularGauge{}, this)),
      hero_(new HeroTachometer(HeroReadout::focus, this)),
      rightFlank_(new CircularGaugeView(CircularGauge{}, this)),
      gearStrip_(new GearStripView(GearStripView::focus, this)) {
    setObjectName(QStringLiteral("gaugeFocusView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    leftFlank_->setObjectName(QStringLiteral("focusLeftFlank"));
    rightFlank_->setObjectName(QStringLiteral("focusRightFlank"));
    hero_->setObjectName(QStringLiteral("focusHero"));
    gearStrip_->setObjectName(QStringLiteral("focusGearStrip"));

    hideTimer_.setSingleShot(true);
    hideTimer_.setInterval(hideDelayMilliseconds);
    connect(&hideTimer_, &QTimer::timeout, this, [this] { setChrome(false, hideFadeMilliseconds, QEasingCurve::OutCubic); });

    // Pointer movements over a child never reach its parent: every widget of the view reports
    // them here.
    watchPointer(this);
    for (QWidget* child : findChildren<QWidget*>()) watchPointer(child);

    InstrumentMotion::followTicks(coalescer_, {leftFlank_, hero_, rightFlank_}, *gearStrip_);

    const auto stale = [this] { coalescer_.request(); };
    connect(&model_.store(), &TelemetryStore::statsChanged, this, stale);
    for (const auto signal : {&AppModel::activeLayoutChanged, &AppModel::nightModeChanged, &AppModel::unitSystemChanged,
                              &AppModel::gearEstimatorChanged, &AppModel::selectedProfileChanged,
                              &AppModel::calibrationChanged}) {
        connect(&model_, signal, this, stale);
    }
    refresh();
}

void GaugeFocusView::watchPointer(QObject* object) {
    if (auto* widget = qobject_cast<QWidget*>(object)) widget->setMouseTracking(true);
    if (object != this) object->installEventFilter(this);
}

bool GaugeFocusView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::HoverMove) pointerMoved();
    return QWidget::eventFilter(watched, event);
}

void GaugeFocusView::setAnimated(bool animated) {
    animated_ = animated;
    InstrumentMotion::setAnimated({leftFlank_, hero_, rightFlank_}, *gearStrip_, animated);
    if (!animated && fade_) fade_->setCurrentTime(fade_->duration());
}

double GaugeFocusView::side() const { return std::min(width() / 3.25, height() * 0.78); }

QRectF GaugeFocusView::hintRect() const {
    const QFont font = hintFont();
    const double w = 12 + PaintText::width(font, hintText) + 12;
    const double h = 6 + PaintText::lineHeight(font) + 6;
    return QRectF(width() - hintPadding - w, hintPadding, w, h);
}

void GaugeFocusView::refresh() {
    const TelemetryStore& store = model_.store();
    const auto flanks = layoutFlankPIDs(model_.activeLayout());
    leftFlank_->setGauge(R::flankGauge(model_, flanks[0], R::focusShortName(flanks[0])));
    rightFlank_->setGauge(R::flankGauge(model_, flanks[1], R::focusShortName(flanks[1])));
    hero_->setReading(R::hero(model_), model_.accent());
    const auto gear = R::focusGear(store, model_.gearEstimator());
    gearStrip_->setContent({model_.gearEstimator().gearCount(), gear, R::GearSource::none, model_.accent()});
}

void GaugeFocusView::placeChildren() {
    const double s = side();
    const int flank = static_cast<int>(std::lround(s * flankSize));
    const int hero = static_cast<int>(std::lround(s * heroSize));
    const int gap = static_cast<int>(std::lround(s * gaugeSpacing));
    const int gearHeight = gearStrip_->rowHeight();
    const int glow = gearStrip_->glowMargin();
    const int rowWidth = 2 * flank + hero + 2 * gap;
    const int columnHeight = hero + rowSpacing + gearHeight;
    const int top = (height() - columnHeight) / 2;
    const int left = (width() - rowWidth) / 2;
    const int rowCentre = top + hero / 2;
    leftFlank_->setGeometry(left, rowCentre - flank / 2, flank, flank);
    hero_->setGeometry(left + flank + gap, top, hero, hero);
    rightFlank_->setGeometry(left + flank + gap + hero + gap, rowCentre - flank / 2, flank, flank);
    gearStrip_->setGeometry(columnPadding, top + hero + rowSpacing - glow, std::max(0, width() - 2 * columnPadding),
                            gearHeight + 2 * glow);
}

void GaugeFocusView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeChildren();
}

void GaugeFocusView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    scheduleChromeHide();
}

void GaugeFocusView::pointerMoved() {
    if (!showChrome_) setChrome(true, showFadeMilliseconds, QEasingCurve::InOutQuad);
    scheduleChromeHide();
}

void GaugeFocusView::scheduleChromeHide() { hideTimer_.start(); }

void GaugeFocusView::setChrome(bool shown, int milliseconds, QEasingCurve curve) {
    showChrome_ = shown;
    if (fade_) {
        fade_->stop();
        fade_->deleteLater();
        fade_ = nullptr;
    }
    const double target = shown ? 1.0 : 0.0;
    if (!animated_) {
        chromeOpacity_ = target;
        update(hintRect().toAlignedRect());
        return;
    }
    fade_ = new QVariantAnimation(this);
    fade_->setDuration(milliseconds);
    fade_->setEasingCurve(curve);
    fade_->setStartValue(chromeOpacity_);
    fade_->setEndValue(target);
    connect(fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        chromeOpacity_ = v.toDouble();
        update(hintRect().toAlignedRect());
    });
    fade_->start();
}

void GaugeFocusView::paintEvent(QPaintEvent* event) {
    const qreal ratio = devicePixelRatioF();
    if (backdrop_.deviceIndependentSize().toSize() != size() || backdrop_.devicePixelRatio() != ratio) {
        const double s = side();
        std::optional<Vignette> vignette;
        if (s > 0) vignette = Vignette{s * vignetteStart, s * vignetteEnd, vignetteOpacity};
        backdrop_ = makeInstrumentBackdrop(size(), ratio, carbonOpacity, vignette);
    }
    QPainter painter(this);
    const QRect area = event->rect();
    painter.drawPixmap(area, backdrop_, QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));

    if (chromeOpacity_ <= 0) return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setOpacity(chromeOpacity_);
    const QRectF pill = hintRect();
    QPainterPath capsule;
    capsule.addRoundedRect(pill, pill.height() / 2, pill.height() / 2);
    QColor fill = VEQ::surface1();
    fill.setAlphaF(0.8f);
    painter.fillPath(capsule, fill);
    PaintText::drawCentred(painter, hintFont(), VEQ::textSecondary(), hintText, pill.center());
}

} // namespace veq
