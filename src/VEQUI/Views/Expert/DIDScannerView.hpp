#pragma once

#include "VEQEngine/UDS/DIDRange.hpp"
#include "VEQEngine/UDS/DiscoveredDID.hpp"
#include "VEQEngine/UDS/ECUScanner.hpp"
#include "VEQUI/Model/AppModel.hpp"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QScrollArea;
class QVBoxLayout;

namespace veq {

class PlainButton;
class ProminentButton;
class SymbolView;

// The "Scanner DID" tab: picks an ECU and a range, scans it (reads only), watches the found
// identifiers for bytes that change, names them and exports them as the DID CSV. The scan and
// the watch are the model's; the screen shows its state and calls it.
class DIDScannerView : public QWidget {
public:
    explicit DIDScannerView(AppModel& model, QWidget* parent = nullptr);

    // The request headers offered: those of the ECUs that answered, else "7E0" and "7E1".
    static std::vector<std::string> scannableECUs(const std::vector<DiscoveredECU>& ecus);
    // "Moteur · 7E0": the ECU's name ("Calculateur" when none has that header) and the header.
    static QString ecuName(const std::vector<DiscoveredECU>& ecus, const std::string& header);
    // "Identification (ISO) (128)".
    static QString rangeTitle(const DIDRange& range);
    // The bar over the results of a scan that could not read everything.
    static QString shortfallText(const AppModel::DIDScanShortfall& shortfall);

    const DIDRange& selectedRange() const { return selectedRange_; }
    void selectRange(const DIDRange& range);
    // Writes the CSV of every discovered identifier through the save panel.
    void exportCSV();

private:
    class Row;

    QWidget* makeControls();
    void renderControls();
    void renderECUs();
    void renderProgress();
    void renderExplanation();
    void renderShortfall();
    void renderResults();

    AppModel& model_;
    DIDRange selectedRange_;
    QVBoxLayout* layout_;
    QComboBox* ecuPicker_ = nullptr;
    QComboBox* rangePicker_ = nullptr;
    ProminentButton* scan_ = nullptr;
    ProminentButton* stop_ = nullptr;
    PlainButton* watch_ = nullptr;
    PlainButton* export_ = nullptr;
    QWidget* progress_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* progressText_ = nullptr;
    QLabel* foundText_ = nullptr;
    SymbolView* explanationSymbol_ = nullptr;
    QLabel* explanationText_ = nullptr;
    QWidget* shortfall_ = nullptr; // over the results while the last scan's are incomplete
    QLabel* shortfallText_ = nullptr;
    QWidget* results_ = nullptr;
    std::vector<std::string> rowIDs_; // in shown order
    std::map<std::string, Row*> rows_;
};

} // namespace veq
