#include "VEQUI/Views/Kit/HeaderBar.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QPainter>

namespace veq {

namespace {

constexpr int symbolSize = 16;
constexpr int symbolSpacing = 12;

class SymbolBox : public QWidget {
public:
    explicit SymbolBox(QWidget* parent) : QWidget(parent) { setFixedSize(symbolSize, symbolSize); }
    void setSymbol(const std::string& symbol, const QColor& tint) {
        symbol_ = symbol;
        tint_ = tint;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        SymbolIcons::paint(painter, QRectF(rect()), symbol_, tint_);
    }

private:
    std::string symbol_;
    QColor tint_;
};

} // namespace

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

void HeaderBar::setSymbol(std::string_view symbol, const QColor& tint) {
    if (symbol_ && symbol == symbolName_ && tint == symbolTint_) return;
    symbolName_ = std::string(symbol);
    symbolTint_ = tint;
    if (!symbol_) {
        symbol_ = new SymbolBox(this);
        symbol_->setObjectName(QStringLiteral("headerSymbol"));
        auto* row = static_cast<QHBoxLayout*>(layout());
        row->insertWidget(0, symbol_, 0, Qt::AlignVCenter);
        row->insertSpacing(1, symbolSpacing);
    }
    static_cast<SymbolBox*>(symbol_)->setSymbol(symbolName_, symbolTint_);
}

void HeaderBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::surface1());
}

} // namespace veq
