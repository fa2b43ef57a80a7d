#include "VEQUI/Views/Recording/ReportView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"
#include "VEQUI/Views/Recording/CurrentTripTiles.hpp"
#include "VEQUI/Views/Recording/FactView.hpp"
#include "VEQUI/Views/Recording/ParameterTable.hpp"
#include "VEQUI/Views/Recording/RecordingCard.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace veq {

namespace {

const QString unknown = QStringLiteral("\u2014");

QString qs(const std::string& text) { return QString::fromStdString(text); }

// When the drive began: its first speed reading, else the moment of connecting.
QString startText(const AppModel& model) {
    if (const auto& start = model.store().trip().startTime) return DateTexts::listDate(*start, true);
    if (const auto origin = model.recorderOrigin()) return DateTexts::listDate(*origin, true);
    return unknown;
}

} // namespace

ReportView::ReportView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), header_(new HeaderBar(QStringLiteral("Rapport"), QStringLiteral("reportSummary"))),
      tiles_(new CurrentTripTiles), table_(new ParameterTable),
      noParameters_(makeLabel(QStringLiteral("Aucun paramètre reçu pour l'instant."), VEQ::label(12, QFont::Medium),
                              VEQ::textSecondary(), QStringLiteral("noParameters"))) {
    setObjectName(QStringLiteral("ReportView"));
    auto* column = new QVBoxLayout(this);
    ListScreen::openColumn(*column, header_, model_);

    QVBoxLayout* cards = addScrollingCards(*column, QStringLiteral("reportScroll"));

    QVBoxLayout* drive = nullptr;
    cards->addWidget(makeRecordingCard(QStringLiteral("Trajet en cours"), QStringLiteral("reportDriveCard"), drive));
    auto* factsRow = new QHBoxLayout;
    factsRow->setSpacing(18);
    // The profile's name is the longest.
    const std::array<std::pair<const char*, int>, 3> titles{{{"Profil", 3}, {"VIN", 2}, {"Début", 2}}};
    for (std::size_t i = 0; i < titles.size(); ++i) {
        facts_[i] = makeFactView(QString::fromUtf8(titles[i].first), QStringLiteral("reportFact"));
        factsRow->addWidget(facts_[i], titles[i].second);
    }
    drive->addLayout(factsRow);
    drive->addWidget(tiles_);

    QVBoxLayout* parameters = nullptr;
    cards->addWidget(makeRecordingCard(QStringLiteral("Paramètres"), QStringLiteral("reportParameterCard"), parameters));
    parameters->addWidget(noParameters_);
    parameters->addWidget(table_);
    cards->addStretch(1);

    throttle_.setSingleShot(true);
    throttle_.setInterval(refreshMilliseconds);
    connect(&throttle_, &QTimer::timeout, this, [this] {
        if (!pending_) return;
        pending_ = false;
        refresh();
        throttle_.start();
    });
    const auto stale = [this] { changed(); };
    connect(&model_.store(), &TelemetryStore::statsChanged, this, stale);
    connect(&model_.store(), &TelemetryStore::tripChanged, this, stale);
    connect(&model_, &AppModel::unitSystemChanged, this, stale);
    connect(&model_, &AppModel::nightModeChanged, this, stale);
    connect(&model_, &AppModel::selectedProfileChanged, this, stale);
    connect(&model_, &AppModel::vinChanged, this, stale);
    refresh();
}

void ReportView::changed() {
    // The first change after a quiet spell shows at once; those that follow within the interval
    // wait for its end.
    if (throttle_.isActive()) {
        pending_ = true;
        return;
    }
    refresh();
    throttle_.start();
}

void ReportView::refresh() {
    const auto& profile = model_.selectedProfile();
    facts_[0]->set(Fact{QStringLiteral("Profil"), profile ? qs(profile->displayName()) : unknown});
    facts_[1]->set(Fact{QStringLiteral("VIN"), model_.vin() ? qs(*model_.vin()) : unknown});
    facts_[2]->set(Fact{QStringLiteral("Début"), startText(model_)});
    tiles_->show(TripFigures::ofCurrentDrive(model_.store().trip()), model_.accent());

    auto rows = ParameterRow::of(model_.store(), model_.unitSystem());
    header_->setSummary(TripFigures::counted(static_cast<std::int64_t>(rows.size()), "paramètre", "paramètres"),
                        VEQ::textSecondary());
    noParameters_->setVisible(rows.empty());
    table_->setVisible(!rows.empty());
    table_->setRows(std::move(rows));
}

void ReportView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
