#include "VEQUI/Views/Instruments/LiveDataView.hpp"

#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQUI/Model/DisplayUnits.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/GaugeReadout.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/HeaderBar.hpp"
#include "VEQUI/Views/Kit/ListScreen.hpp"
#include "VEQUI/Views/Kit/Sparkline.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <fmt/format.h>

#include <QFontMetricsF>
#include <QPainter>
#include <QScrollArea>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace veq {

namespace {

constexpr double paddingHorizontal = 20;
constexpr double paddingVertical = 9;
constexpr double columnSpacing = 12;
constexpr double valueWidth = 92;
constexpr double unitSpacing = 3;
constexpr double sparkWidth = 120;
constexpr double sparkHeight = 26;

// The row's fonts, made once: a list of thirty rows repaints its visible ones on every tick.
struct RowFonts {
    QFont name = VEQ::label(12, QFont::Medium);
    QFont emphasized = VEQ::numeric(13, QFont::DemiBold);
    QFont plain = VEQ::numeric(13, QFont::Normal);
    QFont unit = VEQ::label(9, QFont::Medium);

    static const RowFonts& shared() {
        static const RowFonts* fonts = new RowFonts; // kept past the application's fonts
        return *fonts;
    }
};

const QFont& nameFont() { return RowFonts::shared().name; }
const QFont& valueFont(bool emphasized) { return emphasized ? RowFonts::shared().emphasized : RowFonts::shared().plain; }
const QFont& unitFont() { return RowFonts::shared().unit; }

// Where a row's name starts, how wide it may be, and where the value columns begin, in `area`.
// A row stands centred at its full width; in a narrower list (the smallest window beside the
// sidebar and the scroll bar) its name gives up the difference, ending with "…", so that the
// figures never leave the list.
struct RowColumns {
    double nameLeft;
    double nameWidth;
    double firstValue;
};

RowColumns columnsIn(const QRectF& area) {
    const double name = std::clamp(area.width() - (LiveDataRow::contentWidth - LiveDataRow::nameWidth),
                                   LiveDataRow::narrowestName, LiveDataRow::nameWidth);
    const double rowWidth = LiveDataRow::contentWidth - LiveDataRow::nameWidth + name;
    const double nameLeft = area.left() + std::max(0.0, (area.width() - rowWidth) / 2) + paddingHorizontal;
    return {nameLeft, name, nameLeft + name + columnSpacing};
}

// "Aucune donnée" and what to do about it, centred in the space under the header.
class EmptyState : public QWidget {
public:
    explicit EmptyState(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QFont title = VEQ::label(15, QFont::Medium);
        const QFont advice = VEQ::label(12, QFont::Medium);
        const double titleHeight = PaintText::lineHeight(title);
        const double adviceHeight = PaintText::lineHeight(advice);
        const double top = height() / 2.0 - (titleHeight + 8 + adviceHeight) / 2;
        PaintText::drawCentred(painter, title, VEQ::textSecondary(), QStringLiteral("Aucune donn\u00E9e"),
                               {width() / 2.0, top + titleHeight / 2});
        QColor faint = VEQ::textSecondary();
        faint.setAlphaF(0.7f);
        static const QString text = QStringLiteral(
            "Connectez-vous \u00E0 un v\u00E9hicule pour d\u00E9couvrir les param\u00E8tres support\u00E9s.");
        PaintText::drawCentred(painter, advice, faint, text, {width() / 2.0, top + titleHeight + 8 + adviceHeight / 2});
    }
};

} // namespace

LiveDataRow LiveDataRow::of(const TelemetryStore& store, std::uint8_t pid, UnitSystem system, const QColor& sparkColor) {
    const PIDDefinition* definition = PIDCatalog::definition(pid);
    const auto it = store.stats().find(pid);
    const PIDStatistics* stats = it == store.stats().end() ? nullptr : &it->second;
    LiveDataRow row;
    row.name = definition ? QString::fromStdString(definition->name)
                          : QString::fromStdString(fmt::format("PID 0x{:02X}", pid));
    row.values[0] = QString::fromStdString(store.formatted(pid, system));
    const auto statistic = [&](auto field) -> std::optional<double> {
        if (!stats) return std::nullopt;
        return field(*stats);
    };
    row.values[1] = GaugeReadout::statisticText(statistic([](const PIDStatistics& s) { return s.min; }), definition, system);
    row.values[2] = GaugeReadout::statisticText(statistic([](const PIDStatistics& s) { return s.max; }), definition, system);
    row.values[3] = GaugeReadout::statisticText(statistic([](const PIDStatistics& s) { return s.average(); }), definition, system);
    row.unit = DisplayUnits::unitSymbol(pid, system);
    if (stats && definition) {
        row.history.reserve(stats->history.size());
        for (const double v : stats->history) row.history.push_back(definition->unit.value(v, system));
    }
    row.sparkColor = sparkColor;
    return row;
}

void LiveDataRow::paint(QPainter& painter, const QRectF& area) const {
    paintFixed(painter, area);
    paintFigures(painter, area);
}

void LiveDataRow::paintFixed(QPainter& painter, const QRectF& area) const {
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF band(area.left(), area.top(), area.width(), area.height() - 1);
    const double centreY = band.center().y();
    const RowColumns columns = columnsIn(area);
    const QString shownName = QFontMetricsF(nameFont()).elidedText(name, Qt::ElideRight, columns.nameWidth);
    PaintText::drawLeft(painter, nameFont(), VEQ::textPrimary(), shownName, columns.nameLeft, centreY);
    if (!unit.isEmpty()) {
        double x = columns.firstValue;
        for (std::size_t i = 0; i < values.size(); ++i) {
            PaintText::drawRight(painter, unitFont(), VEQ::textSecondary(), unit, x + valueWidth, centreY);
            x += valueWidth + columnSpacing;
        }
    }
    QColor divider = VEQ::stroke();
    divider.setAlphaF(0.5f);
    painter.fillRect(QRectF(area.left(), band.bottom(), area.width(), 1), divider);
}

void LiveDataRow::paintFigures(QPainter& painter, const QRectF& area) const {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double centreY = area.top() + (area.height() - 1) / 2;
    const double unitWidth = unit.isEmpty() ? 0 : PaintText::width(unitFont(), unit) + unitSpacing;
    double x = columnsIn(area).firstValue;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const bool emphasized = i == 0;
        PaintText::drawRight(painter, valueFont(emphasized), emphasized ? VEQ::textPrimary() : VEQ::textSecondary(),
                             values[i], x + valueWidth - unitWidth, centreY);
        x += valueWidth + columnSpacing;
    }
    Sparkline{history, sparkColor}.paint(painter, QRectF(x, centreY - sparkHeight / 2, sparkWidth, sparkHeight));
}

QSizeF LiveDataRow::sizeHint() const {
    static const double height = std::ceil(2 * paddingVertical + std::max({PaintText::lineHeight(nameFont()),
                                                                            PaintText::lineHeight(valueFont(true)),
                                                                            sparkHeight}));
    return {contentWidth, height + 1};
}

LiveDataRowView::LiveDataRowView(LiveDataRow row, QWidget* parent) : QWidget(parent), row_(std::move(row)) {}

void LiveDataRowView::set(LiveDataRow row) {
    if (row == row_) return;
    row_ = std::move(row);
    update();
}

QSize LiveDataRowView::sizeHint() const { return row_.sizeHint().toSize(); }

void LiveDataRowView::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (fixed_.isNull() || fixed_.deviceIndependentSize() != QSizeF(size()) || fixed_.devicePixelRatio() != ratio ||
        fixedName_ != row_.name || fixedUnit_ != row_.unit) {
        fixed_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        fixed_.setDevicePixelRatio(ratio);
        fixed_.fill(Qt::transparent);
        QPainter layer(&fixed_);
        row_.paintFixed(layer, QRectF(rect()));
        fixedName_ = row_.name;
        fixedUnit_ = row_.unit;
    }
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), fixed_);
    row_.paintFigures(painter, QRectF(rect()));
}

void LiveDataRowView::paintCachedTexts(QPainter& painter) const { row_.paintFixed(painter, QRectF(rect())); }

QString LiveDataView::headerText(std::size_t rows, double requestsPerSecond) {
    return QString::fromStdString(fmt::format("{} param\u00E8tres \u00B7 {:.0f} req/s", rows, requestsPerSecond));
}

LiveDataView::LiveDataView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), coalescer_([this] { refresh(); }, this),
      header_(new HeaderBar(QStringLiteral("Live Data"), QStringLiteral("liveDataSummary"), this)),
      stack_(new QStackedLayout()),
      emptyState_(new EmptyState(this)), scroll_(nullptr), rowsLayout_(nullptr) {
    setObjectName(QStringLiteral("liveDataView"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, VEQ::background());
    setPalette(colours);
    emptyState_->setObjectName(QStringLiteral("liveDataEmptyState"));

    auto* rows = new QWidget();
    rows->setObjectName(QStringLiteral("liveDataRows"));
    rows->setMinimumWidth(static_cast<int>(LiveDataRow::narrowestWidth));
    rowsLayout_ = new QVBoxLayout(rows);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setSpacing(0);
    rowsLayout_->addStretch(1);
    scroll_ = ListScreen::makeScroll(QStringLiteral("liveDataScroll"), rows);
    // Rows have a width below which they scroll sideways rather than squeeze.
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto* column = new QVBoxLayout(this);
    ListScreen::openColumn(*column, header_, model_);
    stack_->addWidget(emptyState_);
    stack_->addWidget(scroll_);
    column->addLayout(stack_, 1);

    const auto stale = [this] { coalescer_.request(); };
    connect(&model_.store(), &TelemetryStore::statsChanged, this, stale);
    connect(&model_.store(), &TelemetryStore::requestsPerSecondChanged, this, stale);
    connect(&model_, &AppModel::unitSystemChanged, this, stale);
    connect(&model_, &AppModel::nightModeChanged, this, stale);
    refresh();
}

LiveDataRowView* LiveDataView::row(std::uint8_t pid) const {
    const auto it = rows_.find(pid);
    return it == rows_.end() ? nullptr : it->second;
}

std::vector<std::uint8_t> LiveDataView::listedPIDs() const {
    std::vector<std::uint8_t> listed;
    for (int i = 0; i < rowsLayout_->count(); ++i) {
        QWidget* widget = rowsLayout_->itemAt(i)->widget();
        if (!widget) continue;
        for (const auto& [pid, view] : rows_) {
            if (view == widget) listed.push_back(pid);
        }
    }
    return listed;
}

bool LiveDataView::showsEmptyState() const { return stack_->currentWidget() == emptyState_; }

void LiveDataView::refresh() {
    const TelemetryStore& store = model_.store();
    const auto& stats = store.stats();
    const UnitSystem system = model_.unitSystem();
    const QColor spark = model_.accent();

    // Rows of parameters the store no longer holds (it was reset) go; the others stay in place.
    for (auto it = rows_.begin(); it != rows_.end();) {
        if (stats.contains(it->first)) {
            ++it;
            continue;
        }
        rowsLayout_->removeWidget(it->second);
        it->second->deleteLater();
        it = rows_.erase(it);
    }
    int index = 0;
    for (const auto& [pid, statistics] : stats) {
        LiveDataRow content = LiveDataRow::of(store, pid, system, spark);
        if (auto* existing = row(pid)) {
            existing->set(std::move(content));
        } else {
            auto* view = new LiveDataRowView(std::move(content));
            view->setObjectName(QString::fromStdString(fmt::format("liveDataRow-0x{:02X}", pid)));
            view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            view->setFixedHeight(view->sizeHint().height());
            rowsLayout_->insertWidget(index, view);
            rows_.emplace(pid, view);
        }
        ++index;
    }
    if (QString summary = headerText(stats.size(), store.requestsPerSecond()); summary != headerText_) {
        headerText_ = std::move(summary);
        header_->setSummary(headerText_, VEQ::textSecondary());
    }
    stack_->setCurrentWidget(stats.empty() ? emptyState_ : static_cast<QWidget*>(scroll_));
}

} // namespace veq
