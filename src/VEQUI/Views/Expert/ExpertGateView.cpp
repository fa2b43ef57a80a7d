#include "VEQUI/Views/Expert/ExpertGateView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QScrollArea>
#include <QVBoxLayout>

namespace veq {

namespace {

struct Warning {
    const char* symbol;
    const char* title;
    const char* text;
};

// clang-format off
const Warning warnings[] = {
    {"bolt.trianglebadge.exclamationmark.fill", "Un calculateur peut \u00EAtre d\u00E9truit",
     "Une \u00E9criture interrompue ou effectu\u00E9e sur batterie faible peut rendre un calculateur d\u00E9finitivement "
     "inutilisable. C'est la premi\u00E8re cause d'ECU morts en codage."},
    {"engine.combustion.fill",                  "Le moteur et la conduite peuvent \u00EAtre affect\u00E9s",
     "Certaines modifications touchent le groupe motopropulseur ou le comportement du v\u00E9hicule. Chacune porte un "
     "avertissement d\u00E9di\u00E9 \u2014 lisez-le int\u00E9gralement avant d'agir."},
    {"shield.slash.fill",                       "Garantie et homologation",
     "Ces op\u00E9rations peuvent annuler votre garantie constructeur et rendre le v\u00E9hicule non conforme \u00E0 son "
     "homologation, donc impropre au contr\u00F4le technique."},
    {"checkmark.seal.fill",                     "Sauvegarde obligatoire",
     "Aucune \u00E9criture n'est possible sans une sauvegarde v\u00E9rifi\u00E9e du calculateur de moins de 24 heures. "
     "Oskavel Car refuse toute modification sans possibilit\u00E9 de retour arri\u00E8re."},
    {"hand.raised.fill",                        "Syst\u00E8mes de s\u00E9curit\u00E9 exclus",
     "Freinage, airbags, aides \u00E0 la conduite et \u00E9clairage r\u00E9glementaire : toute \u00E9criture est "
     "cat\u00E9goriquement refus\u00E9e par l'application."},
};
// clang-format on

QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}

// The widget across the column's width up to its maximum width, centred.
QHBoxLayout* centred(QWidget* widget) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch(1);
    row->addWidget(widget, 1000);
    row->addStretch(1);
    return row;
}

QWidget* makeWarningRow(const Warning& warning) {
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("warningRow"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    auto* symbol = new SymbolView(warning.symbol, 18, VEQ::critical());
    symbol->setObjectName(QStringLiteral("warningSymbol"));
    symbol->setFrameWidth(26);
    layout->addWidget(symbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(makeLabel(QString::fromUtf8(warning.title), VEQ::label(13, QFont::DemiBold), VEQ::textPrimary(),
                               QStringLiteral("warningTitle")));
    texts->addWidget(makeFlowingLabel(QString::fromUtf8(warning.text), VEQ::label(12, QFont::Medium),
                                      VEQ::textSecondary(), QStringLiteral("warningText")));
    layout->addLayout(texts, 1);
    return row;
}

// The check box with its text beside it, wrapping; a click on the text ticks the box too.
class Acknowledgement : public QWidget {
public:
    Acknowledgement(QCheckBox* box, const QString& text) : box_(box) {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        row->addWidget(box, 0, Qt::AlignTop);
        row->addWidget(makeFlowingLabel(text, VEQ::label(12, QFont::Medium), VEQ::textPrimary(),
                                        QStringLiteral("acknowledgementText")),
                       1);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) box_->toggle();
    }

private:
    QCheckBox* box_;
};

} // namespace

ExpertGateView::ExpertGateView(AppModel& model, QWidget* parent)
    : CarbonBackground(backdropOpacity, parent), model_(model), understood_(new QCheckBox),
      accept_(new ProminentButton(QStringLiteral("Acc\u00E9der au mode Expert"), "lock.open.fill",
                                  VEQ::label(14, QFont::DemiBold), VEQ::stroke())) {
    setObjectName(QStringLiteral("ExpertGateView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 0, 20, 0);
    column->setSpacing(22);

    auto* header = new QVBoxLayout;
    header->setContentsMargins(0, 30, 0, 0);
    header->setSpacing(10);
    auto* shield = new SymbolView("exclamationmark.shield.fill", 48, VEQ::critical());
    shield->setObjectName(QStringLiteral("gateSymbol"));
    header->addWidget(shield, 0, Qt::AlignHCenter);
    header->addWidget(makeLabel(QStringLiteral("MODE EXPERT"), tracked(VEQ::label(24, QFont::Bold), 5),
                                VEQ::textPrimary(), QStringLiteral("gateTitle")),
                      0, Qt::AlignHCenter);
    header->addWidget(makeLabel(QStringLiteral("Codage et configuration des calculateurs"),
                                VEQ::label(13, QFont::Medium), VEQ::textSecondary(), QStringLiteral("gateSubtitle")),
                      0, Qt::AlignHCenter);
    column->addLayout(header);

    auto* card = new RoundedPanel(14, VEQ::surface1());
    card->setObjectName(QStringLiteral("warningCard"));
    card->setOutline(withOpacity(VEQ::critical(), 0.35), 1);
    card->setMaximumWidth(720);
    auto* rows = new QVBoxLayout(card);
    rows->setContentsMargins(20, 20, 20, 20);
    rows->setSpacing(14);
    for (const Warning& warning : warnings) rows->addWidget(makeWarningRow(warning));
    column->addLayout(centred(card));

    understood_->setObjectName(QStringLiteral("acknowledgement"));
    auto* acknowledgement = new Acknowledgement(
        understood_, QStringLiteral("Je comprends que ces op\u00E9rations peuvent endommager mon v\u00E9hicule, annuler "
                                    "ma garantie, et que je suis seul responsable."));
    acknowledgement->setMaximumWidth(680);
    column->addLayout(centred(acknowledgement));

    accept_->setObjectName(QStringLiteral("acceptButton"));
    accept_->setLabelFrame(280, 6);
    column->addWidget(accept_, 0, Qt::AlignHCenter);

    auto* footer = makeLabel(QStringLiteral("Votre acceptation est horodat\u00E9e et consign\u00E9e dans le journal d'audit."),
                             VEQ::label(10, QFont::Medium), withOpacity(VEQ::textSecondary(), 0.7),
                             QStringLiteral("gateFooter"));
    footer->setContentsMargins(0, 0, 0, 30);
    column->addWidget(footer, 0, Qt::AlignHCenter);
    column->addStretch(1);
    auto* scroll = ListScreen::makeScroll(QStringLiteral("gateScroll"), content);
    scroll->setStyleSheet(QStringLiteral("QScrollArea{background:transparent;}"));
    outer->addWidget(scroll);

    connect(understood_, &QCheckBox::toggled, this, [this](bool on) { follow(on); });
    connect(accept_, &QAbstractButton::clicked, this, [this] { model_.acceptExpertMode(); });
    follow(false);
}

void ExpertGateView::follow(bool understood) {
    accept_->setEnabled(understood);
    accept_->setTint(understood ? VEQ::critical() : VEQ::stroke());
}

} // namespace veq
