#pragma once

#include "VEQUI/Views/Kit/GlowCache.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"

#include <QColor>

#include <vector>

namespace veq {

// The schematic of the CAN bus on the ECU map: one node per probed ECU, in order, over the bus
// line and its fixed caption, on a raised panel.
class ECUBusDiagram : public RoundedPanel {
public:
    struct Node {
        QColor color;
        bool glows = false; // the ECU answered

        bool operator==(const Node&) const = default;
    };

    static constexpr int padding = 16;
    static constexpr int nodeDiameter = 14;
    static constexpr int nodeSpacing = 10;
    static constexpr int stackSpacing = 6;
    static constexpr int lineHeight = 3;

    explicit ECUBusDiagram(QWidget* parent = nullptr);

    const std::vector<Node>& nodes() const { return nodes_; }
    void setNodes(std::vector<Node> nodes);

    // The centre of node `index` in the widget (nodes are centred as a row).
    QPointF nodeCentre(std::size_t index) const;
    // The bus line's rectangle.
    QRectF lineRect() const;
    const Glow::Cache& glowCache() const { return glows_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Node> nodes_;
    Glow::Cache glows_;
};

} // namespace veq
