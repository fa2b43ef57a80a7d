#include "VEQUI/Views/Diagnostics/ECUBusDiagram.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Dot.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace veq {

namespace {

constexpr double cornerRadius = 12;
constexpr double glowRadius = 4;
constexpr double glowOpacity = 0.8;
constexpr double ringWidth = 2;

// The caption sits under the nodes and the line.
constexpr int captionTop = ECUBusDiagram::padding + ECUBusDiagram::nodeDiameter + ECUBusDiagram::stackSpacing +
                           ECUBusDiagram::lineHeight + ECUBusDiagram::stackSpacing;

void paintNode(QPainter& painter, Glow::Cache& glows, QPointF centre, const ECUBusDiagram::Node& node) {
    const double radius = ECUBusDiagram::nodeDiameter / 2.0;
    const Dot dot{ECUBusDiagram::nodeDiameter, node.color, node.glows ? glowOpacity : 0, glowRadius};
    dot.paint(painter, QRectF(centre - QPointF(radius, radius), QSizeF(dot.diameter, dot.diameter)), &glows);
    painter.setPen(QPen(VEQ::background(), ringWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, radius, radius);
}

} // namespace

ECUBusDiagram::ECUBusDiagram(QWidget* parent) : RoundedPanel(cornerRadius, VEQ::surface1(), parent) {
    setObjectName(QStringLiteral("busDiagram"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(padding, captionTop, padding, padding);
    stack->addWidget(makeLabel(QStringLiteral("Bus CAN-C \u00B7 500 kbit/s \u00B7 broches 6/14"),
                               VEQ::label(10, QFont::Medium), VEQ::textSecondary(), QStringLiteral("busCaption")),
                     0, Qt::AlignHCenter);
}

void ECUBusDiagram::setNodes(std::vector<Node> nodes) {
    if (nodes == nodes_) return;
    nodes_ = std::move(nodes);
    update();
}

QPointF ECUBusDiagram::nodeCentre(std::size_t index) const {
    const double count = static_cast<double>(nodes_.size());
    const double rowWidth = count * nodeDiameter + std::max(0.0, count - 1) * nodeSpacing;
    const double left = (width() - rowWidth) / 2;
    return {left + static_cast<double>(index) * (nodeDiameter + nodeSpacing) + nodeDiameter / 2.0,
            padding + nodeDiameter / 2.0};
}

QRectF ECUBusDiagram::lineRect() const {
    return {static_cast<double>(padding), static_cast<double>(padding + nodeDiameter + stackSpacing),
            static_cast<double>(width() - 2 * padding), static_cast<double>(lineHeight)};
}

void ECUBusDiagram::paintEvent(QPaintEvent* event) {
    RoundedPanel::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath line;
    line.addRoundedRect(lineRect(), 1.5, 1.5);
    painter.fillPath(line, VEQ::stroke());
    for (std::size_t i = 0; i < nodes_.size(); ++i) paintNode(painter, glows_, nodeCentre(i), nodes_[i]);
}

} // namespace veq
