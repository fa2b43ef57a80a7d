#pragma once

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QVBoxLayout;

namespace veq {

class AdaptiveGridLayout;
class AppModel;
class ECUBusDiagram;
class ECUCard;
class HeaderBar;

// The "Calculateurs" section: the ECUs the connection probed, as a bus schematic and a grid of
// cards coloured by reply and UDS trouble codes, and the selected card's detail. Shows only what
// the model holds; its one state of its own is the selected request header.
class ECUMapView : public QWidget {
public:
    static constexpr int minimumColumnWidth = 220;
    static constexpr int gridSpacing = 12;

    explicit ECUMapView(AppModel& model, QWidget* parent = nullptr);

    // The request header of the selected card, if any.
    const std::optional<std::string>& selected() const { return selected_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void showEmptyState();
    void buildScrollingContent();
    void rebuildCards();
    void rebuildDetail();
    void toggle(const std::string& txHeader);

    AppModel& model_;
    std::optional<std::string> selected_;
    HeaderBar* header_;
    QVBoxLayout* layout_;
    QWidget* content_ = nullptr;        // the empty state or the scroll view
    QVBoxLayout* stack_ = nullptr;      // inside the scroll view while it is shown
    ECUBusDiagram* diagram_ = nullptr;
    AdaptiveGridLayout* grid_ = nullptr;
    std::vector<ECUCard*> cards_;
    QWidget* detail_ = nullptr;
};

} // namespace veq
