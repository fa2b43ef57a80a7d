#include "VEQUI/Views/Expert/ExpertLists.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace veq::ExpertLists {

namespace {

class Filled : public QWidget {
public:
    explicit Filled(QColor fill) : fill_(std::move(fill)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), fill_);
    }

private:
    QColor fill_;
};

} // namespace

QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(opacity * color.alphaF()));
    return color;
}

QWidget* makeFilled(const QString& name, const QColor& fill) {
    auto* widget = new Filled(fill);
    widget->setObjectName(name);
    return widget;
}

QWidget* makeRowDivider() {
    auto* line = makeFilled(QStringLiteral("rowDivider"), withOpacity(VEQ::stroke(), 0.4));
    line->setFixedHeight(1);
    return line;
}

void retire(QWidget* part) {
    if (part == nullptr) return;
    part->hide();
    part->setParent(nullptr);
    part->deleteLater();
}

void replacePart(QLayout* layout, QWidget*& part, QWidget* fresh) {
    delete layout->replaceWidget(part, fresh);
    retire(part);
    part = fresh;
}

void showPart(QVBoxLayout* column, QWidget*& part, QWidget* fresh, int stretch) {
    if (part) {
        replacePart(column, part, fresh);
    } else {
        column->addWidget(fresh, stretch);
        part = fresh;
    }
}

QWidget* makeInfoBar(const QString& name, std::string symbol, const QColor& accent, const QString& text,
                     QWidget* button) {
    auto* bar = makeFilled(name, withOpacity(VEQ::surface2(), 0.5));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(20, 10, 20, 10);
    row->setSpacing(10);
    auto* icon = new SymbolView(std::move(symbol), 14, accent);
    icon->setObjectName(QStringLiteral("infoSymbol"));
    row->addWidget(icon);
    row->addWidget(makeLabel(text, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), QStringLiteral("infoText")));
    row->addStretch(1);
    row->addWidget(button);
    return bar;
}

QWidget* makeEmptyState(std::string symbol, int symbolSize, const QString& title, int titleSize, const QString& detail) {
    auto* state = new QWidget;
    state->setObjectName(QStringLiteral("emptyState"));
    auto* stack = new QVBoxLayout(state);
    stack->setSpacing(8);
    stack->addStretch(1);
    auto* icon = new SymbolView(std::move(symbol), symbolSize, VEQ::textSecondary());
    icon->setObjectName(QStringLiteral("emptySymbol"));
    stack->addWidget(icon, 0, Qt::AlignHCenter);
    stack->addWidget(makeLabel(title, VEQ::label(titleSize, QFont::Medium), VEQ::textSecondary(),
                               QStringLiteral("emptyTitle")),
                     0, Qt::AlignHCenter);
    if (!detail.isEmpty()) {
        stack->addWidget(makeLabel(detail, VEQ::label(11, QFont::Medium), withOpacity(VEQ::textSecondary(), 0.7),
                                   QStringLiteral("emptyDetail")),
                         0, Qt::AlignHCenter);
    }
    stack->addStretch(1);
    return state;
}

QScrollArea* makeScroll(const QString& name, QVBoxLayout*& column, int margin, int spacing) {
    auto* content = new QWidget;
    column = new QVBoxLayout(content);
    column->setContentsMargins(margin, margin, margin, margin);
    column->setSpacing(spacing);
    auto* scroll = ListScreen::makeScroll(name, content);
    scroll->setStyleSheet(QStringLiteral("QScrollArea{background:transparent;}"));
    return scroll;
}

} // namespace veq::ExpertLists
