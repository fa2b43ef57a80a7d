#include "VEQUI/Views/DiagnosticView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/DTCCard.hpp"
#include "VEQUI/Views/Divider.hpp"
#include "VEQUI/Views/HeaderBar.hpp"
#include "VEQUI/Views/Labels.hpp"
#include "VEQUI/Views/SymbolView.hpp"
#include "VEQUI/Views/VEQStyle.hpp"

#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include <fmt/format.h>

namespace veq {

namespace {

QWidget* makeEmptyState() {
    auto* state = new QWidget;
    state->setObjectName(QStringLiteral("emptyState"));
    auto* stack = new QVBoxLayout(state);
    stack->setSpacing(8);
    stack->addStretch(1);
    auto* symbol = new SymbolView("checkmark.seal.fill", 34, VEQ::confirm());
    symbol->setObjectName(QStringLiteral("emptySymbol"));
    stack->addWidget(symbol, 0, Qt::AlignHCenter);
    stack->addWidget(makeLabel(QStringLiteral("Aucun code d\u00E9faut confirm\u00E9"), VEQ::label(14, QFont::Medium),
                               VEQ::textSecondary(), QStringLiteral("emptyText")),
                     0, Qt::AlignHCenter);
    stack->addStretch(1);
    return state;
}

} // namespace

DiagnosticView::DiagnosticView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model),
      header_(new HeaderBar(QStringLiteral("Diagnostic"), QStringLiteral("codeCount"))),
      layout_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("DiagnosticView"));
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->addWidget(header_);
    layout_->addWidget(new Divider(Qt::Horizontal));
    connect(&model_, &AppModel::dtcsChanged, this, [this] { refresh(); });
    refresh();
}

void DiagnosticView::refresh() {
    const auto count = model_.dtcs().size();
    if (count == 0) {
        header_->setSummary(QStringLiteral("Aucun code"), VEQ::confirm());
        showEmptyState();
    } else {
        header_->setSummary(QString::fromStdString(fmt::format("{} code(s)", count)), VEQ::critical());
        showCards();
    }
}

void DiagnosticView::showEmptyState() {
    if (content_ && cards_ == nullptr) return;
    delete content_;
    cards_ = nullptr;
    content_ = makeEmptyState();
    layout_->addWidget(content_, 1);
}

void DiagnosticView::showCards() {
    if (cards_ == nullptr) {
        delete content_;
        auto* scroll = new QScrollArea;
        scroll->setObjectName(QStringLiteral("codeList"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        scroll->setWidgetResizable(true);
        auto* list = new QWidget;
        cards_ = new QVBoxLayout(list);
        cards_->setContentsMargins(18, 18, 18, 18);
        cards_->setSpacing(10);
        scroll->setWidget(list);
        // The screen's own background shows through the list.
        scroll->viewport()->setAutoFillBackground(false);
        list->setAutoFillBackground(false);
        content_ = scroll;
        layout_->addWidget(content_, 1);
    }
    // Cards are made anew from the model's list, so that each follows its code's description.
    while (QLayoutItem* item = cards_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const DTC& dtc : model_.dtcs()) cards_->addWidget(new DTCCard(dtc));
    cards_->addStretch(1);
}

void DiagnosticView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
