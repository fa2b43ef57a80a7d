#include "VEQUI/Views/Trips/DrivePanel.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/AdaptiveGridLayout.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/SegmentedPicker.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"
#include "VEQUI/Views/Trips/DriveTimeline.hpp"
#include "VEQUI/Views/Recording/FactView.hpp"
#include "VEQUI/Views/Trips/PanelButton.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace veq {

namespace {

constexpr int inner = DrivePanel::width;
constexpr int factColumn = 120;
constexpr int spacing = 10;

QString caption(const char* text) { return QString::fromUtf8(text).toUpper(); }

QPushButton* formatButton(const DriveExport::FormatRow& format) {
    QPushButton* button = makePanelButton(QString::fromUtf8(format.title),
                                          QStringLiteral("exportButton.") + QString::fromStdString(format.type.extension));
    button->setToolTip(QStringLiteral("Exporter ce trajet : ") + QString::fromStdString(format.type.description));
    return button;
}

// Why the export buttons are off, or what the export section has to say.
QString exportNoteOf(const SessionRow& row, bool busy, const QString& exported) {
    if (busy) return QStringLiteral("Export en cours…");
    if (row.fileMissing) return QStringLiteral("Le fichier de ce trajet est introuvable : il ne peut pas être exporté.");
    if (!exported.isEmpty()) return QStringLiteral("Exporté : ") + exported;
    return QStringLiteral("Le fichier porte la date et l'heure du début du trajet.");
}

} // namespace

DrivePanel::DrivePanel(QWidget* parent)
    : QWidget(parent), title_(makeLabel({}, VEQ::label(15, QFont::DemiBold), VEQ::textPrimary(), QStringLiteral("driveTitle"))),
      vehicle_(makeLabel({}, VEQ::label(12, QFont::Medium), VEQ::textSecondary(), QStringLiteral("driveVehicle"))),
      figures_(new QWidget), figureGrid_(new AdaptiveGridLayout(factColumn, spacing, figures_)),
      liveNote_(makeWrappingLabel(QStringLiteral("Trajet en cours d'enregistrement : sa fiche est complétée à la "
                                                 "déconnexion. Ses chiffres sont ceux du trajet en cours."),
                                  VEQ::label(11, QFont::Medium), VEQ::confirm(), inner, QStringLiteral("liveNote"))),
      timeline_(new DriveTimeline(inner)),
      exportNote_(makeWrappingLabel({}, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), inner,
                                    QStringLiteral("exportNote"))),
      delete_(new PlainButton(QStringLiteral("Supprimer le trajet"), "trash", VEQ::label(12, QFont::Medium),
                              VEQ::critical())),
      deleteNote_(makeWrappingLabel(QStringLiteral("Trajet en cours d'enregistrement : il pourra être supprimé "
                                                   "après la déconnexion."),
                                    VEQ::label(11, QFont::Medium), VEQ::textSecondary(), inner,
                                    QStringLiteral("deleteNote"))) {
    setObjectName(QStringLiteral("drivePanel"));
    setFixedWidth(inner);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    column->addWidget(title_);
    column->addWidget(vehicle_);
    column->addWidget(figures_);
    column->addWidget(liveNote_);
    column->addWidget(new Divider(Qt::Horizontal));
    column->addWidget(timeline_);
    column->addWidget(new Divider(Qt::Horizontal));

    column->addWidget(makeLabel(caption("Exporter"), tracked(VEQ::label(10, QFont::Bold), 1), VEQ::textSecondary()));
    auto* buttons = new QGridLayout;
    buttons->setSpacing(8);
    int index = 0;
    for (const DriveExport::FormatRow& format : DriveExport::formats()) {
        QPushButton* button = formatButton(format);
        const DriveExport::Format chosen = format.format;
        QObject::connect(button, &QPushButton::clicked, this, [this, chosen] {
            if (onExport) onExport(chosen);
        });
        exports_[chosen] = button;
        buttons->addWidget(button, index / 3, index % 3);
        ++index;
    }
    column->addLayout(buttons);
    column->addWidget(makeLabel(QStringLiteral("Mise en page des sous-titres SRT"), VEQ::label(11, QFont::Medium),
                                VEQ::textSecondary()));
    QStringList layouts;
    for (const SubtitleExporter::Layout layout : EnumTraits<SubtitleExporter::Layout>::allCases) {
        layouts << QString::fromUtf8(SubtitleExporter::label(layout).data(),
                                     static_cast<qsizetype>(SubtitleExporter::label(layout).size()));
    }
    subtitles_ = new SegmentedPicker(layouts, inner,
                                     {.name = QStringLiteral("subtitleLayoutPicker"),
                                      .segmentName = QStringLiteral("subtitleLayoutSegment"),
                                      .font = VEQ::label(12, QFont::Medium),
                                      .horizontalPadding = 6,
                                      .cornerRadius = 6});
    subtitles_->onChange = [this](int choice) {
        if (onSubtitleLayout) onSubtitleLayout(EnumTraits<SubtitleExporter::Layout>::allCases[static_cast<std::size_t>(choice)]);
    };
    column->addWidget(subtitles_);
    column->addWidget(exportNote_);
    column->addWidget(new Divider(Qt::Horizontal));

    delete_->setObjectName(QStringLiteral("deleteDriveButton"));
    QObject::connect(delete_, &QAbstractButton::clicked, this, [this] {
        if (onDelete) onDelete();
    });
    column->addWidget(delete_, 0, Qt::AlignLeft);
    column->addWidget(deleteNote_);
    column->addStretch(1);
}

QPushButton* DrivePanel::exportButton(DriveExport::Format format) const {
    const auto it = exports_.find(format);
    return it == exports_.end() ? nullptr : it->second;
}

void DrivePanel::show(const SessionRow& row, bool busy, SubtitleExporter::Layout layout, const QString& exported) {
    title_->setText(QStringLiteral("Trajet du ") + DateTexts::listDate(row.record.startDate, false));
    vehicle_->setText(TripFigures::vehicleOf(row.record));

    const auto figures = row.live ? std::vector<TripFigures::Figure>{} : TripFigures::ofRecord(row.record);
    while (facts_.size() > figures.size()) {
        delete facts_.back();
        facts_.pop_back();
    }
    while (facts_.size() < figures.size()) {
        auto* fact = makeFactView({}, QStringLiteral("driveFact"));
        figureGrid_->addWidget(fact);
        facts_.push_back(fact);
    }
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const auto& f = figures[i];
        facts_[i]->set(Fact{f.title, f.unit.isEmpty() ? f.value : f.value + QLatin1Char(' ') + f.unit});
    }
    figures_->setVisible(!row.live);
    liveNote_->setVisible(row.live);

    // A missing file has nothing to export; a drive being exported waits for its export to end.
    for (const auto& [format, button] : exports_) button->setEnabled(!busy && !row.fileMissing);
    exportNote_->setText(exportNoteOf(row, busy, exported));
    if (const int shown = layout == SubtitleExporter::Layout::readable ? 1 : 0; subtitles_->currentIndex() != shown) {
        subtitles_->setCurrentIndex(shown);
    }

    const bool deletable = !row.live && !busy;
    delete_->setEnabled(deletable);
    delete_->setColour(deletable ? VEQ::critical() : VEQ::textSecondary());
    if (row.live) {
        deleteNote_->setText(QStringLiteral("Trajet en cours d'enregistrement : il pourra être supprimé après la déconnexion."));
    } else if (busy) {
        deleteNote_->setText(QStringLiteral("Export en cours : le trajet pourra être supprimé une fois l'export terminé."));
    }
    deleteNote_->setVisible(!deletable);
}

} // namespace veq
