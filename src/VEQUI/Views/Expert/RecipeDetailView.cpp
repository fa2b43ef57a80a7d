#include "VEQUI/Views/Expert/RecipeDetailView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Expert/ExpertLists.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Expert/RecipeCard.hpp"
#include "VEQUI/Views/Expert/RecipeDetailRules.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/SymbolCapsule.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <fmt/format.h>

#include <algorithm>

namespace veq {

namespace {

using ExpertLists::withOpacity;

using namespace RecipeDetailRules;

QString qs(const std::string& text) { return QString::fromStdString(text); }

std::optional<Feasibility> feasibilityOf(const AppModel& model, const CodingRecipe& recipe) {
    const auto& table = model.feasibilities();
    const auto found = table.find(recipe.id);
    return found == table.end() ? std::nullopt : std::optional(found->second);
}

// A rounded panel of the sheet: fill, optional outline, padding 14 and a column inside.
RoundedPanel* makePanel(const QString& name, const QColor& fill, QVBoxLayout*& column, int spacing,
                        const QColor& outline = {}) {
    auto* panel = new RoundedPanel(10, fill);
    panel->setObjectName(name);
    if (outline.isValid()) panel->setOutline(outline, 1);
    column = new QVBoxLayout(panel);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(spacing);
    return panel;
}

// A section's heading in small spaced-out capitals; an accented capital keeps its accent whole.
QLabel* makeHeading(const QString& text, const QColor& colour, const QString& name) {
    auto* heading = makeLabel(text, tracked(VEQ::label(10, QFont::Bold), 1), colour, name);
    holdWholeGlyphs(heading);
    return heading;
}

// A wrapping text of the engine; a sign it opens with is drawn as a symbol centred on its first line.
QHBoxLayout* makeSignedText(const std::string& text, const QFont& font, const QColor& colour, const QString& name) {
    const SignedText shown = signedText(text);
    auto* row = new QHBoxLayout;
    const QFontMetrics metrics(font);
    row->setSpacing(metrics.horizontalAdvance(QLatin1Char(' ')));
    if (!shown.symbol.empty()) {
        auto* sign = new SymbolView(shown.symbol, font.pixelSize(), VEQ::critical());
        sign->setObjectName(QStringLiteral("leadingSign"));
        sign->setFixedHeight(metrics.height());
        row->addWidget(sign, 0, Qt::AlignTop);
    }
    row->addWidget(makeFlowingLabel(qs(shown.text), font, colour, name), 1);
    return row;
}

QWidget* makeWarningBanner(const CodingRecipe& recipe, const std::string& text) {
    QVBoxLayout* column = nullptr;
    auto* banner = makePanel(QStringLiteral("warningBanner"), withOpacity(VEQ::critical(), 0.12), column, 0,
                             withOpacity(VEQ::critical(), 0.5));
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    auto* symbol = new SymbolView(warningSymbol(recipe.safetyImpact), 20, VEQ::critical());
    symbol->setObjectName(QStringLiteral("warningSymbol"));
    row->addWidget(symbol, 0, Qt::AlignTop);
    row->addLayout(makeSignedText(text, VEQ::label(12, QFont::Medium), VEQ::textPrimary(), QStringLiteral("warningText")),
                   1);
    column->addLayout(row);
    return banner;
}

QWidget* makeBlockerBanner(const Blocker& blocker, const QColor& accent) {
    const QColor tone = blocker.fixable ? VEQ::warning() : VEQ::critical();
    QVBoxLayout* column = nullptr;
    auto* banner = makePanel(QStringLiteral("blockerBanner"), withOpacity(tone, 0.1), column, 8, withOpacity(tone, 0.45));
    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    auto* symbol = new SymbolView(blocker.fixable ? "wrench.and.screwdriver.fill" : "lock.fill", 14, tone);
    symbol->setObjectName(QStringLiteral("blockerSymbol"));
    top->addWidget(symbol);
    top->addWidget(makeFlowingLabel(qs(blocker.title), VEQ::label(13, QFont::Bold), VEQ::textPrimary(),
                                    QStringLiteral("blockerTitle")),
                   1);
    SymbolCapsule tag;
    tag.text = blocker.fixable ? QStringLiteral("CORRIGEABLE") : QStringLiteral("NON CORRIGEABLE ICI");
    tag.color = tone;
    tag.weight = QFont::Bold;
    tag.fillOpacity = 0.15;
    top->addWidget(new SymbolCapsuleView(tag, QStringLiteral("blockerTag")));
    column->addLayout(top);
    column->addLayout(makeSignedText(blocker.detail, VEQ::label(11, QFont::Medium), VEQ::textSecondary(),
                                     QStringLiteral("blockerDetail")));
    auto* remedy = new QHBoxLayout;
    remedy->setSpacing(6);
    auto* arrow = new SymbolView("arrow.turn.down.right", 9, accent);
    arrow->setObjectName(QStringLiteral("remedySymbol"));
    arrow->setContentsMargins(0, 2, 0, 0);
    remedy->addWidget(arrow, 0, Qt::AlignTop);
    remedy->addWidget(makeFlowingLabel(qs(blocker.remedy), VEQ::label(11, QFont::Medium), VEQ::textPrimary(),
                                       QStringLiteral("blockerRemedy")),
                      1);
    column->addLayout(remedy);
    return banner;
}

QColor toneColour(BlockTone tone, const QColor& accent) {
    switch (tone) {
    case BlockTone::confirm: return VEQ::confirm();
    case BlockTone::warning: return VEQ::warning();
    case BlockTone::accent: break;
    }
    return accent;
}

QWidget* makeExplanationBlock(const ExplanationBlock& block, const QColor& accent) {
    const QColor colour = toneColour(block.tone, accent);
    QVBoxLayout* column = nullptr;
    auto* panel = makePanel(QStringLiteral("explanationBlock"), VEQ::surface1(), column, 5);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    auto* symbol = new SymbolView(block.symbol, 11, colour);
    symbol->setObjectName(QStringLiteral("blockSymbol"));
    heading->addWidget(symbol);
    heading->addWidget(makeHeading(qs(block.title).toUpper(), colour, QStringLiteral("blockTitle")));
    heading->addStretch(1);
    column->addLayout(heading);
    column->addLayout(makeSignedText(block.text, VEQ::label(12, QFont::Medium), VEQ::textSecondary(),
                                     QStringLiteral("blockText")));
    return panel;
}

QWidget* makeGuardsSection(const std::optional<GuardVerdict>& verdict) {
    QVBoxLayout* column = nullptr;
    auto* panel = makePanel(QStringLiteral("guardsSection"), VEQ::surface1(), column, 8);
    auto* heading = new QHBoxLayout;
    heading->addWidget(makeHeading(QStringLiteral("GARDE-FOUS"), VEQ::textPrimary(), QStringLiteral("guardsHeading")));
    heading->addStretch(1);
    if (verdict) {
        const auto blocking = verdict->blockingFailures().size();
        const bool allowed = verdict->isAllowed();
        heading->addWidget(makeLabel(allowed ? QStringLiteral("Tous verts")
                                             : qs(fmt::format("{} bloquant(s)", blocking)),
                                     VEQ::label(10, QFont::DemiBold), allowed ? VEQ::confirm() : VEQ::critical(),
                                     QStringLiteral("guardsSummary")));
    }
    column->addLayout(heading);
    if (!verdict) return panel;
    for (const GuardCheck& check : verdict->checks) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("guardRow"));
        row->setProperty("guardID", qs(check.id));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 4, 0, 4);
        line->setSpacing(10);
        auto* symbol = new SymbolView(check.passed ? "checkmark.circle.fill" : "xmark.octagon.fill", 13,
                                      check.passed ? VEQ::confirm() : VEQ::critical());
        symbol->setObjectName(QStringLiteral("guardSymbol"));
        line->addWidget(symbol, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(makeLabel(qs(check.title), VEQ::label(12, QFont::DemiBold), VEQ::textPrimary(),
                                   QStringLiteral("guardTitle")));
        texts->addWidget(makeFlowingLabel(qs(check.detail), VEQ::label(11, QFont::Medium), VEQ::textSecondary(),
                                          QStringLiteral("guardDetail")));
        line->addLayout(texts, 1);
        column->addWidget(row);
    }
    return panel;
}

// The number of a step in its circle.
class StepNumber : public QWidget {
public:
    StepNumber(int number, QColor fill) : number_(number), fill_(std::move(fill)) {
        setObjectName(QStringLiteral("stepNumber"));
        setFixedSize(18, 18);
    }
    int number() const { return number_; }
    const QColor& fill() const { return fill_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill_);
        painter.drawEllipse(QRectF(rect()));
        painter.setFont(VEQ::numeric(10, QFont::Bold));
        painter.setPen(VEQ::background());
        painter.drawText(rect(), Qt::AlignCenter, QString::number(number_));
    }

private:
    int number_;
    QColor fill_;
};

QWidget* makeStepsSection(const CodingRecipe& recipe, const QColor& accent) {
    QVBoxLayout* column = nullptr;
    auto* panel = makePanel(QStringLiteral("stepsSection"), VEQ::surface1(), column, 8);
    column->addWidget(
        makeHeading(QStringLiteral("S\u00C9QUENCE UDS"), VEQ::textPrimary(), QStringLiteral("stepsHeading")));
    int number = 0;
    for (const RecipeStep& step : recipe.steps) {
        const bool write = step.isWrite();
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("stepRow"));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 3, 0, 3);
        line->setSpacing(10);
        line->addWidget(new StepNumber(++number, write ? VEQ::critical() : accent), 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        auto* explanation = makeFlowingLabel(qs(step.explanation()), VEQ::label(12, QFont::Medium), VEQ::textPrimary(),
                                             QStringLiteral("stepExplanation"));
        holdWholeGlyphs(explanation); // "Écrit la valeur …"
        texts->addWidget(explanation);
        texts->addWidget(makeLabel(qs(stepDetail(step)), VEQ::numeric(10, QFont::DemiBold), VEQ::textSecondary(),
                                   QStringLiteral("stepDetail")));
        line->addLayout(texts, 1);
        if (write) {
            SymbolCapsule tag;
            tag.text = QStringLiteral("\u00C9CRITURE");
            tag.color = VEQ::critical();
            tag.weight = QFont::Bold;
            tag.fillOpacity = 0.15;
            tag.paddingVertical = 2;
            tag.paddingHorizontal = 6;
            line->addWidget(new SymbolCapsuleView(tag, QStringLiteral("writeTag")), 0, Qt::AlignTop);
        }
        column->addWidget(row);
    }
    return panel;
}

QWidget* makeResultBanner(const std::string& message) {
    auto* panel = new RoundedPanel(10, VEQ::surface2());
    panel->setObjectName(QStringLiteral("resultBanner"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(12, 12, 12, 12);
    column->addWidget(makeFlowingLabel(qs(message), VEQ::label(12, QFont::Medium), VEQ::textPrimary(),
                                       QStringLiteral("resultText")));
    return panel;
}

} // namespace

RecipeDetailView::RecipeDetailView(AppModel& model, CodingRecipe recipe, QWidget* parent)
    : QWidget(parent), model_(model), recipe_(std::move(recipe)) {
    setObjectName(QStringLiteral("RecipeDetailView"));
    setFixedSize(sheetWidth, sheetHeight);
    dismiss = [this] { window()->close(); };
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    scroll_ = new QScrollArea;
    scroll_->setObjectName(QStringLiteral("detailScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setStyleSheet(QStringLiteral("QScrollArea{background:transparent;}"));
    header_ = makeHeader();
    actionBar_ = makeActionBar();
    column->addWidget(header_);
    column->addWidget(new Divider(Qt::Horizontal));
    column->addWidget(scroll_, 1);
    column->addWidget(new Divider(Qt::Horizontal));
    column->addWidget(actionBar_);
    render();

    const auto follow = [this] { render(); };
    connect(&model_, &AppModel::feasibilitiesChanged, this, follow);
    connect(&model_, &AppModel::lastExecutionMessageChanged, this, follow);
    connect(&model_, &AppModel::nightModeChanged, this, follow);
    connect(&model_, &AppModel::backupProgressChanged, this, follow);
    connect(&model_, &AppModel::writeEnabledChanged, this, follow);
}

void RecipeDetailView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    refresh();
}

void RecipeDetailView::refresh() {
    model_.guardVerdict(recipe_, this, [this](std::optional<GuardVerdict> verdict) {
        verdict_ = std::move(verdict);
        refreshed_ = true;
        render();
        model_.refreshBackups();
    });
}

void RecipeDetailView::render() {
    const int position = scroll_->verticalScrollBar()->value();
    ExpertLists::replacePart(layout(), header_, makeHeader());
    ExpertLists::retire(scroll_->takeWidget());
    scroll_->setWidget(makeBody());
    ExpertLists::replacePart(layout(), actionBar_, makeActionBar());
    scroll_->verticalScrollBar()->setValue(position);
}

QWidget* RecipeDetailView::makeHeader() {
    auto* header = ExpertLists::makeFilled(QStringLiteral("detailHeader"), VEQ::surface1());
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(18, 18, 18, 18);
    row->setSpacing(12);
    auto* identity = new QVBoxLayout;
    identity->setSpacing(6);
    identity->addWidget(makeFlowingLabel(QString::fromStdString(recipe_.title), VEQ::label(17, QFont::Bold),
                                         VEQ::textPrimary(), QStringLiteral("detailTitle")));
    auto* badges = new QHBoxLayout;
    badges->setSpacing(6);
    badges->addWidget(new SymbolCapsuleView(safetyChip(recipe_.safetyImpact), QStringLiteral("safetyChip")));
    badges->addWidget(
        new SymbolCapsuleView(feasibilityBadge(feasibilityOf(model_, recipe_)), QStringLiteral("feasibilityBadge")));
    badges->addWidget(makeLabel(QString::fromStdString(headerLine(recipe_)), VEQ::label(10, QFont::Medium),
                                VEQ::textSecondary(), QStringLiteral("headerLine")));
    badges->addStretch(1);
    identity->addLayout(badges);
    row->addLayout(identity, 1);
    auto* close = new PlainButton(QString(), "xmark.circle.fill", VEQ::label(18, QFont::Normal), VEQ::textSecondary());
    close->setObjectName(QStringLiteral("closeButton"));
    close->setIconSize(18);
    connect(close, &QAbstractButton::clicked, this, [this] {
        if (dismiss) dismiss();
    });
    row->addWidget(close, 0, Qt::AlignTop);
    return header;
}

QWidget* RecipeDetailView::makeBody() {
    const QColor accent = model_.accent();
    const auto feasibility = feasibilityOf(model_, recipe_);
    auto* body = new QWidget;
    body->setObjectName(QStringLiteral("detailBody"));
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(18);
    if (const auto text = warning(recipe_.safetyImpact)) {
        column->addWidget(makeWarningBanner(recipe_, std::string(*text)));
    }
    if (const auto problem = blocker(recipe_, feasibility, verdict_)) column->addWidget(makeBlockerBanner(*problem, accent));
    auto* blocks = new QVBoxLayout;
    blocks->setSpacing(14);
    for (const ExplanationBlock& block : explanation(recipe_, feasibility)) {
        blocks->addWidget(makeExplanationBlock(block, accent));
    }
    column->addLayout(blocks);
    column->addWidget(makeGuardsSection(verdict_));
    column->addWidget(makeStepsSection(recipe_, accent));
    if (const auto& message = model_.lastExecutionMessage()) column->addWidget(makeResultBanner(*message));
    column->addStretch(1);
    return body;
}

QWidget* RecipeDetailView::makeActionBar() {
    auto* bar = ExpertLists::makeFilled(QStringLiteral("actionBar"), VEQ::surface1());
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(12);
    if (const auto& progress = model_.backupProgress()) {
        auto* gauge = new QProgressBar;
        gauge->setObjectName(QStringLiteral("backupProgress"));
        gauge->setFixedWidth(120);
        gauge->setTextVisible(false);
        gauge->setRange(0, std::max(1, progress->total));
        gauge->setValue(std::clamp(progress->done, 0, std::max(1, progress->total)));
        row->addWidget(gauge);
        row->addWidget(makeLabel(QString::fromStdString(fmt::format("Sauvegarde {}/{}", progress->done, progress->total)),
                                 VEQ::label(11, QFont::Medium), VEQ::textSecondary(),
                                 QStringLiteral("backupProgressText")));
    } else {
        auto* backup = new ProminentButton(QStringLiteral("Sauvegarder ce calculateur"), "arrow.down.doc.fill",
                                           VEQ::label(12, QFont::DemiBold), model_.accent());
        backup->setObjectName(QStringLiteral("backupButton"));
        connect(backup, &QAbstractButton::clicked, this, [this] { model_.backupECU(recipe_); });
        row->addWidget(backup);
    }
    row->addStretch(1);
    if (!model_.writeEnabled()) {
        SymbolCapsule capsule;
        capsule.symbol = "lock.fill";
        capsule.text = QStringLiteral("Lecture seule");
        capsule.color = VEQ::textSecondary();
        capsule.fontSize = 11;
        capsule.symbolSize = 11;
        capsule.tracking = 0;
        capsule.fillColor = VEQ::surface2();
        capsule.fillOpacity = 1;
        capsule.paddingVertical = 6;
        capsule.paddingHorizontal = 12;
        capsule.spacing = 6;
        row->addWidget(new SymbolCapsuleView(capsule, QStringLiteral("readOnlyCapsule")));
    } else {
        const bool enabled = canExecute(feasibilityOf(model_, recipe_), verdict_);
        auto* apply = new ProminentButton(QStringLiteral("Appliquer"), "bolt.fill", VEQ::label(12, QFont::DemiBold),
                                          enabled ? VEQ::critical() : VEQ::stroke());
        apply->setObjectName(QStringLiteral("applyButton"));
        apply->setEnabled(enabled);
        connect(apply, &QAbstractButton::clicked, this, [this] { confirmWrite(); });
        row->addWidget(apply);
    }
    return bar;
}

void RecipeDetailView::confirmWrite() {
    confirmingWrite_ = true;
    // The question is modal: the sheet may be taken down under it (a lost connection), and then
    // no write may follow the answer.
    const QPointer<RecipeDetailView> alive(this);
    const bool confirmed = model_.dialogs().confirm({confirmationTitle(recipe_), confirmationMessage(recipe_),
                                                     "\u00C9crire dans le calculateur", "Annuler", true});
    if (!alive) return;
    confirmingWrite_ = false;
    if (!confirmed) return;
    model_.executeRecipe(recipe_);
    refresh();
}

void RecipeDetailView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
