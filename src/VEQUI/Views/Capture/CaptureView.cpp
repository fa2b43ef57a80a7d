#include "VEQUI/Views/Capture/CaptureView.hpp"

#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/EventLogControl.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"
#include "VEQUI/Views/Capture/CaptureChannelList.hpp"
#include "VEQUI/Views/Capture/CaptureRangeCard.hpp"
#include "VEQUI/Views/Recording/DriveExport.hpp"
#include "VEQUI/Views/Recording/FactView.hpp"
#include "VEQUI/Views/Recording/RecordingCard.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>

#include <cmath>

namespace veq {

namespace {

const QString unknown = QStringLiteral("\u2014");
constexpr int noteWidth = 420;
// The marking row holds the tallest form of the marking control, so that the card keeps its
// height, and the rows below their place, whatever the marking state.
constexpr int markingRowHeight = 26;

QString qs(const std::string& text) { return QString::fromStdString(text); }

// A mark, as the time of day it stands for.
QString markText(const std::optional<double>& seconds, const std::optional<AppModel::Date>& origin) {
    return seconds ? recorderMoment(*seconds, origin) : unknown;
}

QHBoxLayout* factRow(std::span<FactView*> facts, const std::array<const char*, 5>& titles, const QString& name) {
    auto* row = new QHBoxLayout;
    row->setSpacing(18);
    for (std::size_t i = 0; i < facts.size(); ++i) {
        facts[i] = makeFactView(QString::fromUtf8(titles[i]), name);
        row->addWidget(facts[i], 1);
    }
    return row;
}

} // namespace

CaptureView::CaptureView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), header_(new HeaderBar(QStringLiteral("Capture"), QStringLiteral("captureSummary"))),
      logControl_(new EventLogControl(model)), savedCard_(nullptr),
      reportButton_(new ProminentButton(QStringLiteral("Rapport HTML"), "square.and.arrow.up", VEQ::label(12, QFont::DemiBold),
                                        VEQ::accent())),
      reportNote_(makeWrappingLabel({}, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), noteWidth,
                                    QStringLiteral("reportNote"))),
      noEvents_(makeLabel(QStringLiteral("Aucun événement reçu pour l'instant."), VEQ::label(12, QFont::Medium),
                          VEQ::textSecondary(), QStringLiteral("noEvents"))),
      range_(new CaptureRangeCard(model)), channels_(new CaptureChannelList) {
    setObjectName(QStringLiteral("CaptureView"));
    auto* column = new QVBoxLayout(this);
    ListScreen::openColumn(*column, header_, model_);

    QVBoxLayout* cards = addScrollingCards(*column, QStringLiteral("captureScroll"));

    QVBoxLayout* recorder = nullptr;
    cards->addWidget(makeRecordingCard(QStringLiteral("Enregistreur"), QStringLiteral("recorderCard"), recorder));
    recorder->addLayout(factRow(status_, {"Événements", "Canaux", "Perdus (mémoire pleine)", "Marque de début",
                                          "Marque de fin"},
                                QStringLiteral("recorderFact")));
    auto* markingRow = new QWidget;
    markingRow->setObjectName(QStringLiteral("markingRow"));
    markingRow->setFixedHeight(markingRowHeight);
    auto* marking = new QHBoxLayout(markingRow);
    marking->setContentsMargins(0, 0, 0, 0);
    marking->addWidget(makeLabel(QStringLiteral("Marquer un passage à enregistrer"), VEQ::label(12, QFont::Medium),
                                 VEQ::textSecondary()));
    marking->addStretch(1);
    marking->addWidget(logControl_);
    recorder->addWidget(markingRow);

    cards->addWidget(range_);

    QVBoxLayout* saved = nullptr;
    savedCard_ = makeRecordingCard(QStringLiteral("Dernier log enregistré"), QStringLiteral("savedLogCard"), saved);
    saved->addLayout(factRow(saved_, {"Fichier", "Lignes", "Canaux", "Événements", "Durée"}, QStringLiteral("savedFact")));
    auto* report = new QHBoxLayout;
    report->setSpacing(12);
    reportButton_->setObjectName(QStringLiteral("htmlReportButton"));
    report->addWidget(reportButton_, 0, Qt::AlignTop);
    report->addWidget(reportNote_, 0, Qt::AlignVCenter);
    report->addStretch(1);
    saved->addLayout(report);
    cards->addWidget(savedCard_);

    QVBoxLayout* channelColumn = nullptr;
    cards->addWidget(makeRecordingCard(QStringLiteral("Canaux"), QStringLiteral("channelCard"), channelColumn));
    channelColumn->addWidget(noEvents_);
    channelColumn->addWidget(channels_);
    cards->addStretch(1);

    channels_->onKeepChanged = [this](std::uint8_t channel, bool keep) {
        std::set<std::uint8_t> excluded = model_.excludedChannels();
        if (keep) excluded.erase(channel);
        else excluded.insert(channel);
        model_.setExcludedChannels(std::move(excluded));
    };
    connect(reportButton_, &QAbstractButton::clicked, this, [this] { exportReport(); });
    connect(&model_, &AppModel::captureStatusChanged, this, [this] { refreshStatus(); });
    connect(&model_, &AppModel::captureSummariesChanged, this, [this] { refreshChannels(); });
    connect(&model_, &AppModel::excludedChannelsChanged, this, [this] { refreshChannels(); });
    connect(&model_, &AppModel::lastSavedLogChanged, this, [this] { refreshSavedLog(); });
    connect(&model_, &AppModel::nightModeChanged, this, [this] {
        channels_->setAccent(model_.accent());
        refreshSavedLog();
    });
    channels_->setAccent(model_.accent());
    refreshStatus();
    refreshChannels();
    refreshSavedLog();
}

CaptureView::~CaptureView() {
    if (refreshing_) model_.endCaptureRefresh();
}

void CaptureView::setAnimated(bool animated) { logControl_->setAnimated(animated); }

void CaptureView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A window coming back from the task bar is no new appearance of the screen.
    if (event->spontaneous() || refreshing_) return;
    refreshing_ = true;
    model_.beginCaptureRefresh();
}

void CaptureView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous() || !refreshing_) return;
    refreshing_ = false;
    model_.endCaptureRefresh();
}

void CaptureView::refreshStatus() {
    const auto& status = model_.captureStatus();
    const auto origin = model_.recorderOrigin();
    const auto count = [&](auto field) { return status ? QString::number(field(*status)) : unknown; };
    status_[0]->set(Fact{QStringLiteral("Événements"), count([](const auto& s) { return s.eventCount; })});
    status_[1]->set(Fact{QStringLiteral("Canaux"), count([](const auto& s) { return s.channelsSeen; })});
    status_[2]->set(Fact{QStringLiteral("Perdus (mémoire pleine)"), count([](const auto& s) { return s.dropped; })});
    status_[2]->setVisible(status && status->dropped > 0);
    status_[3]->set(Fact{QStringLiteral("Marque de début"), markText(status ? status->startMark : std::nullopt, origin)});
    status_[4]->set(Fact{QStringLiteral("Marque de fin"), markText(status ? status->endMark : std::nullopt, origin)});
    header_->setSummary(status ? TripFigures::counted(static_cast<std::int64_t>(status->eventCount), "événement",
                                                      "événements")
                               : QStringLiteral("En attente"),
                        VEQ::textSecondary());
}

void CaptureView::refreshChannels() {
    const auto& summaries = model_.captureSummaries();
    noEvents_->setVisible(summaries.empty());
    channels_->setVisible(!summaries.empty());
    channels_->show(summaries, model_.recorderOrigin(), model_.excludedChannels());
}

void CaptureView::refreshSavedLog() {
    const auto& log = model_.lastSavedLog();
    savedCard_->setVisible(log.has_value());
    if (!log) return;
    saved_[0]->set(Fact{QStringLiteral("Fichier"), qs(log->url.filename().string())});
    saved_[1]->set(Fact{QStringLiteral("Lignes"), QString::number(log->records)});
    saved_[2]->set(Fact{QStringLiteral("Canaux"), QString::number(log->channels)});
    saved_[3]->set(Fact{QStringLiteral("Événements"), QString::number(log->events)});
    // Rounded to the nearest second as the marking control's "… s" is, so that both agree.
    saved_[4]->set(Fact{QStringLiteral("Durée"), TripFigures::clockDuration(std::nearbyint(log->duration))});
    const bool ownFile = TelemetryFile::isOwnFileName(log->url);
    reportButton_->setEnabled(ownFile && !exporting_);
    reportButton_->setTint(reportButton_->isEnabled() ? model_.accent() : VEQ::stroke());
    if (exporting_) {
        reportNote_->setText(QStringLiteral("Écriture du rapport…"));
    } else if (!ownFile) {
        reportNote_->setText(QStringLiteral("Le rapport HTML se fait depuis un fichier veqt : ce log est en MDF 4.10."));
    } else {
        reportNote_->setText(QStringLiteral("Une page autonome : un graphique et les chiffres de chaque canal."));
    }
}

void CaptureView::exportReport() {
    const auto& log = model_.lastSavedLog();
    if (!log || !TelemetryFile::isOwnFileName(log->url) || exporting_) return;
    exporting_ = true;
    refreshSavedLog();
    DriveExport::Settings settings;
    settings.title = "Capture " + log->url.stem().string();
    DriveExport::start(model_, log->url, DriveExport::Format::html, std::move(settings), this, [this] {
        exporting_ = false;
        refreshSavedLog();
    });
}

void CaptureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
