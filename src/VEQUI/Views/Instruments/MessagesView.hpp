#pragma once

#include "VEQEngine/Trip/VehicleMessages.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Instruments/RepaintCoalescer.hpp"

#include <QColor>
#include <QString>
#include <QWidget>

#include <map>
#include <string>
#include <string_view>
#include <vector>

class QScrollArea;

namespace veq {

template <typename Component>
class ComponentView;
class AdaptiveGridLayout;
class HeaderBar;
struct MessageSectionTitle;

// One message as a card: its icon, title, detail and value in the level's colour, and a tag
// telling whether the value is read live, read through a mapped identifier or needs one.
struct MessageCard {
    VehicleMessage message;
    QColor accent; // the magnifying glass of a hint

    static QColor levelColor(VehicleMessage::Level level);
    // "LU · PID 0x05", "DID ASSOCIÉ · 7E0 0x0123", "NÉCESSITE UN DID · SAM avant".
    static QString tagText(const VehicleMessage::Availability& availability);
    static QColor tagColor(const VehicleMessage::Availability& availability);

    double heightForWidth(double width) const;
    void paint(QPainter& painter, const QRectF& area) const;
    bool operator==(const MessageCard&) const = default;
};

class MessageCardView : public QWidget {
public:
    explicit MessageCardView(MessageCard card, QWidget* parent = nullptr);
    const MessageCard& card() const { return card_; }
    void set(MessageCard card);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MessageCard card_;
};

// The cards of one group in as many columns of at least 320 points as fit, 12 points apart;
// cards are kept by message identity and updated in place.
class MessageGrid : public QWidget {
public:
    static constexpr int minimumColumn = 320;
    static constexpr int gap = 12;

    explicit MessageGrid(QWidget* parent = nullptr);

    void setCards(const std::vector<MessageCard>& cards);
    // The cards in grid order.
    std::vector<MessageCardView*> cards() const { return order_; }

private:
    AdaptiveGridLayout* grid_;
    std::map<std::string, MessageCardView*> byID_;
    std::vector<MessageCardView*> order_;
};

// The section "Messages": the car's dashboard messages as cards in two groups, those read live
// from standard parameters and those that need an undocumented data identifier, under a header
// counting the alerts of the first group.
class MessagesView : public QWidget {
public:
    explicit MessagesView(AppModel& model, QWidget* parent = nullptr);

    RepaintCoalescer& coalescer() { return coalescer_; }

    // The messages for the model's current values, trouble codes and monitors, most severe first.
    static std::vector<VehicleMessage> messages(const AppModel& model);
    // Warnings and critical messages of the readable group.
    static int alertCount(const std::vector<VehicleMessage>& messages);
    // "Aucune alerte" or "2 alerte(s)".
    static QString alertText(int alerts);

    MessageGrid* readableGrid() const { return readable_; }
    MessageGrid* proprietaryGrid() const { return proprietary_; }

private:
    void refresh();

    AppModel& model_;
    RepaintCoalescer coalescer_;
    HeaderBar* header_;
    QString alertText_; // the summary shown
    ComponentView<MessageSectionTitle>* readableTitle_;
    ComponentView<MessageSectionTitle>* proprietaryTitle_;
    MessageGrid* readable_;
    MessageGrid* proprietary_;
};

} // namespace veq
