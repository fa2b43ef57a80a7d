#include "VEQUI/Views/Capture/CaptureRangeCard.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/FileExporter.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/RangeTimeline.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"
#include "VEQUI/Views/Recording/RecordingCard.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace veq {

namespace {

using Kind = AppModel::LogPhase::Kind;

constexpr int noteWidth = 420;
const QString unknown = QStringLiteral("\u2014");
constexpr std::chrono::seconds tickInterval{1};

const QString noEventsNote = QStringLiteral("L'enregistreur ne garde encore aucun événement.");
const QString emptyRangeNote = QStringLiteral("La plage est vide : éloignez la fin du début.");
const QString savingNote = QStringLiteral("Écriture du log en cours…");
const QString replacesNote = QStringLiteral("Un passage est marqué : enregistrer la plage le remplace.");
const QString plainNote = QStringLiteral("Du plus ancien événement gardé à maintenant, en MDF 4.10 ou en veqt.");

} // namespace

CaptureRangeCard::CaptureRangeCard(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), timeline_(new RangeTimeline),
      saveButton_(new ProminentButton(QStringLiteral("Enregistrer la plage…"), "arrow.down.doc.fill",
                                      VEQ::label(12, QFont::DemiBold), VEQ::accent())),
      note_(makeWrappingLabel({}, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), noteWidth,
                              QStringLiteral("rangeNote"))),
      clock_([] { return std::chrono::system_clock::now(); }) {
    setObjectName(QStringLiteral("captureRange"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    QVBoxLayout* column = nullptr;
    outer->addWidget(makeRecordingCard(QStringLiteral("Plage à enregistrer"), QStringLiteral("rangeCard"), column));

    // Without a held event there is no time of day to name. An end at now reads as a clock shows
    // it, to the second before, as the saved log's record will.
    timeline_->setTimeText([this](double seconds) { return held_ ? DateTexts::clockTime(dateAt(seconds)) : unknown; });
    column->addWidget(timeline_);

    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    saveButton_->setObjectName(QStringLiteral("saveRangeButton"));
    row->addWidget(saveButton_, 0, Qt::AlignTop);
    row->addWidget(note_, 0, Qt::AlignVCenter);
    row->addStretch(1);
    column->addLayout(row);

    timeline_->onChange = [this](double, double) { refreshButton(); };
    connect(saveButton_, &QAbstractButton::clicked, this, [this] { saveRange(); });
    // Where the user saved, as every other save of the application tells its failure.
    connect(&model_, &AppModel::logSaveFailed, this,
            [this](const QString& reason) { FileExporter::tellFailure(model_.dialogs(), reason.toStdString()); });
    connect(&model_, &AppModel::captureOldestEventChanged, this, [this] { refresh(); });
    connect(&model_, &AppModel::recorderOriginChanged, this, [this] { refresh(); });
    connect(&model_, &AppModel::logPhaseChanged, this, [this] { refreshButton(); });
    connect(&model_, &AppModel::nightModeChanged, this, [this] {
        timeline_->setAccent(model_.accent());
        refreshButton();
    });
    timeline_->setAccent(model_.accent());
    tick_.setInterval(tickInterval);
    connect(&tick_, &QTimer::timeout, this, [this] { refresh(); });
    refresh();
}

void CaptureRangeCard::setClock(Clock clock) {
    clock_ = std::move(clock);
    refresh();
}

CaptureRangeCard::Date CaptureRangeCard::axisOrigin() const {
    return std::chrono::floor<std::chrono::seconds>(origin_.value_or(Date{}));
}

double CaptureRangeCard::secondsAt(Date date) const {
    return std::chrono::duration<double>(date - axisOrigin()).count();
}

CaptureRangeCard::Date CaptureRangeCard::dateAt(double seconds) const {
    return axisOrigin() + std::chrono::round<Date::duration>(std::chrono::duration<double>(seconds));
}

void CaptureRangeCard::refresh() {
    const auto origin = model_.recorderOrigin();
    const auto& oldest = model_.captureOldestEvent();
    const bool fresh = origin != origin_ || (oldest.has_value() && !held_);
    origin_ = origin;
    held_ = origin && oldest;
    if (!held_) {
        timeline_->setAxis(0, 0);
        timeline_->setEnabled(false);
    } else {
        // From the second the oldest event falls in: a start there holds it, on a whole second.
        const double lower = std::floor(secondsAt(*oldest));
        timeline_->setAxis(lower, std::max(lower, secondsAt(clock_())));
        if (fresh) timeline_->selectWhole();
        timeline_->setEnabled(true);
    }
    refreshButton();
}

std::optional<std::pair<CaptureRangeCard::Date, CaptureRangeCard::Date>> CaptureRangeCard::range() const {
    if (!held_) return std::nullopt;
    return std::pair{dateAt(timeline_->start()), dateAt(timeline_->end())};
}

void CaptureRangeCard::refreshButton() {
    const Kind phase = model_.logPhase().kind;
    QString note = plainNote;
    if (!held_) note = noEventsNote;
    else if (timeline_->isEmpty()) note = emptyRangeNote;
    else if (phase == Kind::saving) note = savingNote;
    else if (phase == Kind::running || phase == Kind::ended) note = replacesNote;
    // Saving again while a save runs would put the phase back to ended under the running save.
    const bool enabled = held_ && !timeline_->isEmpty() && phase != Kind::saving;
    saveButton_->setEnabled(enabled);
    saveButton_->setTint(enabled ? model_.accent() : VEQ::stroke());
    if (note_->text() != note) note_->setText(note);
}

void CaptureRangeCard::saveRange() {
    // An end that follows now is brought to now: the strip moves on only once a second.
    refresh();
    const auto chosen = range();
    if (!chosen || !saveButton_->isEnabled()) return;
    model_.saveRange(chosen->first, chosen->second);
}

void CaptureRangeCard::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    refresh();
    tick_.start();
}

void CaptureRangeCard::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) tick_.stop();
}

} // namespace veq
