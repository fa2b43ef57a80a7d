#include "VEQUI/Views/Shell/Sidebar.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/CarbonBackground.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace veq {

namespace {

constexpr int kRowPadX = 10;
constexpr int kRowPadY = 8;
constexpr int kIconFrame = 20;
constexpr int kIconSize = 15;
constexpr int kRowSpacing = 10;

QFont rowFont() { return VEQ::label(13, QFont::Medium); }

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The platform's translucent sidebar material has no counterpart here: a veil of the card
// colour over the carbon weave stands in for it.
QColor materialVeil() {
    QColor veil = VEQ::surface1();
    veil.setAlphaF(0.55f);
    return veil;
}

} // namespace

SidebarRow::SidebarRow(AppSection section, QWidget* parent)
    : QAbstractButton(parent), section_(section), accent_(VEQ::accent()) {
    setText(qs(rawValue(section)));
    setObjectName(QStringLiteral("sidebarRow.") + qs(rawValue(section)));
    setFont(rowFont());
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SidebarRow::setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    update();
}

void SidebarRow::setAccent(const QColor& accent) {
    if (accent == accent_) return;
    accent_ = accent;
    update();
}

QSize SidebarRow::sizeHint() const {
    const QFontMetrics metrics(font());
    return {kRowPadX * 2 + kIconFrame + kRowSpacing + metrics.horizontalAdvance(text()),
            kRowPadY * 2 + std::max(metrics.height(), kIconSize)};
}

void SidebarRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (selected_) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 8, 8);
        painter.fillPath(shape, accent_);
    }
    const QColor ink = selected_ ? VEQ::background() : VEQ::textPrimary();
    const QRectF content = QRectF(rect()).adjusted(kRowPadX, kRowPadY, -kRowPadX, -kRowPadY);
    SymbolIcons::paint(painter, QRectF(content.left(), content.center().y() - kIconSize / 2.0, kIconFrame, kIconSize),
                       veq::icon(section_), ink);
    painter.setFont(font());
    painter.setPen(ink);
    const double textLeft = content.left() + kIconFrame + kRowSpacing;
    painter.drawText(QRectF(textLeft, content.top(), content.right() - textLeft, content.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
}

Sidebar::Sidebar(const std::vector<AppSection>& sections, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("sidebar"));
    setFixedWidth(kWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(4);

    column->addSpacing(6);
    brand_ = makeLabel(QStringLiteral("OSKAVEL CAR"), tracked(VEQ::label(14, QFont::Bold), 2), VEQ::accent(),
                       QStringLiteral("sidebarBrand"));
    column->addWidget(brand_);
    column->addSpacing(16);

    for (const AppSection section : sections) {
        auto* row = new SidebarRow(section);
        QObject::connect(row, &QAbstractButton::clicked, this, [this, section] { Q_EMIT sectionChosen(section); });
        rows_.push_back(row);
        column->addWidget(row);
    }
    column->addStretch(1);

    auto* footer = new QVBoxLayout;
    footer->setSpacing(8);
    const QFont footerFont = VEQ::label(12, QFont::Medium);
    fullScreen_ = new PlainButton(QStringLiteral("Compteurs plein écran"), "arrow.up.left.and.arrow.down.right",
                                  footerFont, VEQ::accent());
    fullScreen_->setObjectName(QStringLiteral("fullScreenButton"));
    fullScreen_->setToolTip(QStringLiteral("Ctrl+Maj+F"));
    QObject::connect(fullScreen_, &QAbstractButton::clicked, this, [this] { Q_EMIT fullScreenRequested(); });
    footer->addWidget(fullScreen_);
    auto* hide = new PlainButton(QStringLiteral("Masquer le menu"), "sidebar.leading", footerFont, VEQ::textSecondary());
    hide->setObjectName(QStringLiteral("hideSidebarButton"));
    hide->setToolTip(QStringLiteral("Ctrl+Alt+S"));
    QObject::connect(hide, &QAbstractButton::clicked, this, [this] { Q_EMIT hideRequested(); });
    footer->addWidget(hide);
    footer->addWidget(new Divider(Qt::Horizontal));
    auto* disconnect = new PlainButton(QStringLiteral("Déconnecter"), "eject.fill", footerFont, VEQ::critical());
    disconnect->setObjectName(QStringLiteral("disconnectButton"));
    QObject::connect(disconnect, &QAbstractButton::clicked, this, [this] { Q_EMIT disconnectRequested(); });
    footer->addWidget(disconnect);
    column->addLayout(footer);
}

void Sidebar::setSelected(AppSection section) {
    for (auto* row : rows_) row->setSelected(row->section() == section);
}

void Sidebar::setAccent(const QColor& accent) {
    setTextColour(brand_, accent);
    fullScreen_->setColour(accent);
    for (auto* row : rows_) row->setAccent(accent);
}

void Sidebar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintCarbonBackground(painter, QRectF(rect()), 0.7);
    painter.fillRect(rect(), materialVeil());
}

} // namespace veq
