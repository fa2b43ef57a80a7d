#pragma once

#include <QPointer>
#include <QWidget>

class QStackedLayout;

namespace veq {

class AppModel;
class ReplayView;
class TripsView;

// The content of the section "Trajets": the trips list, or in its place the replay of the drive
// under way, opened from the list and closed back to it. The replay exists only while shown, and
// never past the connection.
class TripsSection : public QWidget {
public:
    explicit TripsSection(AppModel& model, bool animated, QWidget* parent = nullptr);

    void showReplay();
    void showTrips();

private:
    AppModel& model_;
    bool animated_;
    QStackedLayout* stack_;
    TripsView* trips_;
    QPointer<ReplayView> replay_;
};

} // namespace veq
