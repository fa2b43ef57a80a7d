#include "VEQUI/Views/Connection/ConnectionWizard.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Connection/AdaptersDisclosure.hpp"
#include "VEQUI/Views/Connection/LabeledField.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Connection/TransportCard.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace veq {

namespace {

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

} // namespace

ConnectionWizard::ConnectionWizard(AppModel& model, QWidget* parent) : ScreenWidget(parent), model_(model) {
    setObjectName(QStringLiteral("connectionWizard"));
    QVBoxLayout* column = installCentredColumn(this, 24);

    // Header.
    auto* header = new QVBoxLayout;
    header->setSpacing(8);
    logo_ = new SymbolView("gauge.open.with.lines.needle.33percent", 46, model_.accent());
    logo_->setObjectName(QStringLiteral("wizardLogo"));
    header->addWidget(logo_, 0, Qt::AlignHCenter);
    header->addWidget(makeLabel(QStringLiteral("OSKAVEL CAR"), tracked(VEQ::label(26, QFont::Bold), 6),
                                VEQ::textPrimary(), QStringLiteral("wizardTitle")),
                      0, Qt::AlignHCenter);
    header->addWidget(makeLabel(QStringLiteral("Diagnostic et télémétrie multimarque · OBD-II"),
                                VEQ::label(13, QFont::Medium), VEQ::textSecondary(), QStringLiteral("wizardSubtitle")),
                      0, Qt::AlignHCenter);
    column->addLayout(header);

    // Transport cards.
    auto* cards = new QVBoxLayout;
    cards->setSpacing(10);
    for (const TransportKind kind : allCases<TransportKind>()) {
        auto* card = new TransportCard(kind);
        QObject::connect(card, &QAbstractButton::clicked, this, [this, kind] { model_.setTransportKind(kind); });
        cards_.push_back(card);
        cards->addWidget(card, 0, Qt::AlignHCenter);
    }
    column->addLayout(cards);

    // Wi-Fi address and port.
    wifiRow_ = new QWidget;
    wifiRow_->setObjectName(QStringLiteral("wifiRow"));
    wifiRow_->setFixedWidth(TransportCard::kWidth);
    auto* fields = new QHBoxLayout(wifiRow_);
    fields->setContentsMargins(0, 0, 0, 0);
    fields->setSpacing(10);
    host_ = new LabeledField(QStringLiteral("Adresse"), 180);
    host_->field()->setObjectName(QStringLiteral("wifiHostField"));
    port_ = new LabeledField(QStringLiteral("Port"), 90);
    port_->field()->setObjectName(QStringLiteral("wifiPortField"));
    fields->addStretch(1);
    fields->addWidget(host_);
    fields->addWidget(port_);
    fields->addStretch(1);
    column->addWidget(wifiRow_, 0, Qt::AlignHCenter);
    wifiWarning_ = makeLabel(QStringLiteral("⚠︎ Le WiFi de l'ELM327 coupe l'accès Internet de l'ordinateur."),
                             VEQ::label(11, QFont::Medium), VEQ::warning(), QStringLiteral("wifiWarning"));
    column->addWidget(wifiWarning_, 0, Qt::AlignHCenter);
    QObject::connect(host_->field(), &QLineEdit::textEdited, this,
                     [this](const QString& text) { model_.setWifiHost(text.toStdString()); });
    QObject::connect(port_->field(), &QLineEdit::textEdited, this,
                     [this](const QString& text) { model_.setWifiPort(text.toStdString()); });

    // Connect.
    connectButton_ = new ProminentButton(QStringLiteral("Se connecter"), "bolt.horizontal.circle.fill",
                                         VEQ::label(15, QFont::DemiBold), model_.accent());
    connectButton_->setObjectName(QStringLiteral("connectButton"));
    connectButton_->setLabelFrame(220, 6);
    QObject::connect(connectButton_, &QAbstractButton::clicked, this, [this] { model_.connect(); });
    column->addWidget(connectButton_, 0, Qt::AlignHCenter);

    adapters_ = new AdaptersDisclosure;
    column->addWidget(adapters_, 0, Qt::AlignHCenter);

    column->addWidget(makeLabel(QStringLiteral("Confidentialité : tout reste local, aucune télémétrie."),
                                VEQ::label(10, QFont::Medium), withAlpha(VEQ::textSecondary(), 0.7),
                                QStringLiteral("wizardFooter")),
                      0, Qt::AlignHCenter);

    QObject::connect(&model_, &AppModel::transportKindChanged, this, [this] { refresh(); });
    QObject::connect(&model_, &AppModel::nightModeChanged, this, [this] { refresh(); });
    QObject::connect(&model_, &AppModel::wifiHostChanged, this, [this] { showHost(); });
    QObject::connect(&model_, &AppModel::wifiPortChanged, this, [this] { showPort(); });
    showHost();
    showPort();
    refresh();
}

void ConnectionWizard::refresh() {
    const QColor accent = model_.accent();
    logo_->setTint(accent);
    for (auto* card : cards_) {
        card->setSelected(card->kind() == model_.transportKind());
        card->setAccent(accent);
    }
    const bool wifi = model_.transportKind() == TransportKind::wifi;
    wifiRow_->setVisible(wifi);
    wifiWarning_->setVisible(wifi);
    contentSizeChanged(wifiRow_);
    connectButton_->setTint(accent);
    adapters_->setAccent(accent);
}

// The fields show the model's text; typing writes it back, so they are only set when they differ
// (setting them would move the caret).
void ConnectionWizard::showHost() {
    const QString host = QString::fromStdString(model_.wifiHost());
    if (host_->field()->text() != host) host_->field()->setText(host);
}

void ConnectionWizard::showPort() {
    const QString port = QString::fromStdString(model_.wifiPort());
    if (port_->field()->text() != port) port_->field()->setText(port);
}

} // namespace veq
