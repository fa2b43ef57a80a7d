#include "VEQUI/Views/HeaderBar.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Labels.hpp"
#include "VEQUI/Views/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QPainter>

namespace veq {

HeaderBar::HeaderBar(const QString& title, const QString& summaryName, QWidget* parent)
    : QWidget(parent),
      summary_(makeLabel({}, VEQ::numeric(12, QFont::DemiBold), VEQ::textSecondary(), summaryName)) {
    setObjectName(QStringLiteral("headerBar"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 14, 20, 14);
    row->setSpacing(0);
    row->addWidget(makeLabel(title, VEQ::label(18, QFont::Bold), VEQ::textPrimary(), QStringLiteral("headerTitle")), 0,
                   Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(summary_, 0, Qt::AlignVCenter);
}

void HeaderBar::setSummary(const QString& text, const QColor& color) {
    summary_->setText(text);
    setTextColour(summary_, color);
}

void HeaderBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::surface1());
}

} // namespace veq
