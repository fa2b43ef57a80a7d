#include "VEQUI/Views/Diagnostics/ECUMapView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/AdaptiveGridLayout.hpp"
#include "VEQUI/Views/Diagnostics/ECUBusDiagram.hpp"
#include "VEQUI/Views/Diagnostics/ECUCard.hpp"
#include "VEQUI/Views/Diagnostics/ECUDetailPanel.hpp"
#include "VEQUI/Views/Diagnostics/ECUMapRules.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"

#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include <fmt/format.h>

namespace veq {

ECUMapView::ECUMapView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model),
      header_(new HeaderBar(QStringLiteral("Calculateurs"), QStringLiteral("respondingCount"))),
      layout_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("ECUMapView"));
    ListScreen::openColumn(*layout_, header_, model_);
    connect(&model_, &AppModel::ecusChanged, this, [this] { refresh(); });
    connect(&model_, &AppModel::udsDTCsChanged, this, [this] { refresh(); });
    connect(&model_, &AppModel::nightModeChanged, this, [this] { refresh(); });
    refresh();
}

void ECUMapView::refresh() {
    const auto& ecus = model_.ecus();
    header_->setSummary(QString::fromStdString(fmt::format("{} / {} r\u00E9pondent", ECUMap::respondingCount(ecus),
                                                           ecus.size())),
                        VEQ::textSecondary());
    if (ecus.empty()) {
        showEmptyState();
        return;
    }
    if (stack_ == nullptr) buildScrollingContent();
    std::vector<ECUBusDiagram::Node> nodes;
    nodes.reserve(ecus.size());
    for (const DiscoveredECU& ecu : ecus) nodes.push_back({ECUMap::color(ecu, model_.udsDTCs()), ecu.responded});
    diagram_->setNodes(std::move(nodes));
    rebuildCards();
    rebuildDetail();
}

void ECUMapView::showEmptyState() {
    if (content_ && stack_ == nullptr) return;
    delete content_;
    stack_ = nullptr;
    diagram_ = nullptr;
    grid_ = nullptr;
    cards_.clear();
    detail_ = nullptr;
    content_ = ListScreen::makeEmptyState("point.3.connected.trianglepath.dotted", 30, VEQ::textSecondary(),
                                          QStringLiteral("Aucun calculateur scann\u00E9"));
    layout_->addWidget(content_, 1);
}

void ECUMapView::buildScrollingContent() {
    delete content_;
    auto* inner = new QWidget;
    stack_ = new QVBoxLayout(inner);
    stack_->setContentsMargins(20, 20, 20, 20);
    stack_->setSpacing(20);
    diagram_ = new ECUBusDiagram;
    stack_->addWidget(diagram_);
    auto* grid = new QWidget;
    grid->setObjectName(QStringLiteral("ecuGrid"));
    grid_ = new AdaptiveGridLayout(minimumColumnWidth, gridSpacing, grid);
    stack_->addWidget(grid);
    stack_->addStretch(1);

    content_ = ListScreen::makeScroll(QStringLiteral("ecuScroll"), inner);
    layout_->addWidget(content_, 1);
}

void ECUMapView::rebuildCards() {
    while (QLayoutItem* item = grid_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    cards_.clear();
    const QColor accent = model_.accent();
    for (const DiscoveredECU& ecu : model_.ecus()) {
        const ECUCard::Look look{ECUMap::color(ecu, model_.udsDTCs()),
                                 static_cast<int>(ECUMap::codesOf(ecu, model_.udsDTCs()).size()),
                                 selected_ == ecu.txHeader, accent, ECUMap::codesUnread(ecu, model_.udsDTCs())};
        auto* card = new ECUCard(ecu, look);
        connect(card, &QAbstractButton::clicked, this, [this, header = ecu.txHeader] { toggle(header); });
        grid_->addWidget(card);
        cards_.push_back(card);
    }
}

void ECUMapView::rebuildDetail() {
    delete detail_;
    detail_ = nullptr;
    const DiscoveredECU* ecu = ECUMap::selectedECU(model_.ecus(), selected_);
    if (ecu == nullptr) return;
    std::optional<std::vector<UDSDTC>> codes;
    if (!ECUMap::codesUnread(*ecu, model_.udsDTCs())) codes = ECUMap::codesOf(*ecu, model_.udsDTCs());
    detail_ = new ECUDetailPanel(*ecu, codes);
    // After the diagram and the grid, before the closing stretch.
    stack_->insertWidget(2, detail_);
}

void ECUMapView::toggle(const std::string& txHeader) {
    if (selected_ == txHeader) selected_.reset();
    else selected_ = txHeader;
    const QColor accent = model_.accent();
    for (ECUCard* card : cards_) card->setSelectedCard(selected_ == card->txHeader(), accent);
    rebuildDetail();
}

void ECUMapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
