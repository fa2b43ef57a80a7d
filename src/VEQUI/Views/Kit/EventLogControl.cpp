#include "VEQUI/Views/Kit/EventLogControl.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/LogMarkTexts.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/PaintedButton.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/TextItem.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVariantAnimation>

#include <cmath>

namespace veq {

namespace {

using Kind = AppModel::LogPhase::Kind;
namespace R = LogMarkTexts;

constexpr double dot = 8;
constexpr int fadeMilliseconds = 150;
constexpr int spinnerMilliseconds = 80;

QFont logFont() { return tracked(VEQ::label(10, QFont::Bold), 1); }

// The dot and the running time.
struct RunningClock {
    QString text;
    double dotOpacity = 1;

    static QFont font() { return VEQ::numeric(11, QFont::DemiBold); }

    void paint(QPainter& painter, const QRectF& area) const {
        painter.setRenderHint(QPainter::Antialiasing);
        const double centreY = area.center().y();
        painter.save();
        painter.setOpacity(dotOpacity);
        painter.setPen(Qt::NoPen);
        painter.setBrush(VEQ::critical());
        painter.drawEllipse(QPointF(area.left() + dot / 2, centreY), dot / 2, dot / 2);
        painter.restore();
        PaintText::drawLeft(painter, font(), VEQ::textPrimary(), text, area.left() + dot + 6, centreY);
    }
    QSizeF sizeHint() const {
        return {std::ceil(dot + 6 + PaintText::width(font(), text)), std::ceil(PaintText::lineHeight(font()))};
    }
    bool operator==(const RunningClock&) const = default;
};
using RunningClockView = ComponentView<RunningClock>;

// A small indeterminate activity indicator: an arc turning.
class Spinner : public QWidget {
public:
    explicit Spinner(QWidget* parent) : QWidget(parent) {
        setFixedSize(12, 12);
        timer_.setInterval(spinnerMilliseconds);
        connect(&timer_, &QTimer::timeout, this, [this] {
            angle_ = (angle_ + 30) % 360;
            update();
        });
        timer_.start();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(VEQ::textSecondary(), 1.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), -angle_ * 16, 270 * 16);
    }

private:
    QTimer timer_;
    int angle_ = 0;
};

PaintedButton* logButton(QWidget* parent) {
    const QFont font = logFont();
    const QString text = QStringLiteral("LOG");
    const QSizeF size(10 + dot + 5 + PaintText::width(font, text) + 10, 5 + PaintText::lineHeight(font) + 5);
    auto* button = new PaintedButton(size, [font, text](QPainter& painter, const QRectF& area) {
        const QRectF capsule = area.adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath shape;
        shape.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        QColor fill = VEQ::surface2();
        fill.setAlphaF(0.7f);
        painter.fillPath(shape, fill);
        QColor outline = VEQ::critical();
        outline.setAlphaF(0.55f);
        painter.setPen(QPen(outline, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
        painter.setPen(Qt::NoPen);
        painter.setBrush(VEQ::critical());
        painter.drawEllipse(QPointF(area.left() + 10 + dot / 2, area.center().y()), dot / 2, dot / 2);
        PaintText::drawLeft(painter, font, VEQ::textPrimary(), text, area.left() + 10 + dot + 5, area.center().y());
    }, parent);
    button->setObjectName(QStringLiteral("logButton"));
    button->setToolTip(QStringLiteral("Poser la marque de d\u00E9but du log"));
    return button;
}

PaintedButton* stopButton(QWidget* parent) {
    auto* button = new PaintedButton(QSizeF(20, 20), [](QPainter& painter, const QRectF& area) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(VEQ::critical());
        painter.drawEllipse(area);
        SymbolIcons::paint(painter, area.adjusted(5, 5, -5, -5), "stop.fill", VEQ::textPrimary());
    }, parent);
    button->setObjectName(QStringLiteral("stopLogButton"));
    button->setToolTip(QStringLiteral("Poser la marque de fin"));
    return button;
}

PaintedButton* discardButton(QWidget* parent) {
    auto* button = new PaintedButton(QSizeF(13, 13), [](QPainter& painter, const QRectF& area) {
        SymbolIcons::paint(painter, area.adjusted(2, 2, -2, -2), "xmark", VEQ::textSecondary());
    }, parent);
    button->setObjectName(QStringLiteral("discardLogButton"));
    button->setToolTip(QStringLiteral("Abandonner ce log"));
    return button;
}

QPushButton* saveButton(QWidget* parent) {
    auto* button = new QPushButton(QStringLiteral("Sauver"), parent);
    button->setObjectName(QStringLiteral("saveLogButton"));
    button->setFont(VEQ::label(10, QFont::DemiBold));
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(QIcon(SymbolIcons::pixmap("arrow.down.doc.fill", VEQ::textPrimary(), 20)));
    button->setIconSize(QSize(10, 10));
    const QColor tint = VEQ::confirm();
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: none; border-radius: 5px;"
                                         " padding: 2px 8px; }"
                                         " QPushButton:pressed { background: %3; }")
                              .arg(tint.name(), VEQ::textPrimary().name(), tint.darker(130).name()));
    return button;
}

TextItemView* text(QWidget* parent, const QString& name, const QString& content, QFont font, QColor color) {
    auto* view = new TextItemView(TextItem{content, std::move(font), std::move(color)}, parent);
    view->setObjectName(name);
    return view;
}

} // namespace

EventLogControl::EventLogControl(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), layout_(new QHBoxLayout(this)),
      clock_([] { return std::chrono::system_clock::now(); }) {
    setObjectName(QStringLiteral("eventLogControl"));
    layout_->setContentsMargins(4, 0, 4, 0);
    layout_->setSpacing(6);
    runningTimer_.setSingleShot(true);
    runningTimer_.setTimerType(Qt::PreciseTimer);
    connect(&runningTimer_, &QTimer::timeout, this, &EventLogControl::showRunningTime);
    connect(&model_, &AppModel::logPhaseChanged, this, &EventLogControl::rebuild);
    connect(&model_, &AppModel::lastSavedLogChanged, this, &EventLogControl::rebuild);
    rebuild();
}

void EventLogControl::setClock(Clock clock) {
    clock_ = std::move(clock);
    if (form_ == Kind::running) showRunningTime();
}

void EventLogControl::setAnimated(bool animated) { animated_ = animated; }

QString EventLogControl::runningTime() const {
    if (form_ != Kind::running || !runningClock_) return {};
    return static_cast<RunningClockView*>(runningClock_)->component().text;
}

void EventLogControl::clearForm() {
    runningTimer_.stop();
    runningClock_ = nullptr;
    while (QLayoutItem* item = layout_->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            // The pressed button may be among them, still inside its click: deleted later.
            widget->hide();
            widget->setObjectName(QString());
            widget->deleteLater();
        }
        delete item;
    }
}

void EventLogControl::rebuild() {
    const AppModel::LogPhase phase = model_.logPhase();
    // The first form simply shows; later changes of form fade in.
    const bool changedForm = built_ && phase.kind != form_;
    clearForm();
    form_ = phase.kind;
    built_ = true;
    switch (phase.kind) {
    case Kind::idle: {
        auto* button = logButton(this);
        connect(button, &QAbstractButton::clicked, &model_, &AppModel::startLog);
        layout_->addWidget(button);
        if (const auto& saved = model_.lastSavedLog()) {
            layout_->addWidget(text(this, QStringLiteral("savedLogLine"), R::savedLogText(saved->records, saved->duration),
                                    VEQ::label(10, QFont::Medium), VEQ::confirm()));
        }
        break;
    }
    case Kind::running: {
        auto* clock = new RunningClockView(RunningClock{}, this);
        clock->setObjectName(QStringLiteral("runningClock"));
        runningClock_ = clock;
        layout_->addWidget(clock);
        auto* stop = stopButton(this);
        connect(stop, &QAbstractButton::clicked, &model_, &AppModel::endLog);
        layout_->addWidget(stop);
        showRunningTime();
        break;
    }
    case Kind::ended: {
        layout_->addWidget(text(this, QStringLiteral("endedDuration"), R::elapsedLabel(phase.start, phase.end),
                                VEQ::numeric(11, QFont::DemiBold), VEQ::textSecondary()));
        auto* save = saveButton(this);
        connect(save, &QAbstractButton::clicked, &model_, &AppModel::saveLog);
        layout_->addWidget(save);
        auto* discard = discardButton(this);
        connect(discard, &QAbstractButton::clicked, &model_, &AppModel::discardLog);
        layout_->addWidget(discard);
        break;
    }
    case Kind::saving: {
        auto* spinner = new Spinner(this);
        spinner->setObjectName(QStringLiteral("savingIndicator"));
        layout_->addWidget(spinner);
        layout_->addWidget(text(this, QStringLiteral("savingText"), QStringLiteral("\u00C9criture\u2026"),
                                VEQ::label(10, QFont::Medium), VEQ::textSecondary()));
        break;
    }
    }
    // Shown now rather than on the layout's next pass, so that a picture taken at once has them.
    for (int i = 0; i < layout_->count(); ++i) {
        if (QWidget* widget = layout_->itemAt(i)->widget()) widget->show();
    }
    if (!changedForm || !animated_) return;
    // The new form fades in; the effect goes once it is fully shown.
    if (fade_) fade_->stop();
    auto* effect = new QGraphicsOpacityEffect(this);
    effect->setOpacity(0);
    setGraphicsEffect(effect);
    fade_ = new QVariantAnimation(this);
    fade_->setDuration(fadeMilliseconds);
    fade_->setEasingCurve(QEasingCurve::InOutQuad);
    fade_->setStartValue(0.0);
    fade_->setEndValue(1.0);
    connect(fade_, &QVariantAnimation::valueChanged, effect, [effect](const QVariant& v) { effect->setOpacity(v.toDouble()); });
    connect(fade_, &QVariantAnimation::finished, this, [this] {
        setGraphicsEffect(nullptr);
        fade_->deleteLater();
        fade_ = nullptr;
    });
    fade_->start();
}

void EventLogControl::showRunningTime() {
    if (form_ != Kind::running || !runningClock_) return;
    const Date since = model_.logPhase().start;
    const Date now = clock_();
    // The clock ticks once a second from the start: the time shown is that of the last tick.
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - since);
    const auto ticks = std::max<std::chrono::milliseconds::rep>(0, elapsed.count() / 1000);
    const Date tick = since + std::chrono::seconds(ticks);
    static_cast<RunningClockView*>(runningClock_)
        ->set(RunningClock{R::elapsedLabel(since, tick), R::runningDotOpacity(since, tick)});
    const auto untilNext = elapsed.count() < 0 ? -elapsed.count() : 1000 - elapsed.count() % 1000;
    runningTimer_.start(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(untilNext, 1, 1000)));
}

} // namespace veq
