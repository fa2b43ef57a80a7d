#pragma once

#include "VEQUI/Views/Recording/FactView.hpp"

#include <QByteArray>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <string>

class QAbstractButton;
class QLabel;

namespace veq {

class AppModel;
class CurrentTripTiles;
class HeaderBar;
class ParameterTable;
class ReportCodeList;
class ReportECUTable;
class ReportPreview;

// The section "Rapport": the vehicle (profile, VIN and the VIN's sections), the connection (start
// and the trip figures), the stored trouble codes explained, the ECUs that answered the scan, and
// one row per parameter of the live-value store with its unit, current, minimum, mean and maximum
// values and its sample count. "Aperçu du rapport PDF" prints it all as an A4 PDF, off the GUI
// thread, and shows it on a sheet from which it is saved.
class ReportView : public QWidget {
public:
    // The store changes with every sample: the screen follows it at most this often.
    static constexpr int refreshMilliseconds = 500;

    explicit ReportView(AppModel& model, QWidget* parent = nullptr);

    ParameterTable& table() const { return *table_; }
    CurrentTripTiles& tripTiles() const { return *tiles_; }
    ReportCodeList& codes() const { return *codes_; }
    ReportECUTable& ecus() const { return *ecuTable_; }
    // The facts in order: profile, VIN, start.
    const std::array<FactView*, 3>& facts() const { return facts_; }
    // The VIN's sections: manufacturer (WMI), descriptor (VDS), identifier (VIS).
    const std::array<FactView*, 3>& vinSections() const { return vinSections_; }
    // Applies every change now (the throttle's work).
    void refresh();

    // Produces the PDF from the report as it stands, then shows it on the preview sheet.
    void previewReport();
    // The sheet showing the last PDF produced, while it is open.
    ReportPreview* preview() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void changed();
    void showPreview(QByteArray pdf, std::string fileName);
    void save(const QByteArray& pdf, const std::string& fileName);

    AppModel& model_;
    HeaderBar* header_;
    QAbstractButton* previewButton_;
    std::array<FactView*, 3> facts_{};
    std::array<FactView*, 3> vinSections_{};
    CurrentTripTiles* tiles_;
    QLabel* noCodes_;
    ReportCodeList* codes_;
    QLabel* noECUs_;
    ReportECUTable* ecuTable_;
    ParameterTable* table_;
    QLabel* noParameters_;
    QPointer<ReportPreview> preview_;
    QTimer throttle_;
    bool pending_ = false;
    bool producing_ = false;
};

} // namespace veq
