#include "VEQUI/Views/Instruments/MessagesView.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/ComponentView.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/AdaptiveGridLayout.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <fmt/format.h>

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace veq {

// The title row of a group: its symbol and its title in capitals, in the group's colour.
struct MessageSectionTitle {
    std::string_view icon;
    QString title;
    QColor color;

    static QFont font() { return tracked(VEQ::label(11, QFont::Bold), 1.5); }
    void paint(QPainter& painter, const QRectF& area) const {
        painter.setRenderHint(QPainter::Antialiasing);
        const double centreY = area.center().y();
        SymbolIcons::paint(painter, QRectF(area.left(), centreY - 6, 12, 12), icon, color);
        PaintText::drawLeft(painter, font(), color, title.toUpper(), area.left() + 12 + 8, centreY);
    }
    QSizeF sizeHint() const {
        return {std::ceil(20 + PaintText::width(font(), title.toUpper())),
                std::ceil(std::max(12.0, PaintText::lineHeight(font())))};
    }
    bool operator==(const MessageSectionTitle&) const = default;
};

namespace {

using Level = VehicleMessage::Level;
using Availability = VehicleMessage::Availability;

constexpr double padding = 14;
constexpr double stackSpacing = 8;
constexpr double iconFrame = 22;
constexpr double iconSize = 16;
constexpr double rowSpacing = 10;
constexpr double valueGap = 20; // the row's spacing on both sides of its flexible space
constexpr double textSpacing = 2;
constexpr double cornerRadius = 12;
constexpr double tagPaddingVertical = 3;
constexpr double tagPaddingHorizontal = 7;
constexpr double hintSpacing = 5;
constexpr double hintIcon = 9;
constexpr double hintIconInset = 2;

const QString readableSubtitle = QStringLiteral("Lu en direct sur les param\u00E8tres OBD-II normalis\u00E9s.");
const QString proprietarySubtitle = QStringLiteral(
    "Ces messages ne transitent pas par l'OBD-II normalis\u00E9 : ils vivent dans des calculateurs de confort, "
    "derri\u00E8re des identifiants propri\u00E9taires non document\u00E9s. Utilisez le scanner de DIDs pour les retrouver.");

QFont titleFont() { return VEQ::label(13, QFont::DemiBold); }
QFont detailFont() { return VEQ::label(11, QFont::Medium); }
QFont valueFont() { return VEQ::numeric(16, QFont::Bold); }
QFont tagFont() { return tracked(VEQ::label(8, QFont::Bold), 0.5); }
QFont hintFont() { return VEQ::label(10, QFont::Medium); }

QString text(const std::string& s) { return QString::fromStdString(s); }

double wrappedHeight(const QFont& font, const QString& s, double width) {
    if (s.isEmpty()) return 0;
    return QFontMetricsF(font).boundingRect(QRectF(0, 0, std::max(1.0, width), 1e6), Qt::TextWordWrap, s).height();
}

void drawWrapped(QPainter& painter, const QFont& font, const QColor& color, const QString& s, const QRectF& box) {
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(box, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, s);
}

double tagHeight() { return tagPaddingVertical * 2 + PaintText::lineHeight(tagFont()); }

void paintTag(QPainter& painter, const QString& s, const QColor& color, QPointF topLeft) {
    const double width = tagPaddingHorizontal * 2 + PaintText::width(tagFont(), s);
    const QRectF capsule(topLeft, QSizeF(width, tagHeight()));
    QPainterPath shape;
    shape.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    QColor fill = color;
    fill.setAlphaF(0.15f);
    painter.fillPath(shape, fill);
    PaintText::drawLeft(painter, tagFont(), color, s, capsule.left() + tagPaddingHorizontal, capsule.center().y());
}

// Where the parts of a card sit for a given width.
struct CardLayout {
    double columnWidth;
    double titleHeight;
    double detailHeight;
    double firstLine;
    double hintHeight; // 0 unless the message needs an identifier
    double secondLine;
    double height;
};

CardLayout layoutCard(const MessageCard& card, double width) {
    const VehicleMessage& m = card.message;
    const double inner = std::max(0.0, width - 2 * padding);
    const double value = m.value ? PaintText::width(valueFont(), text(*m.value)) + valueGap : 0;
    CardLayout l{};
    l.columnWidth = std::max(1.0, inner - iconFrame - rowSpacing - value);
    l.titleHeight = std::max(PaintText::lineHeight(titleFont()), wrappedHeight(titleFont(), text(m.title), l.columnWidth));
    l.detailHeight = wrappedHeight(detailFont(), text(m.detail), l.columnWidth);
    const double column = l.titleHeight + (l.detailHeight > 0 ? textSpacing + l.detailHeight : 0);
    l.firstLine = std::max({iconSize, column, m.value ? PaintText::lineHeight(valueFont()) : 0.0});
    l.secondLine = tagHeight();
    if (const auto* needs = std::get_if<Availability::RequiresDID>(&m.availability.kind)) {
        l.hintHeight = std::max(hintIcon + hintIconInset,
                                wrappedHeight(hintFont(), text(needs->hint), inner - hintIcon - hintSpacing));
        l.secondLine += hintSpacing + l.hintHeight;
    }
    l.height = padding + l.firstLine + stackSpacing + l.secondLine + padding;
    return l;
}

MessageSectionTitle sectionTitle(bool readable, const QColor& accent) {
    if (readable) return {"checkmark.circle.fill", QStringLiteral("\u00C9tat du v\u00E9hicule"), accent};
    return {"questionmark.circle.fill", QStringLiteral("Entretien et niveaux"), VEQ::warning()};
}


} // namespace

// --- Card ------------------------------------------------------------------------------------------

QColor MessageCard::levelColor(Level level) {
    switch (level) {
    case Level::ok: return VEQ::confirm();
    case Level::info: return VEQ::textSecondary();
    case Level::attention: return VEQ::warning();
    case Level::warning: return VEQ::warning();
    case Level::critical: return VEQ::critical();
    }
    return VEQ::textSecondary();
}

QString MessageCard::tagText(const Availability& availability) {
    return std::visit(
        [](const auto& a) -> QString {
            using T = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<T, Availability::Readable>) {
                return QString::fromStdString(fmt::format("LU \u00B7 PID 0x{:02X}", a.pid));
            } else if constexpr (std::is_same_v<T, Availability::Mapped>) {
                return QString::fromStdString(fmt::format("DID ASSOCI\u00C9 \u00B7 {} 0x{:04X}", a.ecu, a.did));
            } else {
                return QString::fromStdString(fmt::format("N\u00C9CESSITE UN DID \u00B7 {}", a.ecu));
            }
        },
        availability.kind);
}

QColor MessageCard::tagColor(const Availability& availability) {
    return std::holds_alternative<Availability::RequiresDID>(availability.kind) ? VEQ::warning() : VEQ::confirm();
}

double MessageCard::heightForWidth(double width) const { return layoutCard(*this, width).height; }

void MessageCard::paint(QPainter& painter, const QRectF& area) const {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const VehicleMessage& m = message;
    const CardLayout l = layoutCard(*this, area.width());
    const QColor level = levelColor(m.level);

    QPainterPath shape;
    shape.addRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.fillPath(shape, VEQ::surface1());
    QColor outline = VEQ::stroke();
    if (m.level == Level::warning || m.level == Level::critical) {
        outline = level;
        outline.setAlphaF(0.55f);
    }
    painter.setPen(QPen(outline, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);

    const double left = area.left() + padding;
    const double right = area.right() + 1 - padding;
    double top = area.top() + padding;
    const QRectF icon(left + (iconFrame - iconSize) / 2, top, iconSize, iconSize);
    SymbolIcons::paint(painter, icon, m.icon, level);
    const double columnLeft = left + iconFrame + rowSpacing;
    drawWrapped(painter, titleFont(), VEQ::textPrimary(), text(m.title), QRectF(columnLeft, top, l.columnWidth, l.titleHeight));
    drawWrapped(painter, detailFont(), VEQ::textSecondary(), text(m.detail),
                QRectF(columnLeft, top + l.titleHeight + textSpacing, l.columnWidth, l.detailHeight));
    if (m.value) {
        const QString v = text(*m.value);
        PaintText::drawAt(painter, valueFont(), level, v, QPointF(right - PaintText::width(valueFont(), v), top));
    }
    top += l.firstLine + stackSpacing;

    paintTag(painter, tagText(m.availability), tagColor(m.availability), QPointF(left, top));
    if (const auto* needs = std::get_if<Availability::RequiresDID>(&m.availability.kind)) {
        top += tagHeight() + hintSpacing;
        const QRectF glass(left, top + hintIconInset, hintIcon, hintIcon);
        SymbolIcons::paint(painter, glass, "magnifyingglass", accent);
        const double hintLeft = left + hintIcon + hintSpacing;
        drawWrapped(painter, hintFont(), VEQ::textSecondary(), text(needs->hint),
                    QRectF(hintLeft, top, right - hintLeft, l.hintHeight));
    }
}

MessageCardView::MessageCardView(MessageCard card, QWidget* parent) : QWidget(parent), card_(std::move(card)) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void MessageCardView::set(MessageCard card) {
    if (card == card_) return;
    const bool resized = card.heightForWidth(width()) != card_.heightForWidth(width());
    card_ = std::move(card);
    if (resized) updateGeometry();
    update();
}

int MessageCardView::heightForWidth(int width) const { return static_cast<int>(std::ceil(card_.heightForWidth(width))); }

QSize MessageCardView::sizeHint() const { return {MessageGrid::minimumColumn, heightForWidth(MessageGrid::minimumColumn)}; }

void MessageCardView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    card_.paint(painter, QRectF(rect()));
}

// --- Grid ------------------------------------------------------------------------------------------

MessageGrid::MessageGrid(QWidget* parent) : QWidget(parent), grid_(new AdaptiveGridLayout(minimumColumn, gap, this)) {}

void MessageGrid::setCards(const std::vector<MessageCard>& cards) {
    std::vector<MessageCardView*> order;
    std::map<std::string, MessageCardView*> byID;
    for (const auto& card : cards) {
        MessageCardView* view = nullptr;
        if (const auto it = byID_.find(card.message.id); it != byID_.end()) {
            view = it->second;
            byID_.erase(it);
            view->set(card);
        } else {
            view = new MessageCardView(card, this);
            view->setObjectName(QStringLiteral("messageCard-") + text(card.message.id));
        }
        order.push_back(view);
        byID.emplace(card.message.id, view);
    }
    for (auto& [id, gone] : byID_) {
        gone->hide();
        gone->deleteLater();
    }
    byID_ = std::move(byID);
    if (order == order_) return;
    // The set or the order of the cards changed: the grid takes them again in the new order.
    while (QLayoutItem* item = grid_->takeAt(0)) delete item;
    for (auto* view : order) grid_->addWidget(view);
    order_ = std::move(order);
}

// --- Screen ----------------------------------------------------------------------------------------

std::vector<VehicleMessage> MessagesView::messages(const AppModel& model) {
    std::map<std::uint8_t, double> values;
    for (const auto& [pid, stats] : model.store().stats()) values.emplace(pid, stats.current);
    return VehicleMessageCenter::evaluate(values, static_cast<int>(model.dtcs().size()), model.monitorStatus(), {});
}

int MessagesView::alertCount(const std::vector<VehicleMessage>& messages) {
    return static_cast<int>(std::count_if(messages.begin(), messages.end(), [](const VehicleMessage& m) {
        return m.isReadable() && (m.level == Level::warning || m.level == Level::critical);
    }));
}

QString MessagesView::alertText(int alerts) {
    if (alerts == 0) return QStringLiteral("Aucune alerte");
    return QString::fromStdString(fmt::format("{} alerte(s)", alerts));
}

MessagesView::MessagesView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), coalescer_([this] { refresh(); }, this),
      header_(new HeaderBar(QStringLiteral("Messages"), QStringLiteral("alertCount"), this)),
      readableTitle_(new ComponentView<MessageSectionTitle>(sectionTitle(true, model.accent()))),
      proprietaryTitle_(new ComponentView<MessageSectionTitle>(sectionTitle(false, model.accent()))),
      readable_(new MessageGrid()), proprietary_(new MessageGrid()) {
    setObjectName(QStringLiteral("messagesView"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, VEQ::background());
    setPalette(colours);
    readable_->setObjectName(QStringLiteral("readableMessages"));
    proprietary_->setObjectName(QStringLiteral("proprietaryMessages"));
    readableTitle_->setObjectName(QStringLiteral("readableTitle"));
    proprietaryTitle_->setObjectName(QStringLiteral("proprietaryTitle"));

    auto* content = new QWidget();
    content->setAutoFillBackground(false);
    auto* sections = new QVBoxLayout(content);
    sections->setContentsMargins(20, 20, 20, 20);
    sections->setSpacing(22);
    const auto addSection = [&](ComponentView<MessageSectionTitle>* title, const QString& text, MessageGrid* grid) {
        auto* section = new QVBoxLayout();
        section->setSpacing(10);
        section->addWidget(title);
        section->addWidget(makeFlowingLabel(text, VEQ::label(11, QFont::Medium), VEQ::textSecondary(),
                                            QStringLiteral("sectionSubtitle"), content));
        section->addWidget(grid);
        sections->addLayout(section);
    };
    addSection(readableTitle_, readableSubtitle, readable_);
    addSection(proprietaryTitle_, proprietarySubtitle, proprietary_);
    sections->addStretch(1);

    auto* column = new QVBoxLayout(this);
    ListScreen::openColumn(*column, header_, model_);
    column->addWidget(ListScreen::makeScroll(QStringLiteral("messagesScroll"), content), 1);

    const auto stale = [this] { coalescer_.request(); };
    connect(&model_.store(), &TelemetryStore::statsChanged, this, stale);
    connect(&model_, &AppModel::dtcsChanged, this, stale);
    connect(&model_, &AppModel::monitorStatusChanged, this, stale);
    connect(&model_, &AppModel::nightModeChanged, this, stale);
    refresh();
}

void MessagesView::refresh() {
    const QColor accent = model_.accent();
    std::vector<MessageCard> readable;
    std::vector<MessageCard> proprietary;
    // Each group keeps the severity order of the list; a message stands in one group only.
    for (auto& message : messages(model_)) {
        auto& group = message.isReadable() ? readable : proprietary;
        group.push_back(MessageCard{std::move(message), accent});
    }
    int alerts = 0;
    for (const auto& card : readable) {
        if (card.message.level == Level::warning || card.message.level == Level::critical) ++alerts;
    }
    header_->setSymbol("bell.badge.fill", alerts == 0 ? accent : VEQ::critical());
    if (QString summary = alertText(alerts); summary != alertText_) {
        alertText_ = std::move(summary);
        header_->setSummary(alertText_, alerts == 0 ? VEQ::confirm() : VEQ::critical());
    }
    readableTitle_->set(sectionTitle(true, accent));
    proprietaryTitle_->set(sectionTitle(false, accent));
    readable_->setCards(readable);
    proprietary_->setCards(proprietary);
}

} // namespace veq
