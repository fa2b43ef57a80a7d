#include "VEQUI/Views/Expert/ExpertView.hpp"

#include "VEQEngine/Coding/RecipeCatalog.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/AdaptiveGridLayout.hpp"
#include "VEQUI/Views/Expert/AuditListView.hpp"
#include "VEQUI/Views/Expert/BackupListView.hpp"
#include "VEQUI/Views/Expert/DIDScannerView.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Expert/ExpertGateView.hpp"
#include "VEQUI/Views/Expert/ExpertLists.hpp"
#include "VEQUI/Views/Kit/FileExporter.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Expert/RecipeCard.hpp"
#include "VEQUI/Views/Expert/RecipeDetailView.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/SegmentedPicker.hpp"
#include "VEQUI/Views/Kit/SidebarButtonInset.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <fmt/format.h>

namespace veq {

namespace {

using ExpertLists::withOpacity;

constexpr std::uint8_t batteryVoltagePID = 0x42;
constexpr std::uint8_t engineSpeedPID = 0x0C;

QString qs(const std::string& text) { return QString::fromStdString(text); }

} // namespace

const std::vector<std::pair<ExpertView::Tab, QString>>& ExpertView::tabs() {
    // clang-format off
    static const std::vector<std::pair<Tab, QString>> all{
        {Tab::recipes, QStringLiteral("Fonctions")},
        {Tab::scanner, QStringLiteral("Scanner DID")},
        {Tab::backups, QStringLiteral("Sauvegardes")},
        {Tab::audit,   QStringLiteral("Journal")},
    };
    // clang-format on
    return all;
}

std::optional<ExpertView::Tab> ExpertView::tab(const QString& title) {
    for (const auto& [tab, name] : tabs()) {
        if (name == title) return tab;
    }
    return std::nullopt;
}

ExpertView::ExpertView(AppModel& model, RevealAction reveal, QWidget* parent)
    : QWidget(parent), model_(model), reveal_(reveal ? std::move(reveal) : RevealAction(FileExporter::reveal)),
      layout_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("ExpertView"));
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    connect(&model_, &AppModel::expertAcceptedChanged, this, [this] { showGateOrTabs(); });
    connect(&model_, &AppModel::recipesChanged, this, [this] { renderRecipes(); });
    connect(&model_, &AppModel::feasibilitiesChanged, this, [this] { renderRecipes(); });
    connect(&model_, &AppModel::loadedProvidersChanged, this, [this] { renderBanner(); });
    connect(&model_, &AppModel::nightModeChanged, this, [this] {
        renderFilterBar();
        renderRecipes();
    });
    connect(&model_.store(), &TelemetryStore::statsChanged, this, [this] { renderBadges(); });
    showGateOrTabs();
}

void ExpertView::showGateOrTabs() {
    const bool tabs = model_.expertAccepted();
    if (shown_ && tabs == showingTabs_) return;
    showingTabs_ = tabs;
    QWidget* fresh = tabs ? makeTabs() : new ExpertGateView(model_);
    ExpertLists::showPart(layout_, shown_, fresh, 0);
}

QWidget* ExpertView::makeTabs() {
    auto* tabs = new QWidget;
    tabs->setObjectName(QStringLiteral("expertTabs"));
    tabColumn_ = new QVBoxLayout(tabs);
    tabColumn_->setContentsMargins(0, 0, 0, 0);
    tabColumn_->setSpacing(0);
    tabColumn_->addWidget(makeHeader());
    tabColumn_->addWidget(new Divider(Qt::Horizontal));
    banner_ = makeProviderBanner();
    tabColumn_->addWidget(banner_);
    content_ = makeTabContent();
    tabColumn_->addWidget(content_, 1);
    renderBadges();
    return tabs;
}

QWidget* ExpertView::makeHeader() {
    auto* header = ExpertLists::makeFilled(QStringLiteral("expertHeader"), VEQ::surface1());
    SidebarButtonInset::follow(model_, *header);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(20, 12, 20, 12);
    row->setSpacing(14);
    auto* symbol = new SymbolView("wrench.and.screwdriver.fill", 18, VEQ::critical());
    symbol->setObjectName(QStringLiteral("expertSymbol"));
    row->addWidget(symbol);
    row->addWidget(makeLabel(QStringLiteral("Mode Expert"), VEQ::label(18, QFont::Bold), VEQ::textPrimary(),
                             QStringLiteral("expertTitle")));
    QStringList titles;
    for (const auto& entry : tabs()) titles << entry.second;
    // Narrow side paddings, so that every title ("Sauvegardes" the longest) fits whole in the width.
    auto* picker = new SegmentedPicker(titles, 300,
                                       {.name = QStringLiteral("tabPicker"), .segmentName = QStringLiteral("tab"),
                                        .font = VEQ::label(11, QFont::DemiBold), .horizontalPadding = 3, .cornerRadius = 5});
    for (int i = 0; i < static_cast<int>(tabs().size()); ++i) {
        if (tabs()[static_cast<std::size_t>(i)].first == tab_) picker->segment(i)->setChecked(true);
    }
    picker->onChange = [this](int index) { selectTab(tabs()[static_cast<std::size_t>(index)].first); };
    row->addWidget(picker);
    row->addStretch(1);
    voltage_ = new LiveBadgeView(QStringLiteral("voltageBadge"));
    engineSpeed_ = new LiveBadgeView(QStringLiteral("engineSpeedBadge"));
    row->addWidget(voltage_);
    row->addWidget(engineSpeed_);
    return header;
}

QWidget* ExpertView::makeProviderBanner() {
    auto* banner = ExpertLists::makeFilled(QStringLiteral("providerBanner"), withOpacity(VEQ::surface2(), 0.5));
    auto* row = new QHBoxLayout(banner);
    row->setContentsMargins(20, 10, 20, 10);
    row->setSpacing(10);
    const auto& providers = model_.loadedProviders();
    const bool loaded = !providers.empty();
    auto* lock = new SymbolView(loaded ? "lock.open.fill" : "lock.fill", 16, loaded ? VEQ::confirm() : VEQ::warning());
    lock->setObjectName(QStringLiteral("providerLock"));
    row->addWidget(lock);
    QString title = QStringLiteral("Aucun provider d'acc\u00E8s s\u00E9curis\u00E9 \u2014 mode lecture seule");
    QString detail = QStringLiteral(
        "L'algorithme graine/cl\u00E9 du service UDS 0x27 est propri\u00E9taire Mercedes et n'est pas public. La lecture "
        "et la sauvegarde fonctionnent ; l'\u00E9criture non. Le codage r\u00E9el passe par XENTRY, Vediamo ou DTS "
        "Monaco.");
    if (loaded) {
        QStringList names;
        for (const std::string& name : providers) names << qs(name);
        title = QStringLiteral("Provider charg\u00E9 : ") + names.join(QStringLiteral(", "));
        detail = QStringLiteral("L'\u00E9criture est possible sur les calculateurs couverts par ce provider.");
    }
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(makeLabel(title, VEQ::label(12, QFont::DemiBold), VEQ::textPrimary(), QStringLiteral("providerTitle")));
    texts->addWidget(makeFlowingLabel(detail, VEQ::label(11, QFont::Medium), VEQ::textSecondary(),
                                      QStringLiteral("providerDetail")));
    row->addLayout(texts, 1);
    return banner;
}

QWidget* ExpertView::makeTabContent() {
    switch (tab_) {
    case Tab::scanner: return new DIDScannerView(model_);
    case Tab::backups: return new BackupListView(model_, reveal_);
    case Tab::audit: return new AuditListView(model_, reveal_);
    case Tab::recipes: break;
    }
    return makeRecipeList();
}

void ExpertView::selectTab(Tab tab) {
    if (tab == tab_) return;
    tab_ = tab;
    if (!showingTabs_) return;
    if (auto* picker = findChild<SegmentedPicker*>(QStringLiteral("tabPicker"))) {
        for (int i = 0; i < static_cast<int>(tabs().size()); ++i) {
            if (tabs()[static_cast<std::size_t>(i)].first == tab) picker->segment(i)->setChecked(true);
        }
    }
    searchField_ = nullptr;
    clearSearch_ = nullptr;
    chips_.clear();
    count_ = nullptr;
    recipeScroll_ = nullptr;
    ExpertLists::replacePart(tabColumn_, content_, makeTabContent());
}

QWidget* ExpertView::makeRecipeList() {
    auto* list = new QWidget;
    list->setObjectName(QStringLiteral("recipeList"));
    auto* column = new QVBoxLayout(list);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeFilterBar());
    column->addWidget(new Divider(Qt::Horizontal));
    QVBoxLayout* unused = nullptr;
    recipeScroll_ = ExpertLists::makeScroll(QStringLiteral("recipeScroll"), unused, 0, 0);
    column->addWidget(recipeScroll_, 1);
    renderFilterBar();
    renderRecipes();
    return list;
}

QWidget* ExpertView::makeFilterBar() {
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("filterBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(20, 10, 20, 10);
    row->setSpacing(10);

    auto* field = new RoundedPanel(8, VEQ::surface2());
    field->setObjectName(QStringLiteral("searchField"));
    field->setFixedWidth(280);
    auto* inField = new QHBoxLayout(field);
    inField->setContentsMargins(10, 6, 10, 6);
    inField->setSpacing(6);
    auto* glass = new SymbolView("magnifyingglass", 11, VEQ::textSecondary());
    inField->addWidget(glass);
    searchField_ = new QLineEdit(search_);
    searchField_->setObjectName(QStringLiteral("searchText"));
    searchField_->setPlaceholderText(QStringLiteral("Rechercher une fonction\u2026"));
    searchField_->setFont(VEQ::label(12, QFont::Medium));
    searchField_->setFrame(false);
    searchField_->setStyleSheet(QStringLiteral("QLineEdit{background:transparent;color:%1;}").arg(VEQ::textPrimary().name()));
    connect(searchField_, &QLineEdit::textEdited, this, [this](const QString& text) { setSearch(text); });
    inField->addWidget(searchField_, 1);
    clearSearch_ = new PlainButton(QString(), "xmark.circle.fill", VEQ::label(11, QFont::Normal), VEQ::textSecondary());
    clearSearch_->setObjectName(QStringLiteral("clearSearch"));
    clearSearch_->setIconSize(11);
    connect(clearSearch_, &QAbstractButton::clicked, this, [this] { setSearch(QString()); });
    inField->addWidget(clearSearch_);
    row->addWidget(field);

    chips_.clear();
    for (const auto& chip : ExpertRules::filterChips()) {
        auto* button = new CapsuleButton(chip.label);
        button->setObjectName(QStringLiteral("filterChip"));
        connect(button, &QAbstractButton::clicked, this, [this, impact = chip.impact] { pressChip(impact); });
        chips_.push_back(button);
        row->addWidget(button);
    }
    row->addStretch(1);
    count_ = makeLabel(QString(), VEQ::numeric(11, QFont::DemiBold), VEQ::textSecondary(), QStringLiteral("recipeCount"));
    row->addWidget(count_);
    return bar;
}

void ExpertView::setSearch(const QString& text) {
    if (text == search_) return;
    search_ = text;
    if (searchField_ && searchField_->text() != text) searchField_->setText(text);
    renderFilterBar();
    renderRecipes();
}

void ExpertView::pressChip(const std::optional<SafetyImpact>& impact) {
    impactFilter_ = impactFilter_ == impact ? std::nullopt : impact;
    renderFilterBar();
    renderRecipes();
}

void ExpertView::renderFilterBar() {
    if (!searchField_) return;
    clearSearch_->setVisible(!search_.isEmpty());
    const auto& chips = ExpertRules::filterChips();
    for (std::size_t i = 0; i < chips_.size() && i < chips.size(); ++i) {
        const bool selected = impactFilter_ == chips[i].impact;
        chips_[i]->setColours(selected ? model_.accent() : VEQ::surface2(),
                              selected ? VEQ::background() : VEQ::textSecondary());
    }
}

void ExpertView::renderRecipes() {
    if (!recipeScroll_) return;
    const auto filtered = ExpertRules::filtered(model_.recipes(), search_, impactFilter_);
    if (auto* count = qobject_cast<QLabel*>(count_)) {
        count->setText(qs(fmt::format("{} / {}", filtered.size(), model_.recipes().size())));
    }
    const QColor accent = model_.accent();
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("recipeGroups"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(22);
    if (filtered.empty()) {
        auto* empty = makeLabel(QStringLiteral("Aucune fonction ne correspond \u00E0 ce filtre."),
                                VEQ::label(12, QFont::Medium), VEQ::textSecondary(), QStringLiteral("emptyRecipes"));
        empty->setAlignment(Qt::AlignHCenter);
        empty->setContentsMargins(0, 40, 0, 0);
        column->addWidget(empty);
    }
    const auto& feasibilities = model_.feasibilities();
    for (const auto& [category, recipes] : RecipeCatalog::grouped(filtered)) {
        auto* section = new QWidget;
        section->setObjectName(QStringLiteral("recipeGroup"));
        section->setProperty("category", qs(category));
        auto* stack = new QVBoxLayout(section);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(10);
        auto* heading = new QHBoxLayout;
        heading->setSpacing(8);
        auto* icon = new SymbolView(ExpertRules::categoryIcon(category), 11, accent);
        icon->setObjectName(QStringLiteral("categoryIcon"));
        heading->addWidget(icon);
        heading->addWidget(makeLabel(qs(category).toUpper(), tracked(VEQ::label(11, QFont::Bold), 2), accent,
                                     QStringLiteral("categoryTitle")));
        heading->addWidget(makeLabel(QString::number(recipes.size()), VEQ::numeric(9, QFont::DemiBold),
                                     VEQ::textSecondary(), QStringLiteral("categoryCount")));
        heading->addStretch(1);
        stack->addLayout(heading);
        auto* grid = new AdaptiveGridLayout(330, 12);
        for (const CodingRecipe& recipe : recipes) {
            const auto found = feasibilities.find(recipe.id);
            const auto feasibility = found == feasibilities.end() ? std::nullopt : std::optional(found->second);
            grid->addWidget(new RecipeCard(recipe, feasibility, [this, recipe] { open(recipe); }));
        }
        stack->addLayout(grid);
        column->addWidget(section);
    }
    column->addStretch(1);
    const int position = recipeScroll_->verticalScrollBar()->value();
    ExpertLists::retire(recipeScroll_->takeWidget());
    recipeScroll_->setWidget(content);
    recipeScroll_->verticalScrollBar()->setValue(position);
}

void ExpertView::renderBadges() {
    if (!voltage_) return;
    voltage_->set(ExpertRules::voltageBadge(model_.store().value(batteryVoltagePID)));
    engineSpeed_->set(ExpertRules::engineSpeedBadge(model_.store().value(engineSpeedPID)));
}

void ExpertView::renderBanner() {
    if (!banner_ || !tabColumn_) return;
    ExpertLists::replacePart(tabColumn_, banner_, makeProviderBanner());
}

void ExpertView::open(const CodingRecipe& recipe) {
    if (sheet_) return;
    selected_ = recipe;
    sheet_ = new QDialog(this);
    sheet_->setObjectName(QStringLiteral("recipeSheet"));
    sheet_->setAttribute(Qt::WA_DeleteOnClose);
    sheet_->setWindowModality(Qt::WindowModal);
    sheet_->setWindowTitle(qs(recipe.title));
    auto* column = new QVBoxLayout(sheet_);
    column->setContentsMargins(0, 0, 0, 0);
    auto* detail = new RecipeDetailView(model_, recipe);
    detail->dismiss = [dialog = sheet_] { dialog->reject(); };
    column->addWidget(detail);
    connect(sheet_, &QDialog::finished, this, [this] {
        selected_.reset();
        sheet_ = nullptr;
    });
    sheet_->open();
}

void ExpertView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

} // namespace veq
