#include "VEQUI/Views/Expert/RecipeCard.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/ClampedText.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace veq {

namespace {

using Kind = Feasibility::Kind;

struct BadgeStyle {
    std::optional<Kind> kind; // none: not judged yet
    const char* symbol;
    const char* text;
    const QColor& (*color)();
};

struct ImpactStyle {
    SafetyImpact impact;
    const char* symbol;
    const char* text;
    const QColor& (*color)();
};

struct ChipStyle {
    RiskLevel risk;
    const char* text;
    const QColor& (*color)();
};

// clang-format off
const BadgeStyle badgeStyles[] = {
    {std::nullopt,         "clock",                                   "\u2026",          VEQ::textSecondary},
    {Kind::readOnly,       "eye.fill",                                "Lecture seule",   VEQ::warning},
    {Kind::forbidden,      "hand.raised.fill",                        "Interdit",        VEQ::critical},
    {Kind::executable,     "checkmark.circle.fill",                   "Ex\u00E9cutable", VEQ::confirm},
    {Kind::ecuUnreachable, "antenna.radiowaves.left.and.right.slash", "ECU injoignable", VEQ::textSecondary},
};

const ImpactStyle impactStyles[] = {
    {SafetyImpact::comfort,         "sofa.fill",                              "CONFORT",           VEQ::confirm},
    {SafetyImpact::driverAttention, "eye.trianglebadge.exclamationmark.fill", "ATTENTION",         VEQ::warning},
    {SafetyImpact::vehicleDynamics, "engine.combustion.fill",                 "MOTEUR / CONDUITE", VEQ::critical},
    {SafetyImpact::safetyCritical,  "shield.lefthalf.filled.slash",           "S\u00C9CURIT\u00C9", VEQ::critical},
};

const ChipStyle riskStyles[] = {
    {RiskLevel::low,    "Faible",       VEQ::confirm},
    {RiskLevel::medium, "Moyen",        VEQ::warning},
    {RiskLevel::high,   "\u00C9lev\u00E9", VEQ::critical},
};
// clang-format on

constexpr int padding = 14;
constexpr double cornerRadius = 12;

QString qs(const std::string& text) { return QString::fromStdString(text); }

QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}

} // namespace

SymbolCapsule feasibilityBadge(const std::optional<Feasibility>& feasibility) {
    const std::optional<Kind> kind = feasibility ? std::optional(feasibility->kind) : std::nullopt;
    const BadgeStyle* style = &badgeStyles[0];
    for (const BadgeStyle& row : badgeStyles) {
        if (row.kind == kind) style = &row;
    }
    SymbolCapsule badge;
    badge.symbol = style->symbol;
    badge.text = QString::fromUtf8(style->text);
    badge.color = style->color();
    badge.fontSize = 9;
    badge.tracking = 0;
    badge.symbolSize = 9;
    badge.fillOpacity = 0.15;
    badge.spacing = 4;
    return badge;
}

SymbolCapsule safetyChip(SafetyImpact impact) {
    const ImpactStyle* style = &impactStyles[0];
    for (const ImpactStyle& row : impactStyles) {
        if (row.impact == impact) style = &row;
    }
    SymbolCapsule chip;
    chip.symbol = style->symbol;
    chip.text = QString::fromUtf8(style->text);
    chip.color = style->color();
    return chip;
}

SymbolCapsule recipeChip(const QString& text, const QColor& color) {
    SymbolCapsule chip;
    chip.text = text.toUpper();
    chip.color = color;
    return chip;
}

SymbolCapsule riskChip(RiskLevel risk) {
    for (const ChipStyle& row : riskStyles) {
        if (row.risk == risk) return recipeChip(QString::fromUtf8(row.text), row.color());
    }
    return recipeChip(QString::fromUtf8(riskStyles[0].text), riskStyles[0].color());
}

SymbolCapsule reversibilityChip(bool reversible) {
    return reversible ? recipeChip(QStringLiteral("R\u00E9versible"), VEQ::confirm())
                      : recipeChip(QStringLiteral("Irr\u00E9versible"), VEQ::critical());
}

RecipeCard::RecipeCard(const CodingRecipe& recipe, const std::optional<Feasibility>& feasibility,
                       std::function<void()> action, QWidget* parent)
    : RoundedPanel(cornerRadius, VEQ::surface1(), parent), recipeID_(recipe.id), action_(std::move(action)) {
    setObjectName(QStringLiteral("recipeCard"));
    setCursor(Qt::PointingHandCursor);
    const bool critical = recipe.safetyImpact == SafetyImpact::safetyCritical;
    setOutline(critical ? withOpacity(VEQ::critical(), 0.5) : VEQ::stroke(), 1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(10);

    auto* top = new QHBoxLayout;
    top->setSpacing(0);
    top->addWidget(makeFlowingLabel(qs(recipe.title), VEQ::label(13, QFont::DemiBold), VEQ::textPrimary(),
                                    QStringLiteral("recipeTitle")),
                   1, Qt::AlignTop);
    top->addSpacing(8);
    top->addWidget(new SymbolCapsuleView(feasibilityBadge(feasibility), QStringLiteral("feasibilityBadge")), 0,
                   Qt::AlignTop);
    column->addLayout(top);

    column->addWidget(new ClampedText(qs(recipe.description), VEQ::label(11, QFont::Medium), VEQ::textSecondary(), 2,
                                      QStringLiteral("recipeDescription")));

    auto* chips = new QHBoxLayout;
    chips->setSpacing(6);
    chips->addWidget(new SymbolCapsuleView(safetyChip(recipe.safetyImpact), QStringLiteral("safetyChip")));
    chips->addWidget(new SymbolCapsuleView(riskChip(recipe.risk), QStringLiteral("riskChip")));
    chips->addWidget(new SymbolCapsuleView(reversibilityChip(recipe.reversible), QStringLiteral("reversibilityChip")));
    chips->addStretch(1);
    // The ECU's name gives way first when the card is narrow; the chips stay whole.
    chips->addWidget(new ElidedLabel(qs(recipe.ecu), VEQ::label(9, QFont::Medium), VEQ::textSecondary(),
                                     QStringLiteral("recipeECU")));
    column->addLayout(chips);
}

void RecipeCard::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void RecipeCard::mouseReleaseEvent(QMouseEvent* event) {
    const bool run = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (run && action_) action_();
}

} // namespace veq
