#include "VEQUI/Views/Connection/StepRow.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace veq {

namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;

} // namespace

StepMarker::StepMarker(bool lit, QWidget* parent)
    : QWidget(parent), lit_(lit), spring_(DampedSpring::withResponse(0.3, 0.8)) {
    setObjectName(QStringLiteral("stepMarker"));
    setFixedSize(20, 20);
    spring_.reset(lit ? 1.0 : 0.0);
    timer_.setInterval(16);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

void StepMarker::setLit(bool lit) {
    if (lit == lit_) return;
    lit_ = lit;
    timer_.start();
}

void StepMarker::tick() {
    const double target = lit_ ? 1.0 : 0.0;
    spring_.step(target, kFrameSeconds);
    if (spring_.isSettled(target)) {
        spring_.reset(target);
        timer_.stop();
    }
    update();
}

void StepMarker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    painter.setPen(QPen(VEQ::stroke(), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, 10 - 0.75, 10 - 0.75);

    const double scale = std::max(0.0, spring_.position());
    if (scale <= 0.00001) return;
    painter.setOpacity(std::min(1.0, scale));
    painter.setPen(Qt::NoPen);
    painter.setBrush(VEQ::confirm());
    painter.drawEllipse(centre, 6 * scale, 6 * scale);
}

StepRow::StepRow(const InitStep& step, QWidget* parent) : QWidget(parent), command_(step.command) {
    setObjectName(QStringLiteral("step.") + QString::fromStdString(step.command));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    marker_ = new StepMarker(step.succeeded);
    row->addWidget(marker_);
    label_ = makeLabel(QString::fromStdString(step.label), VEQ::label(13, QFont::Medium),
                       step.succeeded ? VEQ::textPrimary() : VEQ::textSecondary(), QStringLiteral("stepLabel"));
    row->addWidget(label_);
    row->addStretch(1);
    QColor commandColour = VEQ::textSecondary();
    commandColour.setAlphaF(0.6f);
    row->addWidget(makeLabel(QString::fromStdString(step.command), VEQ::numeric(11, QFont::DemiBold), commandColour,
                             QStringLiteral("stepCommand")));
}

void StepRow::setSucceeded(bool succeeded) {
    marker_->setLit(succeeded);
    setTextColour(label_, succeeded ? VEQ::textPrimary() : VEQ::textSecondary());
}

} // namespace veq
