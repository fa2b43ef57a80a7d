#include "VEQUI/Views/Report/ReportView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/FileExporter.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"
#include "VEQUI/Views/Recording/BackgroundWrite.hpp"
#include "VEQUI/Views/Recording/CurrentTripTiles.hpp"
#include "VEQUI/Views/Recording/FactView.hpp"
#include "VEQUI/Views/Report/ParameterTable.hpp"
#include "VEQUI/Views/Recording/RecordingCard.hpp"
#include "VEQUI/Views/Report/ReportCodeList.hpp"
#include "VEQUI/Views/Report/ReportContent.hpp"
#include "VEQUI/Views/Report/ReportDocument.hpp"
#include "VEQUI/Views/Report/ReportECUTable.hpp"
#include "VEQUI/Views/Report/ReportPreview.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <memory>
#include <span>
#include <optional>

namespace veq {

namespace {

QLabel* makeNote(const char* text, const char* name) {
    return makeLabel(QString::fromUtf8(text), VEQ::label(12, QFont::Medium), VEQ::textSecondary(),
                     QString::fromUtf8(name));
}

// A row of facts, each taking its share of the width.
QHBoxLayout* factRow(std::span<FactView*> views, std::span<const std::pair<const char*, int>> titles,
                     const QString& name) {
    auto* row = new QHBoxLayout;
    row->setSpacing(18);
    for (std::size_t i = 0; i < views.size(); ++i) {
        views[i] = makeFactView(QString::fromUtf8(titles[i].first), name);
        row->addWidget(views[i], titles[i].second);
    }
    return row;
}

} // namespace

ReportView::ReportView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), header_(new HeaderBar(QStringLiteral("Rapport"), QStringLiteral("reportSummary"))),
      previewButton_(new ProminentButton(QStringLiteral("Aperçu du rapport PDF"), "doc.text",
                                         VEQ::label(12, QFont::DemiBold), VEQ::accent())),
      tiles_(new CurrentTripTiles), noCodes_(makeNote(Report::noCodesNote, "noCodes")), codes_(new ReportCodeList),
      noECUs_(makeNote(Report::noECUsNote(false), "noECUs")), ecuTable_(new ReportECUTable),
      table_(new ParameterTable),
      noParameters_(makeNote(Report::noParametersNote, "noParameters")) {
    setObjectName(QStringLiteral("ReportView"));
    auto* column = new QVBoxLayout(this);
    ListScreen::openColumn(*column, header_, model_);

    QVBoxLayout* cards = addScrollingCards(*column, QStringLiteral("reportScroll"));

    auto* actions = new QHBoxLayout;
    previewButton_->setObjectName(QStringLiteral("previewReportButton"));
    actions->addWidget(previewButton_);
    actions->addStretch(1);
    cards->addLayout(actions);

    QVBoxLayout* vehicle = nullptr;
    cards->addWidget(makeRecordingCard(QStringLiteral("Véhicule"), QStringLiteral("reportVehicleCard"), vehicle));
    // The profile's name is the longest.
    const std::array<std::pair<const char*, int>, 2> identity{{{"Profil", 3}, {"VIN", 2}}};
    std::array<FactView*, 2> identityViews{};
    vehicle->addLayout(factRow(identityViews, identity, QStringLiteral("reportFact")));
    const std::array<std::pair<const char*, int>, 3> sections{{{Report::vinSectionTitles[0], 1},
                                                               {Report::vinSectionTitles[1], 1},
                                                               {Report::vinSectionTitles[2], 1}}};
    vehicle->addLayout(factRow(vinSections_, sections, QStringLiteral("reportVinSection")));

    QVBoxLayout* drive = nullptr;
    cards->addWidget(makeRecordingCard(QStringLiteral("Connexion"), QStringLiteral("reportDriveCard"), drive));
    const std::array<std::pair<const char*, int>, 1> start{{{"Début", 1}}};
    std::array<FactView*, 1> startView{};
    drive->addLayout(factRow(startView, start, QStringLiteral("reportFact")));
    drive->addWidget(tiles_);
    facts_ = {identityViews[0], identityViews[1], startView[0]};

    QVBoxLayout* codes = nullptr;
    cards->addWidget(makeRecordingCard(QStringLiteral("Codes défaut"), QStringLiteral("reportCodesCard"), codes));
    codes->addWidget(noCodes_);
    codes->addWidget(codes_);

    QVBoxLayout* ecus = nullptr;
    cards->addWidget(makeRecordingCard(QStringLiteral("Calculateurs"), QStringLiteral("reportECUCard"), ecus));
    ecus->addWidget(noECUs_);
    ecus->addWidget(ecuTable_);

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
    connect(&model_, &AppModel::dtcsChanged, this, stale);
    connect(&model_, &AppModel::ecusChanged, this, stale);
    connect(&model_, &AppModel::udsDTCsChanged, this, stale);
    connect(&model_, &AppModel::recorderOriginChanged, this, stale);
    connect(previewButton_, &QAbstractButton::clicked, this, &ReportView::previewReport);
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
    ReportContent content = Report::contentOf(model_);
    facts_[0]->set(Fact{QStringLiteral("Profil"), content.profile});
    facts_[1]->set(Fact{QStringLiteral("VIN"), content.vin});
    facts_[2]->set(Fact{QStringLiteral("Début"), content.start});
    for (std::size_t i = 0; i < vinSections_.size(); ++i) {
        vinSections_[i]->set(Fact{QString::fromUtf8(Report::vinSectionTitles[i]), content.vinSections[i]});
    }
    tiles_->show(content.trip, model_.accent());

    noCodes_->setText(QString::fromUtf8(content.codesUnread ? Report::codesUnreadNote : Report::noCodesNote));
    setTextColour(noCodes_, content.codesUnread ? VEQ::warning() : VEQ::textSecondary());
    noCodes_->setVisible(content.codes.empty());
    codes_->setVisible(!content.codes.empty());
    codes_->setRows(std::move(content.codes));

    noECUs_->setText(QString::fromUtf8(Report::noECUsNote(content.ecusScanned)));
    noECUs_->setVisible(content.ecus.empty());
    ecuTable_->setVisible(!content.ecus.empty());
    ecuTable_->setRows(std::move(content.ecus));

    header_->setSummary(TripFigures::counted(static_cast<std::int64_t>(content.parameters.size()), "paramètre",
                                             "paramètres"),
                        VEQ::textSecondary());
    noParameters_->setVisible(content.parameters.empty());
    table_->setVisible(!content.parameters.empty());
    table_->setRows(std::move(content.parameters));
}

void ReportView::previewReport() {
    if (producing_) return;
    producing_ = true;
    previewButton_->setEnabled(false);
    // Taken here, on the GUI thread: the worker reads nothing of the model.
    auto content = std::make_shared<const ReportContent>(Report::contentOf(model_));
    std::string fileName = ReportDocument::fileName(Report::startOf(model_), TimeZone::current());
    QPointer<ReportView> self(this);
    model_.runInBackground([content, fileName = std::move(fileName), self](std::stop_token) -> std::function<void()> {
        QByteArray pdf;
        std::optional<std::string> failure;
        try {
            pdf = ReportDocument::pdf(*content);
        } catch (const std::exception& error) {
            failure = error.what();
        }
        return [self, pdf = std::move(pdf), failure, fileName] {
            if (!self) return;
            self->producing_ = false;
            self->previewButton_->setEnabled(true);
            if (failure) {
                self->model_.dialogs().showMessage(
                    {Dialogs::Message::Kind::error, {}, "Rapport PDF impossible : " + *failure});
                return;
            }
            self->showPreview(pdf, fileName);
        };
    });
}

ReportPreview* ReportView::preview() const { return preview_; }

void ReportView::showPreview(QByteArray pdf, std::string fileName) {
    if (preview_) preview_->close();
    preview_ = new ReportPreview(
        std::move(pdf), [this, fileName = std::move(fileName)](const QByteArray& bytes) { save(bytes, fileName); }, this);
    preview_->open();
}

void ReportView::save(const QByteArray& pdf, const std::string& fileName) {
    // Made from the model, not from a file: there is no source to keep from being written over.
    saveInBackground(model_, std::make_shared<const std::string>(pdf.constData(), static_cast<std::size_t>(pdf.size())),
                     fileName, FileExporter::pdfDocument(), std::nullopt);
}

void ReportView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
