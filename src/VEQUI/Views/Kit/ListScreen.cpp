#include "VEQUI/Views/Kit/ListScreen.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/SidebarButtonInset.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QScrollArea>
#include <QVBoxLayout>

namespace veq::ListScreen {

void openColumn(QVBoxLayout& column, HeaderBar* header, AppModel& model) {
    SidebarButtonInset::follow(model, *header);
    column.setContentsMargins(0, 0, 0, 0);
    column.setSpacing(0);
    column.addWidget(header);
    column.addWidget(new Divider(Qt::Horizontal));
}

QWidget* makeEmptyState(std::string symbol, int symbolSize, const QColor& tint, const QString& text) {
    auto* state = new QWidget;
    state->setObjectName(QStringLiteral("emptyState"));
    auto* stack = new QVBoxLayout(state);
    stack->setSpacing(8);
    stack->addStretch(1);
    auto* icon = new SymbolView(std::move(symbol), symbolSize, tint);
    icon->setObjectName(QStringLiteral("emptySymbol"));
    stack->addWidget(icon, 0, Qt::AlignHCenter);
    stack->addWidget(makeLabel(text, VEQ::label(14, QFont::Medium), VEQ::textSecondary(), QStringLiteral("emptyText")),
                     0, Qt::AlignHCenter);
    stack->addStretch(1);
    return state;
}

QScrollArea* makeScroll(const QString& name, QWidget* content) {
    auto* scroll = new QScrollArea;
    scroll->setObjectName(name);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    return scroll;
}

} // namespace veq::ListScreen
