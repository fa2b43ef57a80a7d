#include "VEQUI/Views/Connection/ConnectionCascadeView.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Connection/StepRow.hpp"
#include "VEQUI/Views/Connection/SweepPanel.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace veq {

namespace {

using Kind = AppModel::Phase::Kind;

constexpr int kDiagnosisInset = 16;
constexpr int kChevron = 9;
constexpr int kDiagnosisSpacing = 8;
constexpr int kDiagnosisTextWidth =
    ConnectionCascadeView::kCardWidth - 2 * kDiagnosisInset - kChevron - kDiagnosisSpacing;

QWidget* diagnosisRow(const std::string& line) {
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("diagnosisRow"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kDiagnosisSpacing);
    auto* chevron = new QVBoxLayout;
    chevron->setContentsMargins(0, 3, 0, 0);
    chevron->addWidget(new SymbolView("chevron.right", kChevron, VEQ::textSecondary()));
    chevron->addStretch(1);
    layout->addLayout(chevron);
    layout->addWidget(makeWrappingLabel(QString::fromStdString(line), VEQ::label(11, QFont::Medium),
                                        VEQ::textSecondary(), kDiagnosisTextWidth, QStringLiteral("diagnosisLine")));
    layout->addStretch(1);
    return row;
}

} // namespace

QString ConnectionCascadeView::title(const AppModel::Phase& phase) {
    switch (phase.kind) {
    case Kind::connecting: return QStringLiteral("Initialisation de l'adaptateur…");
    case Kind::failed: return QStringLiteral("Échec de la connexion");
    case Kind::disconnected:
    case Kind::live: break;
    }
    return QStringLiteral("Connexion au véhicule");
}

ConnectionCascadeView::ConnectionCascadeView(AppModel& model, QWidget* parent) : ScreenWidget(parent), model_(model) {
    setObjectName(QStringLiteral("connectionCascade"));
    // The screen's only two actions stay in view under the column, which scrolls when the
    // sweep and the diagnosis make it taller than the window.
    buttons_ = new QWidget;
    buttons_->setObjectName(QStringLiteral("failureButtons"));
    auto* buttons = new QHBoxLayout(buttons_);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(12);
    retry_ = new ProminentButton(QStringLiteral("Réessayer"), {}, VEQ::label(13, QFont::Medium), model_.accent());
    retry_->setObjectName(QStringLiteral("retryButton"));
    back_ = new PlainButton(QStringLiteral("Retour"), {}, VEQ::label(13, QFont::Medium), VEQ::textSecondary());
    back_->setObjectName(QStringLiteral("backButton"));
    buttons->addWidget(retry_);
    buttons->addWidget(back_);
    QVBoxLayout* column = installCentredColumn(this, 26, buttons_);

    brand_ = makeLabel(QStringLiteral("OSKAVEL CAR"), tracked(VEQ::label(22, QFont::Bold), 6), model_.accent(),
                       QStringLiteral("cascadeBrand"));
    column->addWidget(brand_, 0, Qt::AlignHCenter);
    title_ = makeLabel({}, VEQ::label(13, QFont::Medium), VEQ::textSecondary(), QStringLiteral("cascadeTitle"));
    column->addWidget(title_, 0, Qt::AlignHCenter);

    stepsCard_ = new RoundedPanel(16, VEQ::surface1());
    stepsCard_->setObjectName(QStringLiteral("stepsCard"));
    stepsCard_->setFixedWidth(kCardWidth);
    steps_ = new QVBoxLayout(stepsCard_);
    steps_->setContentsMargins(22, 22, 22, 22);
    steps_->setSpacing(12);
    column->addWidget(stepsCard_, 0, Qt::AlignHCenter);

    sweepPanel_ = new SweepPanel;
    column->addWidget(sweepPanel_, 0, Qt::AlignHCenter);

    diagnosisCard_ = new RoundedPanel(12, VEQ::surface1());
    diagnosisCard_->setObjectName(QStringLiteral("diagnosisCard"));
    diagnosisCard_->setFixedWidth(kCardWidth);
    auto* diagnosis = new QVBoxLayout(diagnosisCard_);
    diagnosis->setContentsMargins(kDiagnosisInset, kDiagnosisInset, kDiagnosisInset, kDiagnosisInset);
    diagnosis->setSpacing(8);
    diagnosis->addWidget(makeLabel(QStringLiteral("Diagnostic de connexion"), VEQ::label(12, QFont::DemiBold),
                                   VEQ::critical(), QStringLiteral("diagnosisTitle")));
    diagnosisLines_ = new QVBoxLayout;
    diagnosisLines_->setSpacing(8);
    diagnosis->addLayout(diagnosisLines_);
    column->addWidget(diagnosisCard_, 0, Qt::AlignHCenter);

    QObject::connect(retry_, &QAbstractButton::clicked, this, [this] { model_.connect(); });
    QObject::connect(back_, &QAbstractButton::clicked, this, [this] { model_.disconnect(); });

    QObject::connect(&model_, &AppModel::phaseChanged, this, [this] { showPhase(); });
    QObject::connect(&model_, &AppModel::initStepsChanged, this, [this] { showSteps(); });
    QObject::connect(&model_, &AppModel::sweepAttemptsChanged, this, [this] { showSweep(); });
    QObject::connect(&model_, &AppModel::lastSweepChanged, this, [this] { showSweep(); });
    QObject::connect(&model_, &AppModel::busTrafficChanged, this, [this] { showSweep(); });
    QObject::connect(&model_, &AppModel::diagnosticsChanged, this, [this] { showDiagnostics(); });
    QObject::connect(&model_, &AppModel::nightModeChanged, this, [this] { showAccent(); });
    showSteps();
    showSweep();
    showDiagnostics();
    showPhase();
    showAccent();
}

void ConnectionCascadeView::showPhase() {
    title_->setText(title(model_.phase()));
    const bool failed = model_.phase().kind == Kind::failed;
    diagnosisCard_->setVisible(failed);
    buttons_->setVisible(failed);
    contentSizeChanged(diagnosisCard_);
}

void ConnectionCascadeView::showSteps() {
    const auto& steps = model_.initSteps();
    const bool sameSteps = steps.size() == stepRows_.size() &&
                           std::equal(steps.begin(), steps.end(), stepRows_.begin(),
                                      [](const InitStep& step, const StepRow* row) { return step.command == row->command(); });
    if (sameSteps) {
        // The same rows: only their state changes, so that each dot springs in its own row.
        for (std::size_t i = 0; i < steps.size(); ++i) stepRows_[i]->setSucceeded(steps[i].succeeded);
        return;
    }
    for (auto* row : stepRows_) delete row;
    stepRows_.clear();
    for (const auto& step : steps) {
        auto* row = new StepRow(step);
        steps_->addWidget(row);
        stepRows_.push_back(row);
    }
    contentSizeChanged(stepsCard_);
}

void ConnectionCascadeView::showSweep() {
    sweepPanel_->setVisible(!model_.sweepAttempts().empty());
    sweepPanel_->display(model_.sweepAttempts(), model_.lastSweep(), model_.busTraffic());
    contentSizeChanged(sweepPanel_);
}

void ConnectionCascadeView::showDiagnostics() {
    while (QLayoutItem* item = diagnosisLines_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const auto& line : model_.diagnostics()) diagnosisLines_->addWidget(diagnosisRow(line));
    contentSizeChanged(diagnosisCard_);
}

void ConnectionCascadeView::showAccent() {
    const QColor accent = model_.accent();
    setTextColour(brand_, accent);
    sweepPanel_->setAccent(accent);
    retry_->setTint(accent);
}

} // namespace veq
