#include "VEQUI/Views/Recording/FactView.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace veq {

namespace {

constexpr double gap = 3;

QFont titleFont() { return tracked(VEQ::label(9, QFont::DemiBold), 1); }
QFont valueFont() { return VEQ::numeric(13, QFont::Medium); }

} // namespace

void Fact::paint(QPainter& painter, const QRectF& area) const {
    const QFont top = titleFont();
    const QFont bottom = valueFont();
    const double height = PaintText::lineHeight(top) + gap + PaintText::lineHeight(bottom);
    const double y = area.top() + std::max(0.0, (area.height() - height) / 2);
    const double topHeight = PaintText::lineHeight(top);
    PaintText::drawFitted(painter, top, VEQ::textSecondary(), title.toUpper(),
                          QRectF(area.left(), y, area.width(), topHeight), Qt::AlignLeft);
    PaintText::drawFitted(painter, bottom, VEQ::textPrimary(), value,
                          QRectF(area.left(), y + topHeight + gap, area.width(), PaintText::lineHeight(bottom)),
                          Qt::AlignLeft);
}

QSizeF Fact::sizeHint() const {
    const double width = std::max(PaintText::width(titleFont(), title.toUpper()), PaintText::width(valueFont(), value));
    return {std::ceil(width), std::ceil(PaintText::lineHeight(titleFont()) + gap + PaintText::lineHeight(valueFont()))};
}

FactView* makeFactView(const QString& title, const QString& objectName) {
    auto* view = new FactView(Fact{title, QStringLiteral("\u2014")});
    view->setObjectName(objectName);
    view->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return view;
}

} // namespace veq
