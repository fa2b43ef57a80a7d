#include "VEQUI/Views/Diagnostics/DiagnosticView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Diagnostics/DTCCard.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"

#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include <fmt/format.h>

namespace veq {

namespace {

// The ECU map's words for codes that could not be read.
const QString codesUnread = QStringLiteral("Codes non lus");

} // namespace

DiagnosticView::DiagnosticView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model),
      header_(new HeaderBar(QStringLiteral("Diagnostic"), QStringLiteral("codeCount"))),
      layout_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("DiagnosticView"));
    ListScreen::openColumn(*layout_, header_, model_);
    connect(&model_, &AppModel::dtcsChanged, this, [this] { refresh(); });
    refresh();
}

void DiagnosticView::refresh() {
    const auto count = model_.dtcs().size();
    if (model_.dtcsUnread()) {
        // Broken on the way: a partial list or "no code" would both be claims the car never made.
        header_->setSummary(codesUnread, VEQ::warning());
        showNote(true);
    } else if (count == 0) {
        header_->setSummary(QStringLiteral("Aucun code"), VEQ::confirm());
        showNote(false);
    } else {
        header_->setSummary(QString::fromStdString(fmt::format("{} code(s)", count)), VEQ::critical());
        showCards();
    }
}

void DiagnosticView::showNote(bool unread) {
    if (content_ && cards_ == nullptr && noteUnread_ == unread) return;
    delete content_;
    cards_ = nullptr;
    noteUnread_ = unread;
    content_ = unread ? ListScreen::makeEmptyState("exclamationmark.triangle.fill", 34, VEQ::warning(), codesUnread)
                      : ListScreen::makeEmptyState("checkmark.seal.fill", 34, VEQ::confirm(),
                                                   QStringLiteral("Aucun code d\u00E9faut confirm\u00E9"));
    layout_->addWidget(content_, 1);
}

void DiagnosticView::showCards() {
    if (cards_ == nullptr) {
        delete content_;
        auto* list = new QWidget;
        cards_ = new QVBoxLayout(list);
        cards_->setContentsMargins(18, 18, 18, 18);
        cards_->setSpacing(10);
        content_ = ListScreen::makeScroll(QStringLiteral("codeList"), list);
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
