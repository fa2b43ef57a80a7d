#include "VEQUI/Views/Expert/DIDScannerView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Expert/DIDCSV.hpp"
#include "VEQUI/Views/Expert/ECUPicker.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Expert/ExpertLists.hpp"
#include "VEQUI/Views/Kit/FileExporter.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

#include <algorithm>

#include <fmt/format.h>

namespace veq {

namespace {

using ExpertLists::withOpacity;

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The width a picker needs to show `text` whole.
int pickerWidthFor(const QComboBox& picker, const QString& text) {
    QStyleOptionComboBox option;
    option.initFrom(&picker);
    const QSize contents(picker.fontMetrics().horizontalAdvance(text) + 2 * ECUPicker::textInset, picker.fontMetrics().height());
    return picker.style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, &picker).width();
}

// A picker `width` wide with its label beside it. On a narrow window the picker gives way, down to
// `minimum`, before the controls after it are pushed out of the bar.
QWidget* labelled(const QString& title, QComboBox* picker, int width, int minimum) {
    // Sized from a long nominal content rather than the entries: the width is the bar's to give.
    picker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    picker->setMinimumContentsLength(80);
    picker->setMaximumWidth(width);
    picker->setMinimumWidth(std::min(width, minimum));
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(makeLabel(title, VEQ::label(11, QFont::Medium), VEQ::textSecondary()));
    row->addWidget(picker);
    return box;
}

} // namespace

// One discovered identifier: updated in place, so that a name being typed keeps its focus while
// a watch rewrites the bytes.
class DIDScannerView::Row : public QWidget {
public:
    Row(AppModel& model, const DiscoveredDID& did) : model_(model), did_(did.did), ecu_(did.ecu) {
        setObjectName(QStringLiteral("didRow"));
        auto* line = new QHBoxLayout(this);
        line->setContentsMargins(20, 8, 20, 8);
        line->setSpacing(12);
        auto* identity = new QWidget;
        identity->setFixedWidth(70);
        auto* idColumn = new QVBoxLayout(identity);
        idColumn->setContentsMargins(0, 0, 0, 0);
        idColumn->setSpacing(2);
        hex_ = makeLabel(qs(did.hexDID()), VEQ::numeric(13, QFont::DemiBold), model.accent(), QStringLiteral("didHex"));
        size_ = makeLabel(QString(), VEQ::label(9, QFont::Medium), VEQ::textSecondary(), QStringLiteral("didSize"));
        idColumn->addWidget(hex_);
        idColumn->addWidget(size_);
        line->addWidget(identity, 0, Qt::AlignTop);
        auto* value = new QVBoxLayout;
        value->setSpacing(3);
        bytes_ = new QHBoxLayout;
        bytes_->setSpacing(5);
        bytes_->addStretch(1);
        value->addLayout(bytes_);
        meaning_ = makeLabel(QString(), VEQ::label(10, QFont::Medium), VEQ::confirm(), QStringLiteral("didMeaning"));
        value->addWidget(meaning_);
        line->addLayout(value, 1);
        auto* field = new RoundedPanel(6, VEQ::surface2());
        field->setFixedWidth(190);
        auto* inField = new QHBoxLayout(field);
        inField->setContentsMargins(8, 4, 8, 4);
        name_ = new QLineEdit;
        name_->setObjectName(QStringLiteral("didName"));
        name_->setPlaceholderText(QStringLiteral("Nommer\u2026"));
        name_->setFont(VEQ::label(11, QFont::Medium));
        name_->setFrame(false);
        name_->setStyleSheet(QStringLiteral("QLineEdit{background:transparent;color:%1;}").arg(VEQ::textPrimary().name()));
        inField->addWidget(name_);
        line->addWidget(field, 0, Qt::AlignTop);
        reads_ = makeLabel(QString(), VEQ::numeric(10, QFont::DemiBold), VEQ::textSecondary(), QStringLiteral("didReads"));
        reads_->setFixedWidth(42);
        reads_->setAlignment(Qt::AlignRight | Qt::AlignTop);
        line->addWidget(reads_, 0, Qt::AlignTop);
        connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
            model_.labelDID(did_, ecu_, text.toStdString());
        });
        update(did);
    }

    void update(const DiscoveredDID& did) {
        hex_->setText(qs(did.hexDID()));
        setTextColour(hex_, model_.accent());
        size_->setText(qs(fmt::format("{} o.", did.bytes.size())));
        // The byte labels are kept and rewritten: a watch updates them several times a second.
        while (byteLabels_.size() > did.bytes.size()) {
            delete byteLabels_.back();
            byteLabels_.pop_back();
        }
        while (byteLabels_.size() < did.bytes.size()) {
            auto* byte = makeLabel(QString(), VEQ::numeric(12, QFont::DemiBold), VEQ::textPrimary(),
                                   QStringLiteral("didByte"));
            bytes_->insertWidget(static_cast<int>(byteLabels_.size()), byte);
            byte->show();
            byteLabels_.push_back(byte);
        }
        for (std::size_t i = 0; i < did.bytes.size(); ++i) {
            const bool changed = i < did.changed.size() && did.changed[i];
            byteLabels_[i]->setText(qs(fmt::format("{:02X}", did.bytes[i])));
            setTextColour(byteLabels_[i], changed ? VEQ::warning() : VEQ::textPrimary());
        }
        if (const auto name = did.standardName()) {
            meaning_->setFont(VEQ::label(10, QFont::Medium));
            setTextColour(meaning_, VEQ::confirm());
            meaning_->setText(qs(*name));
            meaning_->show();
        } else if (const auto ascii = did.asciiValue()) {
            meaning_->setFont(VEQ::numeric(10, QFont::DemiBold));
            setTextColour(meaning_, VEQ::textSecondary());
            meaning_->setText(QStringLiteral("\u00AB ") + qs(*ascii) + QStringLiteral(" \u00BB"));
            meaning_->show();
        } else {
            meaning_->clear();
            meaning_->hide();
        }
        const QString label = qs(did.label.value_or(""));
        if (name_->text() != label) name_->setText(label);
        reads_->setText(qs(fmt::format("{}\u00D7", did.reads)));
    }

private:
    AppModel& model_;
    std::uint16_t did_;
    std::string ecu_;
    QLabel* hex_;
    QLabel* size_;
    QHBoxLayout* bytes_;
    std::vector<QLabel*> byteLabels_;
    QLabel* meaning_;
    QLineEdit* name_;
    QLabel* reads_;
};

std::vector<std::string> DIDScannerView::scannableECUs(const std::vector<DiscoveredECU>& ecus) {
    std::vector<std::string> headers;
    for (const DiscoveredECU& ecu : ecus) {
        if (ecu.responded) headers.push_back(ecu.txHeader);
    }
    if (headers.empty()) headers = {"7E0", "7E1"};
    return headers;
}

QString DIDScannerView::ecuName(const std::vector<DiscoveredECU>& ecus, const std::string& header) {
    std::string name = "Calculateur";
    for (const DiscoveredECU& ecu : ecus) {
        if (ecu.txHeader == header) {
            name = ecu.name;
            break;
        }
    }
    return qs(name + " \u00B7 " + header);
}

QString DIDScannerView::rangeTitle(const DIDRange& range) { return qs(fmt::format("{} ({})", range.name, range.count())); }

DIDScannerView::DIDScannerView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), selectedRange_(DIDRange::priority().front()), layout_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("DIDScannerView"));
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->addWidget(makeControls());
    layout_->addWidget(new Divider(Qt::Horizontal));

    progress_ = new QWidget;
    progress_->setObjectName(QStringLiteral("scanProgress"));
    auto* progress = new QVBoxLayout(progress_);
    progress->setContentsMargins(20, 8, 20, 8);
    progress->setSpacing(4);
    progressBar_ = new QProgressBar;
    progressBar_->setObjectName(QStringLiteral("scanProgressBar"));
    progressBar_->setTextVisible(false);
    progressBar_->setFixedHeight(6);
    progress->addWidget(progressBar_);
    auto* counts = new QHBoxLayout;
    progressText_ = makeLabel(QString(), VEQ::numeric(10, QFont::DemiBold), VEQ::textSecondary(),
                              QStringLiteral("scanProgressText"));
    foundText_ = makeLabel(QString(), VEQ::numeric(10, QFont::DemiBold), VEQ::textSecondary(),
                           QStringLiteral("scanFoundText"));
    counts->addWidget(progressText_);
    counts->addStretch(1);
    counts->addWidget(foundText_);
    progress->addLayout(counts);
    layout_->addWidget(progress_);

    auto* explanation = ExpertLists::makeFilled(QStringLiteral("scanExplanation"), withOpacity(VEQ::surface2(), 0.4));
    auto* row = new QHBoxLayout(explanation);
    row->setContentsMargins(20, 9, 20, 9);
    row->setSpacing(10);
    explanationSymbol_ = new SymbolView("info.circle.fill", 12, model_.accent());
    explanationSymbol_->setObjectName(QStringLiteral("explanationSymbol"));
    row->addWidget(explanationSymbol_, 0, Qt::AlignTop);
    explanationText_ = makeFlowingLabel(QString(), VEQ::label(11, QFont::Medium), VEQ::textSecondary(),
                                        QStringLiteral("explanationText"));
    row->addWidget(explanationText_, 1);
    layout_->addWidget(explanation);
    layout_->addWidget(new Divider(Qt::Horizontal));

    // Right over the results it qualifies: what they lack is not absent from the ECU.
    shortfall_ = new QWidget;
    shortfall_->setObjectName(QStringLiteral("scanShortfall"));
    auto* shortfall = new QVBoxLayout(shortfall_);
    shortfall->setContentsMargins(0, 0, 0, 0);
    shortfall->setSpacing(0);
    auto* warning = ExpertLists::makeFilled(QStringLiteral("scanShortfallBar"), withOpacity(VEQ::warning(), 0.14));
    auto* warningRow = new QHBoxLayout(warning);
    warningRow->setContentsMargins(20, 9, 20, 9);
    warningRow->setSpacing(10);
    warningRow->addWidget(new SymbolView("exclamationmark.triangle.fill", 12, VEQ::warning()), 0, Qt::AlignTop);
    shortfallText_ = makeFlowingLabel(QString(), VEQ::label(11, QFont::DemiBold), VEQ::warning(),
                                      QStringLiteral("scanShortfallText"));
    warningRow->addWidget(shortfallText_, 1);
    shortfall->addWidget(warning);
    shortfall->addWidget(new Divider(Qt::Horizontal));
    layout_->addWidget(shortfall_);

    connect(&model_, &AppModel::ecusChanged, this, [this] { renderECUs(); });
    connect(&model_, &AppModel::didScanECUChanged, this, [this] { renderECUs(); });
    connect(&model_, &AppModel::didScanningChanged, this, [this] { renderControls(); });
    connect(&model_, &AppModel::didWatchingChanged, this, [this] {
        renderControls();
        renderExplanation();
    });
    connect(&model_, &AppModel::didScanProgressChanged, this, [this] { renderProgress(); });
    connect(&model_, &AppModel::didScanShortfallChanged, this, [this] { renderShortfall(); });
    connect(&model_, &AppModel::discoveredDIDsChanged, this, [this] {
        renderControls();
        renderProgress();
        renderResults();
    });
    connect(&model_, &AppModel::nightModeChanged, this, [this] {
        renderControls();
        renderProgress();
        renderExplanation();
        rowIDs_.clear();
        renderResults();
    });
    renderECUs();
    renderControls();
    renderProgress();
    renderExplanation();
    renderShortfall();
    renderResults();
}

QWidget* DIDScannerView::makeControls() {
    auto* bar = ExpertLists::makeFilled(QStringLiteral("scanControls"), VEQ::surface1());
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(20, 12, 20, 12);
    row->setSpacing(10);
    ecuPicker_ = new ECUPicker;
    ecuPicker_->setObjectName(QStringLiteral("ecuPicker"));
    connect(ecuPicker_, &QComboBox::activated, this, [this](int index) {
        model_.setDidScanECU(ecuPicker_->itemData(index).toString().toStdString());
    });
    // A long ECU name gives up letters, never its header: room for the fallback entry is enough.
    row->addWidget(labelled(QStringLiteral("Calculateur"), ecuPicker_, 230,
                            pickerWidthFor(*ecuPicker_, ecuName({}, "7E0"))));
    rangePicker_ = new QComboBox;
    rangePicker_->setObjectName(QStringLiteral("rangePicker"));
    int widestRange = 0;
    for (const DIDRange& range : DIDRange::priority()) {
        const QString title = rangeTitle(range);
        rangePicker_->addItem(title);
        widestRange = std::max(widestRange, pickerWidthFor(*rangePicker_, title));
    }
    connect(rangePicker_, &QComboBox::activated, this, [this](int index) {
        selectedRange_ = DIDRange::priority().at(static_cast<std::size_t>(index));
    });
    row->addWidget(labelled(QStringLiteral("Plage"), rangePicker_, 280, widestRange));
    stop_ = new ProminentButton(QStringLiteral("Arr\u00EAter"), "stop.fill", VEQ::label(12, QFont::DemiBold),
                                VEQ::critical());
    stop_->setObjectName(QStringLiteral("stopScan"));
    connect(stop_, &QAbstractButton::clicked, this, [this] { model_.stopDIDScan(); });
    scan_ = new ProminentButton(QStringLiteral("Balayer"), "magnifyingglass", VEQ::label(12, QFont::DemiBold),
                                model_.accent());
    scan_->setObjectName(QStringLiteral("startScan"));
    connect(scan_, &QAbstractButton::clicked, this, [this] { model_.startDIDScan(selectedRange_); });
    row->addWidget(stop_);
    row->addWidget(scan_);
    row->addStretch(1);
    watch_ = new PlainButton(QStringLiteral("Observer"), "eye.fill", VEQ::label(11, QFont::Medium), VEQ::textSecondary());
    watch_->setObjectName(QStringLiteral("watchButton"));
    connect(watch_, &QAbstractButton::clicked, this, [this] { model_.toggleDIDWatch(); });
    row->addWidget(watch_);
    export_ = new PlainButton(QStringLiteral("Exporter"), "square.and.arrow.up", VEQ::label(11, QFont::Medium),
                              VEQ::textSecondary());
    export_->setObjectName(QStringLiteral("exportButton"));
    connect(export_, &QAbstractButton::clicked, this, [this] { exportCSV(); });
    row->addWidget(export_);
    return bar;
}

void DIDScannerView::selectRange(const DIDRange& range) {
    const auto& ranges = DIDRange::priority();
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        if (ranges[i] == range) {
            selectedRange_ = range;
            rangePicker_->setCurrentIndex(static_cast<int>(i));
        }
    }
}

void DIDScannerView::renderECUs() {
    const QSignalBlocker quiet(ecuPicker_);
    ecuPicker_->clear();
    for (const std::string& header : scannableECUs(model_.ecus())) {
        ecuPicker_->addItem(ecuName(model_.ecus(), header), qs(header));
    }
    ecuPicker_->setCurrentIndex(ecuPicker_->findData(qs(model_.didScanECU())));
}

void DIDScannerView::renderControls() {
    const bool scanning = model_.didScanning();
    const bool watching = model_.didWatching();
    const bool empty = model_.discoveredDIDs().empty();
    stop_->setVisible(scanning);
    scan_->setVisible(!scanning);
    scan_->setTint(model_.accent());
    watch_->setText(watching ? QStringLiteral("Arr\u00EAter l'observation") : QStringLiteral("Observer"));
    watch_->setSymbol(watching ? "eye.slash.fill" : "eye.fill");
    watch_->setColour(watching ? VEQ::warning() : VEQ::textSecondary());
    watch_->setEnabled(!empty && !scanning);
    watch_->updateGeometry();
    export_->setEnabled(!empty);
}

void DIDScannerView::renderProgress() {
    const auto& progress = model_.didScanProgress();
    progress_->setVisible(progress.has_value());
    if (!progress) return;
    progressBar_->setRange(0, std::max(1, progress->total));
    progressBar_->setValue(std::clamp(progress->done, 0, std::max(1, progress->total)));
    progressBar_->setStyleSheet(QStringLiteral("QProgressBar{background:%1;border:none;border-radius:3px;}"
                                               "QProgressBar::chunk{background:%2;border-radius:3px;}")
                                    .arg(VEQ::surface2().name(), model_.accent().name()));
    progressText_->setText(qs(fmt::format("DID 0x{:04X} \u2014 {}/{}", progress->current, progress->done, progress->total)));
    foundText_->setText(qs(fmt::format("{} trouv\u00E9(s)", model_.discoveredDIDs().size())));
}

void DIDScannerView::renderExplanation() {
    if (model_.didWatching()) {
        explanationSymbol_->setSymbol("eye.fill");
        explanationSymbol_->setTint(VEQ::warning());
        explanationText_->setText(QStringLiteral(
            "Observation active : agissez sur le v\u00E9hicule (tournez le volant, acc\u00E9l\u00E9rez, allumez une "
            "fonction) et regardez quels octets s'allument en ambre. C'est ainsi qu'on identifie la donn\u00E9e port\u00E9e "
            "par un DID inconnu."));
    } else {
        explanationSymbol_->setSymbol("info.circle.fill");
        explanationSymbol_->setTint(model_.accent());
        explanationText_->setText(QStringLiteral(
            "Le balayage n'\u00E9met que des lectures (UDS 0x22) \u2014 il ne peut rien modifier. Commencez par la plage "
            "\u00AB Identification \u00BB, la plus rentable, puis passez aux plages constructeur."));
    }
}

QString DIDScannerView::shortfallText(const AppModel::DIDScanShortfall& shortfall) {
    using Kind = AppModel::DIDScanShortfall::Kind;
    switch (shortfall.kind) {
    case Kind::adapterSilent:
        return QStringLiteral("Balayage interrompu : l'adaptateur ne r\u00E9pond plus \u2014 r\u00E9sultat incomplet");
    case Kind::linkLost:
        return QStringLiteral("Balayage interrompu : liaison avec l'adaptateur perdue \u2014 r\u00E9sultat incomplet");
    case Kind::unanswered:
        return qs(fmt::format("Balayage incomplet : {} identifiant(s) sans r\u00E9ponse de l'adaptateur",
                              shortfall.unanswered));
    }
    return {};
}

void DIDScannerView::renderShortfall() {
    const auto& shortfall = model_.didScanShortfall();
    shortfall_->setVisible(shortfall.has_value());
    if (shortfall) shortfallText_->setText(shortfallText(*shortfall));
}

void DIDScannerView::renderResults() {
    const auto& dids = model_.discoveredDIDs();
    std::vector<std::string> ids;
    ids.reserve(dids.size());
    for (const DiscoveredDID& did : dids) ids.push_back(did.id());
    if (results_ && ids == rowIDs_ && !ids.empty()) {
        for (const DiscoveredDID& did : dids) rows_.at(did.id())->update(did);
        return;
    }
    rowIDs_ = ids;
    rows_.clear();
    QWidget* fresh = nullptr;
    if (dids.empty()) {
        fresh = ExpertLists::makeEmptyState("questionmark.folder", 30, QStringLiteral("Aucun identifiant d\u00E9couvert"),
                                            14, QStringLiteral("Lancez un balayage sur un calculateur qui r\u00E9pond."));
    } else {
        QVBoxLayout* column = nullptr;
        fresh = ExpertLists::makeScroll(QStringLiteral("didScroll"), column, 0, 0);
        for (const DiscoveredDID& did : dids) {
            auto* row = new Row(model_, did);
            rows_.emplace(did.id(), row);
            column->addWidget(row);
            column->addWidget(ExpertLists::makeRowDivider());
        }
        column->addStretch(1);
    }
    ExpertLists::showPart(layout_, results_, fresh, 1);
}

void DIDScannerView::exportCSV() {
    FileExporter::save(model_.dialogs(), DIDCSV::encode(model_.discoveredDIDs()), "dids-" + model_.didScanECU() + ".csv",
                       FileExporter::ContentType{"Texte CSV", "csv"},
                       [this](const std::filesystem::path& destination) { return model_.keptFileRefusal(destination); });
}

} // namespace veq
