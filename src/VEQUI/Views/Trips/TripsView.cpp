#include "VEQUI/Views/Trips/TripsView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/RangeTimeline.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"
#include "VEQUI/Views/Recording/CurrentTripTiles.hpp"
#include "VEQUI/Views/Trips/DrivePanel.hpp"
#include "VEQUI/Views/Trips/DriveReading.hpp"
#include "VEQUI/Views/Trips/DriveTimeline.hpp"
#include "VEQUI/Views/Recording/RecordingCard.hpp"
#include "VEQUI/Views/Trips/SessionList.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QScrollArea>
#include <QVBoxLayout>

#include <filesystem>
#include <utility>

namespace veq {

namespace {


bool isLive(const AppModel& model) { return model.phase() == AppModel::Phase::live(); }

// The drive's telemetry file, when it is in the sessions folder.
std::optional<std::filesystem::path> presentFile(const SessionCatalog& catalog, const SessionRecord& record) {
    auto file = catalog.driveFile(record);
    std::error_code ignored;
    if (!file || !std::filesystem::is_regular_file(*file, ignored)) return std::nullopt;
    return file;
}

QString countText(std::size_t drives) {
    if (drives == 0) return QStringLiteral("Aucun trajet");
    return TripFigures::counted(static_cast<std::int64_t>(drives), "trajet", "trajets");
}

} // namespace

TripsView::TripsView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), header_(new HeaderBar(QStringLiteral("Trajets"), QStringLiteral("tripsSummary"))),
      currentCard_(nullptr), currentTitle_(nullptr), tiles_(new CurrentTripTiles), list_(new SessionList),
      noDrives_(ListScreen::makeEmptyState("map", 30, VEQ::textSecondary(), QStringLiteral("Aucun trajet enregistré"))),
      panelCard_(new RoundedPanel(12, VEQ::surface1())), panel_(new DrivePanel),
      panelScroll_(ListScreen::makeScroll(QStringLiteral("drivePanelScroll"), panel_)) {
    setObjectName(QStringLiteral("TripsView"));
    auto* column = new QVBoxLayout(this);
    ListScreen::openColumn(*column, header_, model_);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(18, 18, 18, 18);
    body->setSpacing(14);
    QVBoxLayout* current = nullptr;
    currentCard_ = makeRecordingCard(QStringLiteral("Trajet en cours"), QStringLiteral("currentTripCard"), current);
    currentTitle_ = currentCard_->findChild<QLabel*>(QStringLiteral("cardTitle"));
    current->addWidget(tiles_);
    auto* replay = new PlainButton(QStringLiteral("Revoir sur les compteurs"), "gauge.with.needle.fill",
                                   VEQ::label(12, QFont::Medium), model_.accent());
    replay->setObjectName(QStringLiteral("replayButton"));
    connect(replay, &QAbstractButton::clicked, this, [this] {
        if (onReplay) onReplay();
    });
    connect(&model_, &AppModel::nightModeChanged, replay, [this, replay] { replay->setColour(model_.accent()); });
    current->addWidget(replay, 0, Qt::AlignLeft);
    body->addWidget(currentCard_);

    auto* history = new QHBoxLayout;
    history->setSpacing(14);
    auto* drives = new QVBoxLayout;
    drives->setSpacing(10);
    drives->addWidget(makeLabel(QStringLiteral("Historique"), VEQ::label(13, QFont::DemiBold), VEQ::textPrimary(),
                                QStringLiteral("historyTitle")));
    drives->addWidget(list_, 1);
    drives->addWidget(noDrives_, 1);
    history->addLayout(drives, 1);

    panelCard_->setObjectName(QStringLiteral("drivePanelCard"));
    panelCard_->setOutline(VEQ::stroke(), 1);
    panelCard_->setFixedWidth(DrivePanel::width + 28 + 8); // its insets and room for a scroll bar
    auto* panelColumn = new QVBoxLayout(panelCard_);
    panelColumn->setContentsMargins(14, 14, 8, 14);
    panelColumn->addWidget(panelScroll_);
    history->addWidget(panelCard_);
    body->addLayout(history, 1);
    column->addLayout(body, 1);

    list_->busyTest = [this](const SessionRecord& record) { return model_.isExporting(record); };
    list_->onSelectionChanged = [this] { showSelected(); };
    panel_->onExport = [this](DriveExport::Format format) { exportSelected(format); };
    panel_->onDelete = [this] { deleteSelected(); };
    panel_->onSubtitleLayout = [this](SubtitleExporter::Layout layout) {
        SubtitleExporter::Options options = model_.subtitleOptions();
        options.layout = layout;
        model_.setSubtitleOptions(options);
    };
    panel_->timeline().onRefresh = [this] { openSelected(true); };
    panel_->timeline().onChannel = [this](std::uint8_t channel) {
        const auto contents = panel_->timeline().contents();
        if (!contents) return;
        DriveReading::retrend(model_, contents, channel, this, [this, contents, channel](std::vector<double> trend) {
            // A trend of a drive no longer shown, or of a channel the user has since left, is
            // dropped: trends computed one per step through the picker arrive in any order.
            DriveTimeline& timeline = panel_->timeline();
            if (timeline.contents() != contents || timeline.channelPicker().currentData().toUInt() != channel) return;
            timeline.setBackdrop(channel, std::move(trend));
        });
    };
    connect(&model_, &AppModel::pastSessionsChanged, this, [this] { refreshDrives(); });
    // A lost link ends the drive under way: its row is no longer live and its card says so. A
    // silence changes no row.
    connect(&model_, &AppModel::linkNoticeChanged, this, [this] {
        refreshCurrentTrip();
        if (model_.linkNotice() == LinkNotice::linkLost) refreshDrives();
    });
    connect(&model_, &AppModel::exportingDrivesChanged, this, [this] {
        list_->busyChanged();
        if (const SessionRow* row = list_->selectedRow()) showExportsOf(*row);
    });
    connect(&model_, &AppModel::phaseChanged, this, [this] {
        refreshCurrentTrip();
        refreshDrives();
    });
    connect(&model_, &AppModel::subtitleOptionsChanged, this, [this] { showSelected(); });
    connect(&model_.store(), &TelemetryStore::tripChanged, this, [this] { refreshCurrentTrip(); });
    connect(&model_, &AppModel::nightModeChanged, this, [this] {
        refreshCurrentTrip();
        list_->setAccent(model_.accent());
        panel_->timeline().range().setAccent(model_.accent());
    });
    list_->setAccent(model_.accent());
    panel_->timeline().range().setAccent(model_.accent());
    refreshCurrentTrip();
    refreshDrives();
}

void TripsView::refreshCurrentTrip() {
    currentCard_->setVisible(isLive(model_));
    currentTitle_->setText(model_.linkNotice() == LinkNotice::linkLost ? QStringLiteral("Trajet interrompu")
                                                                       : QStringLiteral("Trajet en cours"));
    // A tile for every timed run from the start: tiles that came with the runs would push the
    // panel below them down under the pointer.
    if (isLive(model_)) {
        tiles_->show(TripFigures::ofCurrentDrive(model_.store().trip(), TripFigures::Runs::every), model_.accent());
    }
}

void TripsView::refreshDrives() {
    const auto& records = model_.pastSessions();
    std::vector<SessionRow> rows;
    rows.reserve(records.size());
    const SessionCatalog& catalog = model_.sessionCatalog();
    for (const SessionRecord& record : records) {
        rows.push_back({record, model_.isCurrentSession(record), !presentFile(catalog, record).has_value(),
                        model_.isDriveEndedByLoss(record)});
    }
    header_->setSummary(countText(rows.size()), VEQ::textSecondary());
    list_->setVisible(!rows.empty());
    noDrives_->setVisible(rows.empty());
    panelCard_->setVisible(!rows.empty());
    list_->setRows(std::move(rows));
}

void TripsView::showSelected() {
    const SessionRow* row = list_->selectedRow();
    if (!row) return;
    showExportsOf(*row);
    const bool sameDrive = opened_ && *opened_ == row->record;
    if (!sameDrive || row->fileMissing) {
        openSelected(false);
    } else if (openedLive_ != row->live) {
        openSelected(true); // the recording ended: the drive is read whole once more
    }
}

void TripsView::showExportsOf(const SessionRow& row) {
    // Turning a focused button off moves the focus on, and the scroll area would scroll to it:
    // the panel stays where the user left it.
    QScrollBar* bar = panelScroll_->verticalScrollBar();
    const int kept = bar->value();
    const QString exported = exported_ && exported_->first == row.record ? exported_->second : QString();
    panel_->show(row, list_->isBusy(row), model_.subtitleOptions().layout, exported);
    bar->setValue(kept);
}

void TripsView::openSelected(bool again) {
    const SessionRow* row = list_->selectedRow();
    if (!row) return;
    const SessionRecord record = row->record;
    const bool live = row->live;
    const std::uint64_t generation = ++readGeneration_;
    opened_ = record;
    openedLive_ = live;
    waitingRead_.reset();
    const auto file = presentFile(model_.sessionCatalog(), record);
    if (!file) {
        panel_->timeline().showUnavailable(QStringLiteral("Le fichier de ce trajet est introuvable : il ne peut pas être découpé."));
        return;
    }
    std::optional<std::uint8_t> channel;
    if (again && panel_->timeline().contents()) {
        if (const QVariant pid = panel_->timeline().channelPicker().currentData(); pid.isValid()) {
            channel = static_cast<std::uint8_t>(pid.toUInt());
        }
    }
    panel_->timeline().showReading(live, again);
    ReadRequest request{*file, channel, live, again, generation, {}};
    if (!live && record.endDate) request.recordedLength = record.duration();
    if (reading_) {
        waitingRead_ = std::move(request);
    } else {
        startRead(request);
    }
}

void TripsView::startRead(const ReadRequest& request) {
    reading_ = true;
    // The drive being recorded keeps up to a buffer of records in memory: they go to the file first.
    if (request.live) model_.store().flushRecording();
    DriveReading::open(model_, request.file, request.channel, this, [this, request](DriveReading::Outcome outcome) {
        reading_ = false;
        if (waitingRead_) startRead(*std::exchange(waitingRead_, std::nullopt));
        if (request.generation != readGeneration_) return; // another drive was selected meanwhile
        if (outcome.opened) {
            // The file's last record comes a moment before the drive's end: the whole range runs to
            // that end, so that it reads the length the drive's tile and row read.
            if (request.recordedLength) outcome.opened->duration = std::max(outcome.opened->duration, *request.recordedLength);
            panel_->timeline().showDrive(std::move(*outcome.opened), request.live, request.again);
        } else {
            panel_->timeline().showUnavailable(QString::fromStdString(outcome.failure));
        }
    });
}

void TripsView::exportSelected(DriveExport::Format format) {
    const SessionRow* row = list_->selectedRow();
    if (!row || model_.isExporting(row->record)) return;
    const SessionRecord record = row->record;
    const auto file = presentFile(model_.sessionCatalog(), record);
    if (!file) {
        model_.dialogs().showMessage({Dialogs::Message::Kind::error, "Export impossible",
                                      "Le fichier de ce trajet est introuvable (« " + record.fileName +
                                          " ») : il n'y a rien à exporter."});
        return;
    }
    DriveExport::Source source{*file, nullptr, panel_->timeline().excerpt()};
    if (model_.isCurrentSession(record)) {
        // The drive being recorded is read anew, up to now: its buffered records go to the file first.
        model_.store().flushRecording();
    } else if (opened_ && *opened_ == record && !panel_->timeline().range().isBusy()) {
        // What the timeline holds, unless it is being read again (the drive just ended, say).
        source.contents = panel_->timeline().contents();
    }
    DriveExport::Settings settings;
    settings.title = "Trajet du " + DateTexts::listDate(record.startDate, false).toStdString() + " · " +
                     TripFigures::vehicleOf(record).toStdString();
    settings.subtitles = model_.subtitleOptions();
    if (exported_ && exported_->first == record) exported_.reset();
    model_.setExporting(record, true);
    // The mark is the export's: it ends with the export even when this screen has gone.
    DriveExport::start(model_, std::move(source), format, std::move(settings), &model_,
                       [&model = model_, self = QPointer<TripsView>(this), record](const std::optional<std::filesystem::path>& written) {
                           if (self) self->exportFinished(record, written);
                           model.setExporting(record, false);
                       });
}

void TripsView::exportFinished(const SessionRecord& record, const std::optional<std::filesystem::path>& written) {
    if (!written) return;
    exported_ = {record, QString::fromStdString(written->filename().string())};
}

void TripsView::deleteSelected() {
    const SessionRow* row = list_->selectedRow();
    if (!row || row->live || model_.isExporting(row->record)) return;
    const SessionRecord record = row->record;
    Dialogs::Confirmation question;
    question.title = "Supprimer ce trajet ?";
    question.text = "Le trajet du " + DateTexts::listDate(record.startDate, false).toStdString() +
                    " et son fichier « " + record.fileName + " » seront supprimés. Cette action est définitive.";
    question.confirmLabel = "Supprimer";
    question.cancelLabel = "Annuler";
    question.destructive = true;
    if (!model_.dialogs().confirm(question)) return;
    model_.deleteSession(record);
}

void TripsView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
