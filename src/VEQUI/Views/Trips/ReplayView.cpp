#include "VEQUI/Views/Trips/ReplayView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/SegmentedPicker.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"
#include "VEQUI/Views/Trips/ReplayGauges.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace veq {

namespace {

constexpr int margin = 18;
constexpr int gaugeSpacing = 12;
constexpr int gaugeMinimum = 140;
constexpr double step = 1.0;      // seconds, Left and Right
constexpr double longStep = 10.0; // with Shift
// The slider counts milliseconds of the drive, which an int holds for 24 days.
constexpr double sliderUnit = 1000.0;
// A longer gap between ticks (the machine slept, a stall) plays as this much, not as a leap.
constexpr std::chrono::milliseconds longestTick{250};

int sliderPosition(double seconds) {
    const double position = std::clamp(seconds * sliderUnit, 0.0, static_cast<double>(std::numeric_limits<int>::max()));
    return static_cast<int>(std::lround(position));
}

std::chrono::steady_clock::time_point steadyNow() { return std::chrono::steady_clock::now(); }

// The replay seconds one tick plays: the real time since the last tick, at the rate.
double playedSeconds(std::chrono::steady_clock::duration elapsed, int rate) {
    const auto held = std::clamp<std::chrono::steady_clock::duration>(elapsed, {}, longestTick);
    return rate * std::chrono::duration<double>(held).count();
}

// The parameters of the newest snapshot: the store gives every snapshot every parameter read so
// far, so the newest holds them all.
std::vector<std::uint8_t> heldParameters(const TelemetryStore& store) {
    std::vector<std::uint8_t> held;
    if (store.snapshots().empty()) return held;
    for (const auto& [pid, value] : store.snapshots().back().values) held.push_back(pid);
    return held;
}

} // namespace

ReplayView::ReplayView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), header_(new HeaderBar(QStringLiteral("Revoir sur les compteurs"),
                                                            QStringLiteral("replaySummary"))),
      back_(new PlainButton(QStringLiteral("\u2039 Trajets"), {}, VEQ::label(13, QFont::Medium), model.accent())),
      empty_(ListScreen::makeEmptyState("gauge.with.needle.fill", 30, VEQ::textSecondary(),
                                        QStringLiteral("Aucun instantané du trajet pour l'instant : rien à revoir."))),
      dials_(new QWidget), grid_(new QGridLayout(dials_)), timeBar_(new QWidget),
      play_(new PlainButton(QStringLiteral("Lire"), "play.fill", VEQ::label(13, QFont::DemiBold), model.accent())),
      slider_(new QSlider(Qt::Horizontal)),
      clock_(makeLabel({}, VEQ::numeric(13, QFont::DemiBold), VEQ::textPrimary(), QStringLiteral("replayClock"))),
      ratePicker_(new SegmentedPicker({QStringLiteral("1\u00D7"), QStringLiteral("4\u00D7"), QStringLiteral("16\u00D7")},
                                      150,
                                      {.name = QStringLiteral("replayRatePicker"),
                                       .segmentName = QStringLiteral("replayRate"),
                                       .font = VEQ::label(12, QFont::Medium), .horizontalPadding = 6,
                                       .cornerRadius = 6})) {
    setObjectName(QStringLiteral("ReplayView"));
    // The keys go to the screen, not to its controls: the slider would take the arrows for itself.
    setFocusPolicy(Qt::StrongFocus);
    auto* column = new QVBoxLayout(this);
    ListScreen::openColumn(*column, header_, model_);
    header_->setSummary(QStringLiteral("Trajet en cours"), VEQ::textSecondary());
    back_->setObjectName(QStringLiteral("replayBackButton"));
    back_->setFocusPolicy(Qt::NoFocus);
    auto* headerRow = static_cast<QHBoxLayout*>(header_->layout());
    headerRow->insertWidget(0, back_, 0, Qt::AlignVCenter);
    headerRow->insertSpacing(1, 16);

    empty_->setObjectName(QStringLiteral("replayEmpty"));
    column->addWidget(empty_, 1);
    dials_->setObjectName(QStringLiteral("replayGauges"));
    grid_->setContentsMargins(margin, margin, margin, 0);
    grid_->setSpacing(gaugeSpacing);
    column->addWidget(dials_, 1);

    timeBar_->setObjectName(QStringLiteral("replayTimeBar"));
    auto* bar = new QHBoxLayout(timeBar_);
    bar->setContentsMargins(margin, 12, margin, margin);
    bar->setSpacing(14);
    play_->setObjectName(QStringLiteral("replayPlayButton"));
    play_->setToolTip(QStringLiteral("Espace"));
    play_->setFocusPolicy(Qt::NoFocus);
    play_->setIconSize(14);
    bar->addWidget(play_);
    slider_->setObjectName(QStringLiteral("replaySlider"));
    slider_->setFocusPolicy(Qt::NoFocus);
    slider_->setSingleStep(sliderPosition(step));
    slider_->setPageStep(sliderPosition(longStep));
    bar->addWidget(slider_, 1);
    bar->addWidget(clock_);
    for (int i = 0; i < static_cast<int>(rates.size()); ++i) ratePicker_->segment(i)->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(ratePicker_);
    column->addWidget(timeBar_);

    QObject::connect(back_, &QAbstractButton::clicked, this, [this] {
        if (onBack) onBack();
    });
    QObject::connect(play_, &QAbstractButton::clicked, this, [this] { setPlaying(!playing_); });
    QObject::connect(slider_, &QSlider::valueChanged, this,
                     [this](int position) { seek(static_cast<double>(position) / sliderUnit); });
    ratePicker_->onChange = [this](int index) { rateIndex_ = index; };

    QObject::connect(&model_.store(), &TelemetryStore::snapshotsChanged, this, [this] { followSnapshots(); });
    QObject::connect(&model_, &AppModel::activeLayoutChanged, this, [this] {
        placeGauges(ReplayGauges::parameters(model_.activeLayout(), heldParameters(model_.store())));
    });
    for (const auto signal : {&AppModel::calibrationChanged, &AppModel::unitSystemChanged, &AppModel::nightModeChanged,
                              &AppModel::selectedProfileChanged}) {
        QObject::connect(&model_, signal, this, [this] { showValues(); });
    }
    QObject::connect(&model_, &AppModel::nightModeChanged, this, [this] {
        back_->setColour(model_.accent());
        play_->setColour(model_.accent());
    });
    setClock({});
    followSnapshots();
}

// Before the first snapshot held there is nothing to show: once the store's cap has dropped the
// oldest, the time bar begins at the first one left, at its time in the drive.
double ReplayView::start() const { return std::clamp(model_.store().replayStart(), 0.0, duration()); }

// A clock stepped back past the first measurement gives the newest snapshot a negative time: the
// replay then has nothing before it to play rather than a time bar running backwards.
double ReplayView::duration() const { return std::max(0.0, model_.store().replayDuration()); }

void ReplayView::followSnapshots() {
    const bool any = !model_.store().snapshots().empty();
    empty_->setVisible(!any);
    dials_->setVisible(any);
    timeBar_->setVisible(any);
    if (!any) {
        setPlaying(false);
        time_ = 0;
        placeGauges({});
        return;
    }
    placeGauges(ReplayGauges::parameters(model_.activeLayout(), heldParameters(model_.store())));
    {
        // The end follows the drive being recorded.
        const QSignalBlocker quiet(slider_);
        slider_->setRange(sliderPosition(start()), sliderPosition(duration()));
    }
    time_ = std::clamp(time_, start(), duration());
    showTime();
    showValues();
}

void ReplayView::placeGauges(std::vector<std::uint8_t> pids) {
    if (pids == pids_) return;
    pids_ = std::move(pids);
    for (CircularGaugeView* gauge : gauges_) delete gauge;
    gauges_.clear();
    // One row up to four dials, two rows from five.
    const int count = static_cast<int>(pids_.size());
    const int columns = count <= 4 ? std::max(count, 1) : (count + 1) / 2;
    for (int i = 0; i < count; ++i) {
        auto* gauge = new CircularGaugeView(CircularGauge{}, dials_);
        gauge->setObjectName(QStringLiteral("replayGauge"));
        gauge->setBackdrop(VEQ::background());
        gauge->setMinimumSize(gaugeMinimum, gaugeMinimum);
        gauge->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        gauge->setAnimated(animated_);
        gauge->setFrameClock([this] { ticker_.wake(); });
        grid_->addWidget(gauge, i / columns, i % columns);
        gauges_.push_back(gauge);
    }
    for (int c = 0; c < grid_->columnCount(); ++c) grid_->setColumnStretch(c, c < columns ? 1 : 0);
    for (int r = 0; r < grid_->rowCount(); ++r) grid_->setRowStretch(r, 1);
    showValues();
}

void ReplayView::showValues() {
    if (gauges_.empty()) return;
    const auto values = model_.store().replayValues(time_);
    for (std::size_t i = 0; i < gauges_.size(); ++i) gauges_[i]->setGauge(ReplayGauges::gauge(model_, pids_[i], values));
}

void ReplayView::showTime() {
    // A handle the user holds stays under the pointer while the replay plays on.
    if (!slider_->isSliderDown()) {
        const QSignalBlocker quiet(slider_);
        slider_->setValue(sliderPosition(time_));
    }
    clock_->setText(TripFigures::clockDuration(time_) + QStringLiteral(" / ") + TripFigures::clockDuration(duration()));
}

void ReplayView::showPlaying() {
    play_->setText(playing_ ? QStringLiteral("Pause") : QStringLiteral("Lire"));
    play_->setSymbol(playing_ ? "pause.fill" : "play.fill");
}

void ReplayView::seek(double seconds) {
    time_ = std::clamp(seconds, start(), duration());
    showTime();
    showValues();
}

void ReplayView::setPlaying(bool playing) {
    if (playing && model_.store().snapshots().empty()) return;
    if (playing && time_ >= duration()) seek(start());
    if (playing == playing_) return;
    playing_ = playing;
    showPlaying();
    if (!playing_) return;
    lastTick_ = now_();
    ticker_.wake();
}

void ReplayView::setClock(Clock now) {
    now_ = now ? std::move(now) : Clock(steadyNow);
    lastTick_ = now_();
}

void ReplayView::setRateIndex(int index) {
    if (index < 0 || index >= static_cast<int>(rates.size())) return;
    ratePicker_->setCurrentIndex(index);
}

void ReplayView::tick() {
    if (playing_) {
        const double end = duration();
        // The time measured rather than the ticks counted: late or skipped ticks do not slow the replay.
        const auto now = now_();
        time_ = std::min(time_ + playedSeconds(now - lastTick_, rate()), end);
        lastTick_ = now;
        if (time_ >= end) {
            playing_ = false;
            showPlaying();
        }
        showTime();
        showValues();
    }
    bool moving = false;
    for (CircularGaugeView* gauge : gauges_) {
        if (!gauge->isMoving()) continue;
        gauge->advanceFrame();
        moving = moving || gauge->isMoving();
    }
    if (!playing_ && !moving) ticker_.stop();
}

void ReplayView::setAnimated(bool animated) {
    animated_ = animated;
    for (CircularGaugeView* gauge : gauges_) gauge->setAnimated(animated);
}

void ReplayView::keyPressEvent(QKeyEvent* event) {
    const double stride = event->modifiers().testFlag(Qt::ShiftModifier) ? longStep : step;
    switch (event->key()) {
    case Qt::Key_Space: setPlaying(!playing_); break;
    case Qt::Key_Left: seek(time_ - stride); break;
    case Qt::Key_Right: seek(time_ + stride); break;
    case Qt::Key_Home: seek(start()); break;
    case Qt::Key_End: seek(duration()); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void ReplayView::hideEvent(QHideEvent* event) {
    setPlaying(false);
    QWidget::hideEvent(event);
}

void ReplayView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
