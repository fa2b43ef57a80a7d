#include "VEQUI/Views/Instruments/CockpitView.hpp"

#include "VEQUI/Model/AppVersion.hpp"
#include "VEQUI/Model/DisplayUnits.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/CarbonBackground.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/CockpitTopBar.hpp"
#include "VEQUI/Views/Instruments/GearStripView.hpp"
#include "VEQUI/Views/Instruments/HeroTachometer.hpp"
#include "VEQUI/Views/Instruments/InstrumentMotion.hpp"
#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"
#include "VEQUI/Views/Kit/OverhangItem.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace veq {

namespace {

namespace R = InstrumentReadings;

constexpr int flankSide = 260;
constexpr int bandHeight = 82;
constexpr int bandBottom = 16;
constexpr double carbonOpacity = 0.5;
constexpr double vignetteStart = 240;
constexpr double vignetteEnd = 720;
constexpr double vignetteOpacity = 0.55;

// The value tiles' band, with the application's version under its right end.
class ValueBand : public QWidget {
public:
    explicit ValueBand(QWidget* parent) : QWidget(parent), version_(AppVersion::label()) {
        setFixedHeight(bandHeight + bandBottom);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QFont font = VEQ::label(9, QFont::Medium);
        QColor colour = VEQ::textSecondary();
        colour.setAlphaF(0.55f);
        const double bottom = height() - 2;
        PaintText::drawRight(painter, font, colour, version_, width() - 20, bottom - PaintText::lineHeight(font) / 2);
    }

private:
    QString version_;
};

} // namespace

CockpitView::CockpitView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), coalescer_([this] { refresh(); }, this),
      topBar_(new CockpitTopBar(model, this)),
      telltales_(new TelltaleStripView(TelltaleStrip{R::telltales(model.store(), false, model.accent())}, this)),
      leftFlank_(new CircularGaugeView(CircularGauge{}, this)),
      hero_(new HeroTachometer(HeroReadout::cockpit, this)),
      rightFlank_(new CircularGaugeView(CircularGauge{}, this)),
      gearStrip_(new GearStripView(GearStripView::cockpit, this)) {
    setObjectName(QStringLiteral("cockpitView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    telltales_->setObjectName(QStringLiteral("telltales"));
    leftFlank_->setObjectName(QStringLiteral("leftFlank"));
    rightFlank_->setObjectName(QStringLiteral("rightFlank"));
    hero_->setObjectName(QStringLiteral("heroTachometer"));
    gearStrip_->setObjectName(QStringLiteral("gearStrip"));
    telltales_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    telltales_->setFixedHeight(telltales_->sizeHint().height());

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(topBar_);
    column->addWidget(telltales_);

    auto* gauges = new QHBoxLayout();
    gauges->setContentsMargins(20, 14, 20, 14);
    gauges->setSpacing(14);
    leftFlank_->setFixedSize(flankSide, flankSide);
    rightFlank_->setFixedSize(flankSide, flankSide);
    hero_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    hero_->setMinimumSize(120, 120);
    gauges->addWidget(leftFlank_, 0, Qt::AlignVCenter);
    gauges->addWidget(hero_, 1);
    gauges->addWidget(rightFlank_, 0, Qt::AlignVCenter);
    column->addLayout(gauges, 1);

    // The lit box's glow spills over the gauge row and the tiles, drawn above them.
    gearStrip_->setFixedHeight(gearStrip_->sizeHint().height());
    column->addItem(new OverhangItem(gearStrip_));

    auto* band = new ValueBand(this);
    band->setObjectName(QStringLiteral("valueBand"));
    auto* tiles = new QHBoxLayout(band);
    tiles->setContentsMargins(20, 0, 20, bandBottom);
    tiles->setSpacing(10);
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        tiles_[i] = new ValueTileView(ValueTile{}, band);
        tiles_[i]->setObjectName(QStringLiteral("valueTile%1").arg(i));
        tiles_[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        tiles->addWidget(tiles_[i], 1, Qt::AlignBottom);
    }
    column->addWidget(band);
    gearStrip_->raise();

    InstrumentMotion::followTicks(coalescer_, {leftFlank_, hero_, rightFlank_}, *gearStrip_, tiles_);

    const auto stale = [this] { coalescer_.request(); };
    TelemetryStore& store = model_.store();
    connect(&store, &TelemetryStore::statsChanged, this, stale);
    connect(&store, &TelemetryStore::requestsPerSecondChanged, this, stale);
    connect(&store, &TelemetryStore::tripChanged, this, stale);
    for (const auto signal : {&AppModel::phaseChanged, &AppModel::dtcsChanged, &AppModel::activeLayoutChanged,
                              &AppModel::nightModeChanged, &AppModel::unitSystemChanged,
                              &AppModel::gearEstimatorChanged, &AppModel::selectedProfileChanged,
                              &AppModel::calibrationChanged, &AppModel::vinChanged, &AppModel::readFuelTypeChanged,
                              &AppModel::identifiedEngineChanged, &AppModel::profileMatchedFromVINChanged,
                              &AppModel::recognisedMakeChanged, &AppModel::linkNoticeChanged}) {
        connect(&model_, signal, this, stale);
    }
    refresh();
}

void CockpitView::setAnimated(bool animated) {
    topBar_->setAnimated(animated);
    InstrumentMotion::setAnimated({leftFlank_, hero_, rightFlank_}, *gearStrip_, animated, tiles_);
}

void CockpitView::refresh() {
    const TelemetryStore& store = model_.store();
    const QColor accent = model_.accent();
    const CockpitLayout layout = model_.activeLayout();
    topBar_->refresh();
    telltales_->set(TelltaleStrip{R::telltales(store, !model_.dtcs().empty(), accent)});

    const auto flanks = layoutFlankPIDs(layout);
    leftFlank_->setGauge(R::flankGauge(model_, flanks[0], R::shortName(flanks[0])));
    rightFlank_->setGauge(R::flankGauge(model_, flanks[1], R::shortName(flanks[1])));
    hero_->setReading(R::hero(model_), accent);

    const auto gear = R::cockpitGear(store, model_.gearEstimator());
    gearStrip_->setContent({model_.gearEstimator().gearCount(), gear.gear, gear.source, accent});

    const auto band = layoutBandPIDs(layout);
    const UnitSystem system = model_.unitSystem();
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        tiles_[i]->set(ValueTile{R::shortName(band[i]), QString::fromStdString(store.formatted(band[i], system)),
                                 DisplayUnits::unitSymbol(band[i], system), accent});
    }
}

void CockpitView::paintEvent(QPaintEvent* event) {
    const qreal ratio = devicePixelRatioF();
    if (backdrop_.deviceIndependentSize().toSize() != size() || backdrop_.devicePixelRatio() != ratio) {
        backdrop_ = makeInstrumentBackdrop(size(), ratio, carbonOpacity,
                                           Vignette{vignetteStart, vignetteEnd, vignetteOpacity});
    }
    QPainter painter(this);
    const QRect area = event->rect();
    painter.drawPixmap(area, backdrop_, QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
}

} // namespace veq
