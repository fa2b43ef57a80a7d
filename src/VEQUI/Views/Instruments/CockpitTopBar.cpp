#include "VEQUI/Views/Instruments/CockpitTopBar.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/EventLogControl.hpp"
#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/PaintedButton.hpp"
#include "VEQUI/Views/Kit/SidebarButtonInset.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace veq {

namespace {

namespace R = InstrumentReadings;

constexpr int tabMilliseconds = 150;
constexpr int margin = 20;
constexpr int spacing = 16;
constexpr int tabSpacing = 4;
// Narrower than this, the identity would show little more than an ellipsis: it is hidden.
constexpr int minimumIdentity = 80;

QFont brandFont() { return tracked(VEQ::label(15, QFont::Bold), 3); }
QFont tabFont() { return tracked(VEQ::label(10, QFont::DemiBold), 1); }
QFont chipFont() { return VEQ::label(11, QFont::Medium); }
QFont identityFont() { return VEQ::label(11, QFont::DemiBold); }
QFont identityDetailFont() { return VEQ::numeric(9, QFont::DemiBold); }

constexpr double brandBarSpacing = 8;
constexpr double chipIcon = 10;
constexpr double chipInnerSpacing = 5;
constexpr double chipPaddingVertical = 4;
constexpr double chipPaddingHorizontal = 9;
constexpr double chipSpacing = 16; // the bar's own spacing between its items
constexpr double sealIcon = 9;

QColor mix(const QColor& from, const QColor& to, double t) {
    const auto channel = [t](float a, float b) { return static_cast<float>(a + (b - a) * t); };
    return QColor::fromRgbF(channel(from.redF(), to.redF()), channel(from.greenF(), to.greenF()),
                            channel(from.blueF(), to.blueF()), channel(from.alphaF(), to.alphaF()));
}

double chipWidth(const StatusChip& chip) {
    return chipPaddingHorizontal + chipIcon + chipInnerSpacing + PaintText::width(chipFont(), chip.text) +
           chipPaddingHorizontal;
}

double chipHeight() { return chipPaddingVertical * 2 + std::max(chipIcon, PaintText::lineHeight(chipFont())); }

// The identity's second line: text and colour of each item present.
std::vector<std::pair<QString, QColor>> detailItems(const VehicleIdentity& identity) {
    std::vector<std::pair<QString, QColor>> items;
    if (!identity.family.isEmpty()) items.emplace_back(identity.family, VEQ::confirm());
    if (!identity.fuel.isEmpty()) items.emplace_back(identity.fuel, VEQ::textSecondary());
    if (!identity.vin.isEmpty()) items.emplace_back(identity.vin, VEQ::textSecondary());
    if (identity.calibrated) items.emplace_back(QStringLiteral("calibr\u00E9"), VEQ::warning());
    return items;
}

constexpr double detailSpacing = 6;
constexpr double firstLineSpacing = 5;
constexpr double lineSpacing = 1;

double detailWidth(const VehicleIdentity& identity) {
    double width = 0;
    const auto items = detailItems(identity);
    for (const auto& [text, colour] : items) width += PaintText::width(identityDetailFont(), text);
    if (!items.empty()) width += detailSpacing * static_cast<double>(items.size() - 1);
    return width;
}

double firstLineWidth(const VehicleIdentity& identity) {
    return (identity.matchedFromVIN ? sealIcon + firstLineSpacing : 0) + PaintText::width(identityFont(), identity.label);
}

} // namespace

// --- Brand -----------------------------------------------------------------------------------------

void BrandMark::paint(QPainter& painter, const QRectF& area) const {
    const QString text = QStringLiteral("OSKAVEL CAR");
    const QFont font = brandFont();
    PaintText::drawLeft(painter, font, accent, text, area.left(), area.center().y());
    const double x = area.left() + PaintText::width(font, text) + brandBarSpacing;
    painter.fillRect(QRectF(x, area.center().y() - 9, 3, 18), VEQ::critical());
}

QSizeF BrandMark::sizeHint() const {
    return {std::ceil(PaintText::width(brandFont(), QStringLiteral("OSKAVEL CAR")) + brandBarSpacing + 3),
            std::max(18.0, std::ceil(PaintText::lineHeight(brandFont())))};
}

// --- Status chips ------------------------------------------------------------------------------------

StatusChips StatusChips::of(const AppModel& model) {
    const TelemetryStore& store = model.store();
    const QColor accent = model.accent();
    StatusChips result;
    // Off once the link to the adapter is lost: the values shown are no longer the car's.
    result.chips.push_back({"bolt.fill", QStringLiteral("Contact"), model.contactOn(), VEQ::confirm()});
    result.chips.push_back({"exclamationmark.triangle.fill", R::faultChipText(model.dtcs().size()), !model.dtcs().empty(),
                            VEQ::critical()});
    result.chips.push_back({"gauge.with.dots.needle.bottom.50percent", R::requestRateText(store.requestsPerSecond()),
                            true, accent});
    if (store.trip().distanceKm > 0.05) {
        result.chips.push_back({"road.lanes", R::distanceText(store.trip().distanceKm), true, accent});
    }
    if (const auto& time = store.trip().zeroToHundredSec) {
        result.chips.push_back({"stopwatch.fill", R::zeroToHundredText(*time), true, VEQ::warning()});
    }
    return result;
}

std::vector<std::size_t> StatusChips::fitting(double width) const {
    // The contact comes first on the bar, the trouble codes first in importance.
    std::vector<std::size_t> byImportance(chips.size());
    std::iota(byImportance.begin(), byImportance.end(), std::size_t{0});
    if (byImportance.size() >= 2) std::swap(byImportance[0], byImportance[1]);
    std::vector<std::size_t> kept;
    double used = 0;
    for (const std::size_t i : byImportance) {
        const double needed = chipWidth(chips[i]) + (kept.empty() ? 0 : chipSpacing);
        if (used + needed > width + 0.5) break;
        kept.push_back(i);
        used += needed;
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}

void StatusChips::paint(QPainter& painter, const QRectF& area) const {
    painter.setRenderHint(QPainter::Antialiasing);
    const std::vector<std::size_t> shown = fitting(area.width());
    double total = 0;
    for (const std::size_t i : shown) total += chipWidth(chips[i]);
    if (!shown.empty()) total += chipSpacing * static_cast<double>(shown.size() - 1);
    double x = area.right() - total;
    const double height = chipHeight();
    const double top = area.center().y() - height / 2;
    QColor fill = VEQ::surface2();
    fill.setAlphaF(0.6f);
    for (const std::size_t i : shown) {
        const StatusChip& chip = chips[i];
        const double width = chipWidth(chip);
        QPainterPath capsule;
        capsule.addRoundedRect(QRectF(x, top, width, height), height / 2, height / 2);
        painter.fillPath(capsule, fill);
        const double centreY = area.center().y();
        const QRectF icon(x + chipPaddingHorizontal, centreY - chipIcon / 2, chipIcon, chipIcon);
        SymbolIcons::paint(painter, icon, chip.icon, chip.on ? chip.color : VEQ::textSecondary());
        PaintText::drawLeft(painter, chipFont(), chip.on ? VEQ::textPrimary() : VEQ::textSecondary(), chip.text,
                            x + chipPaddingHorizontal + chipIcon + chipInnerSpacing, centreY);
        x += width + chipSpacing;
    }
}

QSizeF StatusChips::sizeHint() const {
    double width = 0;
    for (const auto& chip : chips) width += chipWidth(chip);
    if (!chips.empty()) width += chipSpacing * static_cast<double>(chips.size() - 1);
    return {std::ceil(width), std::ceil(chipHeight())};
}

// --- Identity ----------------------------------------------------------------------------------------

VehicleIdentity VehicleIdentity::of(const AppModel& model) {
    VehicleIdentity identity;
    identity.label = QString::fromStdString(model.vehicleLabel());
    identity.matchedFromVIN = model.profileMatchedFromVIN();
    if (const auto& engine = model.identifiedEngine()) identity.family = QString::fromStdString(engine->family);
    if (const auto& fuel = model.readFuelType()) {
        const std::string_view name = veq::label(*fuel);
        identity.fuel = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    if (const auto& vin = model.vin()) identity.vin = QString::fromStdString(*vin);
    identity.calibrated = model.calibration().isActive();
    return identity;
}

void VehicleIdentity::paint(QPainter& painter, const QRectF& area) const {
    painter.setRenderHint(QPainter::Antialiasing);
    const double first = PaintText::lineHeight(identityFont());
    const double second = detailItems(*this).empty() ? 0 : PaintText::lineHeight(identityDetailFont());
    const double total = first + (second > 0 ? lineSpacing + second : 0);
    const double top = area.center().y() - total / 2;
    const double right = area.right();

    // Both lines end at the right edge; in a narrow bar the name loses its end and the details
    // their first items to an ellipsis.
    const double seal = matchedFromVIN ? sealIcon + firstLineSpacing : 0;
    const QString name = QFontMetricsF(identityFont()).elidedText(label, Qt::ElideRight, std::max(0.0, area.width() - seal));
    double x = right - seal - PaintText::width(identityFont(), name);
    if (matchedFromVIN) {
        const QRectF icon(x, top + first / 2 - sealIcon / 2, sealIcon, sealIcon);
        SymbolIcons::paint(painter, icon, "checkmark.seal.fill", VEQ::confirm());
        x += seal;
    }
    PaintText::drawLeft(painter, identityFont(), VEQ::textPrimary(), name, x, top + first / 2);

    if (second <= 0) return;
    const double centreY = top + first + lineSpacing + second / 2;
    const QFontMetricsF metrics(identityDetailFont());
    auto items = detailItems(*this);
    x = right;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const double room = x - area.left();
        const QString text = metrics.elidedText(it->first, Qt::ElideLeft, std::max(0.0, room));
        if (text.isEmpty()) break;
        x -= metrics.horizontalAdvance(text);
        PaintText::drawLeft(painter, identityDetailFont(), it->second, text, x, centreY);
        if (text != it->first) break;
        x -= detailSpacing;
    }
}

QSizeF VehicleIdentity::sizeHint() const {
    const double second = detailItems(*this).empty() ? 0 : PaintText::lineHeight(identityDetailFont()) + lineSpacing;
    return {std::ceil(std::max(firstLineWidth(*this), detailWidth(*this))),
            std::ceil(PaintText::lineHeight(identityFont()) + second)};
}

// --- The bar -----------------------------------------------------------------------------------------

CockpitTopBar::CockpitTopBar(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), brand_(new ComponentView<BrandMark>(BrandMark{model.accent()}, this)),
      logControl_(new EventLogControl(model, this)),
      chips_(new ComponentView<StatusChips>(StatusChips::of(model), this)),
      identity_(new ComponentView<VehicleIdentity>(VehicleIdentity::of(model), this)), tabAccent_(model.accent()) {
    setObjectName(QStringLiteral("cockpitTopBar"));
    setFixedHeight(barHeight);
    brand_->setObjectName(QStringLiteral("brand"));
    chips_->setObjectName(QStringLiteral("statusChips"));
    identity_->setObjectName(QStringLiteral("vehicleIdentity"));
    brand_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

    const QFont font = tabFont();
    int position = 1;
    for (const CockpitLayout layout : EnumTraits<CockpitLayout>::allCases) {
        const std::size_t index = tabs_.size();
        highlight_.push_back(layout == model_.activeLayout() ? 1.0 : 0.0);
        const QSizeF size(10 + PaintText::width(font, tabText(layout)) + 10, 5 + PaintText::lineHeight(font) + 5);
        auto* tab = new PaintedButton(size, [this, index](QPainter& painter, const QRectF& area) {
            paintTab(painter, area, index);
        }, this);
        const std::string_view key = id(layout);
        tab->setObjectName(QStringLiteral("layoutTab-") + QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())));
        tab->setToolTip(QStringLiteral("Ctrl+%1").arg(position++));
        connect(tab, &QAbstractButton::clicked, this, [this, layout] { model_.setActiveLayout(layout); });
        tabs_.push_back(tab);
    }

    connect(&model_, &AppModel::activeLayoutChanged, this, &CockpitTopBar::layoutChanged);
    SidebarButtonInset::follow(model_, *this);
}

void CockpitTopBar::setAnimated(bool animated) {
    animated_ = animated;
    logControl_->setAnimated(animated);
    if (!animated && tabAnimation_) tabAnimation_->setCurrentTime(tabAnimation_->duration());
}

void CockpitTopBar::paintTab(QPainter& painter, const QRectF& area, std::size_t index) const {
    const double t = highlight_[index];
    const CockpitLayout layout = EnumTraits<CockpitLayout>::allCases[index];
    if (t > 0) {
        QColor fill = tabAccent_;
        fill.setAlphaF(static_cast<float>(t));
        QPainterPath capsule;
        capsule.addRoundedRect(area, area.height() / 2, area.height() / 2);
        painter.fillPath(capsule, fill);
    }
    PaintText::drawCentred(painter, tabFont(), mix(VEQ::textSecondary(), VEQ::background(), t), tabText(layout),
                           area.center());
}

void CockpitTopBar::layoutChanged() {
    const CockpitLayout active = model_.activeLayout();
    std::vector<double> from = highlight_;
    std::vector<double> to(tabs_.size(), 0.0);
    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        if (EnumTraits<CockpitLayout>::allCases[i] == active) to[i] = 1.0;
    }
    if (tabAnimation_) {
        tabAnimation_->stop();
        tabAnimation_->deleteLater();
        tabAnimation_ = nullptr;
    }
    const auto apply = [this, from, to](double t) {
        for (std::size_t i = 0; i < tabs_.size(); ++i) {
            const double h = from[i] + (to[i] - from[i]) * t;
            if (h != highlight_[i]) {
                highlight_[i] = h;
                tabs_[i]->update();
            }
        }
    };
    if (!animated_) {
        apply(1.0);
        return;
    }
    tabAnimation_ = new QVariantAnimation(this);
    tabAnimation_->setDuration(tabMilliseconds);
    tabAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
    tabAnimation_->setStartValue(0.0);
    tabAnimation_->setEndValue(1.0);
    connect(tabAnimation_, &QVariantAnimation::valueChanged, this, [apply](const QVariant& v) { apply(v.toDouble()); });
    tabAnimation_->start();
}

void CockpitTopBar::refresh() {
    brand_->set(BrandMark{model_.accent()});
    chips_->set(StatusChips::of(model_));
    identity_->set(VehicleIdentity::of(model_));
    if (model_.accent() != tabAccent_) {
        tabAccent_ = model_.accent();
        for (auto* tab : tabs_) tab->update();
    }
}

bool CockpitTopBar::event(QEvent* event) {
    // A child whose size changed (the log control's form, a chip) asks for a new layout; the
    // leading inset changes with the sidebar.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::ContentsRectChange) placeChildren();
    return QWidget::event(event);
}

void CockpitTopBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeChildren();
}

void CockpitTopBar::placeChildren() {
    const int centreY = (barHeight - 1) / 2;
    const auto place = [centreY](QWidget* widget, int x, int width) {
        const int h = std::min(barHeight - 1, widget->sizeHint().height());
        widget->setGeometry(x, centreY - h / 2, std::max(0, width), h);
    };
    int x = contentsRect().left() + margin;
    place(brand_, x, brand_->sizeHint().width());
    x += brand_->sizeHint().width() + spacing;
    for (auto* tab : tabs_) {
        place(tab, x, tab->sizeHint().width());
        x += tab->sizeHint().width() + tabSpacing;
    }
    x += spacing - tabSpacing;
    place(logControl_, x, logControl_->sizeHint().width());
    x += logControl_->sizeHint().width() + spacing;

    // The chips and the identity stand at the right end. When the bar is too narrow for them,
    // the identity gives up room first (shortened, then hidden), then the last chips.
    const int right = width() - margin;
    const int room = right - x - spacing;
    const int chips = chips_->sizeHint().width();
    int identity = identity_->sizeHint().width();
    if (chips + spacing + identity > room) identity = room - chips - spacing;
    if (identity < minimumIdentity) identity = 0;
    identity_->setVisible(identity > 0);
    place(identity_, right - identity, identity);
    const int chipsRight = identity > 0 ? right - identity - spacing : right;
    const int chipsWidth = std::min(chips, std::max(0, chipsRight - x));
    place(chips_, chipsRight - chipsWidth, chipsWidth);
}

void CockpitTopBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor fill = VEQ::surface1();
    fill.setAlphaF(0.6f);
    painter.fillRect(rect(), fill);
    painter.fillRect(QRectF(0, barHeight - 1, width(), 1), VEQ::stroke());
}

} // namespace veq
