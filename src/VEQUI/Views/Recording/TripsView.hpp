#pragma once

#include "VEQUI/Views/Recording/DriveExport.hpp"

#include <QWidget>

namespace veq {

class AppModel;
class CurrentTripTiles;
class DrivePanel;
class HeaderBar;
class RoundedPanel;
class SessionList;

// The section "Trajets": while connected, the figures of the drive under way; then every drive
// of the catalogue, newest first, and for the selected one its figures, its export in every
// format and its deletion. Listing reads no drive file, it only looks whether each is there.
class TripsView : public QWidget {
public:
    explicit TripsView(AppModel& model, QWidget* parent = nullptr);

    SessionList& sessions() const { return *list_; }
    DrivePanel& panel() const { return *panel_; }
    CurrentTripTiles& tripTiles() const { return *tiles_; }

    // Exports the selected drive (the panel's buttons call it).
    void exportSelected(DriveExport::Format format);
    // Asks, then deletes the selected drive (the panel's button calls it).
    void deleteSelected();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refreshDrives();
    void refreshCurrentTrip();
    void showSelected();

    AppModel& model_;
    HeaderBar* header_;
    RoundedPanel* currentCard_;
    CurrentTripTiles* tiles_;
    SessionList* list_;
    QWidget* noDrives_;
    RoundedPanel* panelCard_;
    DrivePanel* panel_;
};

} // namespace veq
