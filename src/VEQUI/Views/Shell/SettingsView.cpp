#include "VEQUI/Views/Shell/SettingsView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/SidebarButtonInset.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"
#include "VEQUI/Views/Kit/WheelFocus.hpp"

#include <fmt/format.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace veq {

namespace SettingsText {

std::string profileDetail(const VehicleProfile& profile) {
    return fmt::format("{} · {} · {} calculateurs déclarés", profile.platform, profile.engine.value_or("—"),
                       profile.ecus.size());
}

std::string unreachableBus(const VehicleBus& bus) {
    return bus.name + " (" + bus.speedLabel() + ") — " + bus.note.value_or("non routé vers l'OBD");
}

std::string speedFactor(double factor) { return fmt::format("×{:.3f}", factor); }

std::string tankCapacity(std::optional<double> litres) {
    return litres ? fmt::format("{:.0f} L", *litres) : std::string("inconnu");
}

QString emphasised(const QString& text) {
    const QStringList parts = text.split(QStringLiteral("**"));
    QString html;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString escaped = parts[i].toHtmlEscaped();
        html += i % 2 == 1 ? QStringLiteral("<b>") + escaped + QStringLiteral("</b>") : escaped;
    }
    return html;
}

} // namespace SettingsText

namespace {

constexpr int kCardMaxWidth = 620;
constexpr int kCardInset = 14;
constexpr int kCardInner = kCardMaxWidth - 2 * kCardInset;
constexpr int kBusIcon = 9;
constexpr int kBusSpacing = 6;
constexpr int kCaptionWidth = 90;
constexpr int kFigureWidth = 56;
constexpr int kRowSpacing = 10;

// The position text, with the platform words of this system.
const QString kLocationExplanation = QStringLiteral(
    "L'OBD-II ne publie aucune coordonnée : il n'existe pas de PID de position. La position vient donc du récepteur "
    "de cet appareil. Sur une tablette cellulaire, c'est un vrai GPS (3–5 m). Sur un ordinateur portable, c'est un "
    "positionnement par réseaux Wi-Fi, correct à l'arrêt en ville mais **inutilisable en roulant** — dans ce cas, "
    "enregistrez la trace sur votre téléphone et importez le GPX.");

const QString kCalibrationExplanation = QStringLiteral(
    "Le compteur d'une voiture homologuée en Europe n'a pas le droit de sous-estimer la vitesse : il peut l'afficher "
    "jusqu'à +10 % + 4 km/h (règlement UNECE R39). L'OBD, lui, publie la vitesse réelle. À 100 km/h au combiné, "
    "l'OBD lira 93–95 km/h — l'application n'est pas fausse, votre compteur est optimiste. La distance, intégrée "
    "depuis la vitesse, hérite du même écart face au compteur kilométrique.");

QString qs(const std::string& text) { return QString::fromStdString(text); }

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

// A card: the rounded surface behind a column, at most 620 pixels wide.
RoundedPanel* makeCard(int spacing, QVBoxLayout*& column) {
    auto* card = new RoundedPanel(10, VEQ::surface1());
    card->setMaximumWidth(kCardMaxWidth);
    column = new QVBoxLayout(card);
    column->setContentsMargins(kCardInset, kCardInset, kCardInset, kCardInset);
    column->setSpacing(spacing);
    return card;
}

// A toggle: Qt's check box, its label in `font`, its mark in `tint`.
QCheckBox* makeToggle(const QString& text, const QFont& font, const QColor& tint, const QString& name) {
    auto* toggle = new QCheckBox(text);
    toggle->setObjectName(name);
    // As wide as its box and label: a click beside the label would not toggle it.
    toggle->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    toggle->setFont(font);
    QPalette palette = toggle->palette();
    palette.setColor(QPalette::WindowText, VEQ::textPrimary());
    palette.setColor(QPalette::Text, tint);
    palette.setColor(QPalette::Highlight, tint);
    toggle->setPalette(palette);
    return toggle;
}

int sliderPosition(double factor) {
    const double clamped = std::clamp(factor, SettingsView::kMinSpeedFactor, SettingsView::kMaxSpeedFactor);
    return static_cast<int>(std::lround((clamped - SettingsView::kMinSpeedFactor) * SettingsView::kSliderSteps));
}

double sliderFactor(int position) {
    return SettingsView::kMinSpeedFactor + static_cast<double>(position) / SettingsView::kSliderSteps;
}

// The capsule "reconnu par le VIN".
class Badge : public QLabel {
public:
    explicit Badge(const QString& text) : QLabel(text) {
        setObjectName(QStringLiteral("vinBadge"));
        setFont(VEQ::label(9, QFont::Medium));
        setTextColour(this, VEQ::confirm());
        setContentsMargins(6, 2, 6, 2);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(withAlpha(VEQ::confirm(), 0.15));
            const double radius = height() / 2.0;
            painter.drawRoundedRect(QRectF(rect()), radius, radius);
        }
        QLabel::paintEvent(event);
    }
};

} // namespace

SettingsView::SettingsView(AppModel& model, QWidget* parent) : ScreenWidget(parent), model_(model) {
    setObjectName(QStringLiteral("settingsView"));
    // The screen fits the window; on a small window it scrolls rather than grow the window.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = makeVerticalScrollArea();
    outer->addWidget(scroll);
    QWidget* content = scroll->widget();

    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);
    auto* title = makeLabel(QStringLiteral("Réglages"), VEQ::label(18, QFont::Bold), VEQ::textPrimary(),
                            QStringLiteral("settingsTitle"));
    SidebarButtonInset::follow(model_, *title);
    column->addWidget(title);
    column->addWidget(profileCard());
    column->addWidget(locationCard());
    column->addWidget(calibrationCard());

    nightMode_ = makeToggle(QStringLiteral("Mode nuit (accent ambre, luminosité réduite)"), VEQ::label(13, QFont::Medium),
                            VEQ::warning(), QStringLiteral("nightModeToggle"));
    QObject::connect(nightMode_, &QCheckBox::toggled, this, [this](bool on) { model_.setNightMode(on); });
    column->addWidget(nightMode_);

    column->addWidget(unitsPicker());
    column->addWidget(new Divider(Qt::Horizontal));

    auto* privacy = new QVBoxLayout;
    privacy->setSpacing(6);
    privacy->addWidget(makeLabel(QStringLiteral("Confidentialité"), VEQ::label(13, QFont::DemiBold), VEQ::textPrimary(),
                                 QStringLiteral("privacyTitle")));
    privacy->addWidget(makeLabel(QStringLiteral("Tout reste local. Aucune télémétrie, aucune donnée envoyée."),
                                 VEQ::label(12, QFont::Medium), VEQ::textSecondary(), QStringLiteral("privacyText")));
    column->addLayout(privacy);
    column->addStretch(1);

    QObject::connect(&model_, &AppModel::selectedProfileChanged, this, [this] {
        showProfile();
        showCalibration(); // the profile's tank capacity
    });
    QObject::connect(&model_, &AppModel::profileMatchedFromVINChanged, this, [this] { showProfile(); });
    QObject::connect(&model_, &AppModel::recordLocationChanged, this, [this] { showLocation(); });
    QObject::connect(&model_.location(), &LocationProvider::latestChanged, this, [this] { showLocation(); });
    QObject::connect(&model_.location(), &LocationProvider::authorizationChanged, this, [this] { showLocation(); });
    QObject::connect(&model_.location(), &LocationProvider::fixCountChanged, this, [this] { showLocation(); });
    QObject::connect(&model_, &AppModel::calibrationChanged, this, [this] { showCalibration(); });
    QObject::connect(&model_, &AppModel::nightModeChanged, this, [this] { showAccent(); });
    QObject::connect(&model_, &AppModel::unitSystemChanged, this, [this] { showUnits(); });
    showProfile();
    showLocation();
    showCalibration();
    showAccent();
    showUnits();
}

QWidget* SettingsView::profileCard() {
    QVBoxLayout* column = nullptr;
    auto* card = makeCard(6, column);
    card->setObjectName(QStringLiteral("profileCard"));

    auto* heading = new QHBoxLayout;
    heading->setSpacing(8);
    heading->addWidget(makeLabel(QStringLiteral("Profil véhicule"), VEQ::label(13, QFont::DemiBold),
                                 VEQ::textPrimary(), QStringLiteral("profileTitle")));
    badge_ = new Badge(QStringLiteral("reconnu par le VIN"));
    heading->addWidget(badge_);
    heading->addStretch(1);
    column->addLayout(heading);

    profilePicker_ = new QComboBox;
    profilePicker_->setObjectName(QStringLiteral("profilePicker"));
    profilePicker_->setFixedWidth(380);
    WheelFocus::onlyWhenFocused(*profilePicker_);
    for (const auto& profile : model_.profiles()) profilePicker_->addItem(qs(profile.displayName()));
    QObject::connect(profilePicker_, &QComboBox::activated, this, [this](int index) {
        const auto& profiles = model_.profiles();
        if (index >= 0 && static_cast<std::size_t>(index) < profiles.size()) {
            model_.setSelectedProfile(profiles[static_cast<std::size_t>(index)]);
        }
    });
    column->addWidget(profilePicker_);

    profileDetail_ = makeLabel({}, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), QStringLiteral("profileDetail"));
    column->addWidget(profileDetail_);
    busRows_ = new QVBoxLayout;
    busRows_->setSpacing(6);
    column->addLayout(busRows_);
    return card;
}

QWidget* SettingsView::locationCard() {
    QVBoxLayout* column = nullptr;
    auto* card = makeCard(8, column);
    card->setObjectName(QStringLiteral("locationCard"));

    recordLocation_ = makeToggle(QStringLiteral("Enregistrer la position avec la télémétrie"),
                                 VEQ::label(13, QFont::DemiBold), VEQ::accent(), QStringLiteral("recordLocationToggle"));
    QObject::connect(recordLocation_, &QCheckBox::toggled, this, [this](bool on) { model_.setRecordLocation(on); });
    column->addWidget(recordLocation_);

    auto* explanation = makeWrappingLabel({}, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), kCardInner,
                                          QStringLiteral("locationExplanation"));
    explanation->setTextFormat(Qt::RichText);
    explanation->setText(SettingsText::emphasised(kLocationExplanation));
    column->addWidget(explanation);

    auto* strip = new RoundedPanel(8, VEQ::surface2());
    strip->setObjectName(QStringLiteral("locationStrip"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(8);
    locationIcon_ = new SymbolView("location.fill", 11, VEQ::accent());
    locationIcon_->setObjectName(QStringLiteral("locationIcon"));
    row->addWidget(locationIcon_);
    locationSummary_ = makeLabel({}, VEQ::label(11, QFont::Medium), VEQ::textPrimary(), QStringLiteral("locationSummary"));
    row->addWidget(locationSummary_);
    row->addStretch(1);
    column->addWidget(strip, 0, Qt::AlignLeft);
    strip->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return card;
}

QWidget* SettingsView::calibrationCard() {
    QVBoxLayout* column = nullptr;
    auto* card = makeCard(8, column);
    card->setObjectName(QStringLiteral("calibrationCard"));
    column->addWidget(makeLabel(QStringLiteral("Calibration des mesures"), VEQ::label(13, QFont::DemiBold),
                                VEQ::textPrimary(), QStringLiteral("calibrationTitle")));
    column->addWidget(makeWrappingLabel(kCalibrationExplanation, VEQ::label(11, QFont::Medium), VEQ::textSecondary(),
                                        kCardInner, QStringLiteral("calibrationExplanation")));

    const auto caption = [](const QString& text) {
        auto* label = makeLabel(text, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), QStringLiteral("rowCaption"));
        label->setFixedWidth(kCaptionWidth);
        return label;
    };
    const auto figure = [](const QString& name) {
        auto* label = makeLabel({}, VEQ::numeric(11, QFont::DemiBold), VEQ::textPrimary(), name);
        label->setFixedWidth(kFigureWidth);
        label->setAlignment(Qt::AlignCenter);
        return label;
    };
    const auto quickChoice = [this](const QString& title, const QString& name) {
        auto* button = new PlainButton(title, {}, VEQ::label(10, QFont::Medium), model_.accent());
        button->setObjectName(name);
        accentButtons_.push_back(button);
        return button;
    };

    auto* speed = new QHBoxLayout;
    speed->setSpacing(kRowSpacing);
    speed->addWidget(caption(QStringLiteral("Vitesse")));
    speedSlider_ = new QSlider(Qt::Horizontal);
    speedSlider_->setObjectName(QStringLiteral("speedFactorSlider"));
    speedSlider_->setFixedWidth(220);
    speedSlider_->setRange(0, sliderPosition(kMaxSpeedFactor));
    speedSlider_->setSingleStep(kSliderSteps / 1000);
    speedSlider_->setPageStep(kSliderSteps / 100);
    WheelFocus::onlyWhenFocused(*speedSlider_);
    QObject::connect(speedSlider_, &QSlider::valueChanged, this, [this](int position) {
        VehicleCalibration calibration = model_.calibration();
        calibration.speedFactor = sliderFactor(position);
        model_.setCalibration(calibration);
    });
    speed->addWidget(speedSlider_);
    speedFactor_ = figure(QStringLiteral("speedFactor"));
    speed->addWidget(speedFactor_);
    auto* realSpeed = quickChoice(QStringLiteral("Vitesse réelle"), QStringLiteral("realSpeedButton"));
    QObject::connect(realSpeed, &QAbstractButton::clicked, this, [this] {
        VehicleCalibration calibration = model_.calibration();
        calibration.speedFactor = 1.0;
        model_.setCalibration(calibration);
    });
    speed->addWidget(realSpeed);
    auto* dashboard = quickChoice(QStringLiteral("Comme le combiné"), QStringLiteral("dashboardSpeedButton"));
    QObject::connect(dashboard, &QAbstractButton::clicked, this, [this] {
        VehicleCalibration calibration = model_.calibration();
        calibration.speedFactor = 1.06;
        model_.setCalibration(calibration);
    });
    speed->addWidget(dashboard);
    speed->addStretch(1);
    column->addLayout(speed);

    auto* tank = new QHBoxLayout;
    tank->setSpacing(kRowSpacing);
    tank->addWidget(caption(QStringLiteral("Réservoir")));
    tankCapacity_ = figure(QStringLiteral("tankCapacity"));
    tank->addWidget(tankCapacity_);
    for (const double litres : kTankChoices) {
        const QString title = qs(SettingsText::tankCapacity(litres));
        auto* button = quickChoice(title, QStringLiteral("tankButton.") + title);
        QObject::connect(button, &QAbstractButton::clicked, this, [this, litres] {
            VehicleCalibration calibration = model_.calibration();
            calibration.tankCapacityL = litres;
            model_.setCalibration(calibration);
        });
        tank->addWidget(button);
    }
    // The note takes what the row leaves and wraps there, a number never parted from its unit.
    int used = kCaptionWidth + kFigureWidth + kRowSpacing * (1 + static_cast<int>(kTankChoices.size()) + 1);
    for (int i = 0; i < tank->count(); ++i) {
        if (auto* button = dynamic_cast<PlainButton*>(tank->itemAt(i)->widget())) used += button->sizeHint().width();
    }
    const QString note = QStringLiteral("le PID 0x2F ne donne qu'un pourcentage ; la W257 existe en 66 L et 80 L");
    const QFont noteFont = VEQ::label(10, QFont::Medium);
    tank->addWidget(makeWrappingLabel(note, noteFont, withAlpha(VEQ::textSecondary(), 0.75),
                                      widthKeepingNumbersWithUnits(note, noteFont, kCardInner - used),
                                      QStringLiteral("tankNote")));
    tank->addStretch(1);
    column->addLayout(tank);
    return card;
}

QWidget* SettingsView::unitsPicker() {
    auto* picker = new QWidget;
    picker->setObjectName(QStringLiteral("unitsPicker"));
    auto* row = new QHBoxLayout(picker);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(makeLabel(QStringLiteral("Unités"), VEQ::label(13, QFont::Medium), VEQ::textPrimary(),
                             QStringLiteral("unitsTitle")));

    auto* segments = new QWidget;
    segments->setFixedWidth(260);
    // A segmented control: two joined buttons, the chosen one lit.
    segments->setStyleSheet(QStringLiteral(
        "QPushButton { background: %1; color: %2; border: 1px solid %3; padding: 4px 0; }"
        "QPushButton:checked { background: %3; color: %4; }"
        "QPushButton#unit\\.metric { border-top-left-radius: 6px; border-bottom-left-radius: 6px; }"
        "QPushButton#unit\\.imperial { border-top-right-radius: 6px; border-bottom-right-radius: 6px; "
        "border-left: none; }")
                                .arg(VEQ::surface1().name(), VEQ::textSecondary().name(), VEQ::stroke().name(),
                                     VEQ::textPrimary().name()));
    auto* buttons = new QHBoxLayout(segments);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    units_ = new QButtonGroup(this);
    units_->setExclusive(true);
    static constexpr std::array<std::pair<UnitSystem, const char*>, 2> kSegments{{
        {UnitSystem::metric,   "Métrique"},
        {UnitSystem::imperial, "Impériale"},
    }};
    for (const auto& [system, title] : kSegments) {
        auto* button = new QPushButton(QString::fromUtf8(title));
        button->setObjectName(QStringLiteral("unit.") + QString::fromUtf8(rawValue(system).data()));
        button->setCheckable(true);
        button->setFont(VEQ::label(12, QFont::Medium));
        button->setCursor(Qt::PointingHandCursor);
        units_->addButton(button, static_cast<int>(system));
        buttons->addWidget(button);
    }
    QObject::connect(units_, &QButtonGroup::idClicked, this,
                     [this](int id) { model_.setUnitSystem(static_cast<UnitSystem>(id)); });
    row->addWidget(segments);
    row->addStretch(1);
    return picker;
}

void SettingsView::showProfile() {
    const auto& selected = model_.selectedProfile();
    badge_->setVisible(model_.profileMatchedFromVIN());

    const auto& profiles = model_.profiles();
    int index = -1;
    if (selected) {
        const auto found = std::find(profiles.begin(), profiles.end(), *selected);
        if (found != profiles.end()) index = static_cast<int>(found - profiles.begin());
    }
    profilePicker_->setCurrentIndex(index);

    profileDetail_->setVisible(selected.has_value());
    profileDetail_->setText(selected ? qs(SettingsText::profileDetail(*selected)) : QString());
    while (QLayoutItem* item = busRows_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    contentSizeChanged(profileDetail_);
    if (!selected) return;
    for (const auto& bus : selected->unreachableBusses()) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("unreachableBus"));
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(kBusSpacing);
        auto* icon = new QVBoxLayout;
        icon->setContentsMargins(0, 2, 0, 0);
        icon->addWidget(new SymbolView("exclamationmark.triangle.fill", kBusIcon, VEQ::warning()));
        icon->addStretch(1);
        layout->addLayout(icon);
        layout->addWidget(makeWrappingLabel(qs(SettingsText::unreachableBus(bus)), VEQ::label(10, QFont::Medium),
                                            VEQ::textSecondary(), kCardInner - kBusIcon - kBusSpacing,
                                            QStringLiteral("unreachableBusText")));
        busRows_->addWidget(row);
    }
    contentSizeChanged(profileDetail_);
}

void SettingsView::showLocation() {
    const bool on = model_.recordLocation();
    if (recordLocation_->isChecked() != on) {
        const QSignalBlocker quiet(recordLocation_);
        recordLocation_->setChecked(on);
    }
    locationIcon_->setSymbol(on ? "location.fill" : "location.slash");
    locationIcon_->setTint(on ? model_.accent() : VEQ::textSecondary());
    locationSummary_->setText(qs(model_.locationSummary()));
}

void SettingsView::showCalibration() {
    const VehicleCalibration& calibration = model_.calibration();
    if (sliderFactor(speedSlider_->value()) != calibration.speedFactor) {
        const QSignalBlocker quiet(speedSlider_);
        speedSlider_->setValue(sliderPosition(calibration.speedFactor));
    }
    speedFactor_->setText(qs(SettingsText::speedFactor(calibration.speedFactor)));
    tankCapacity_->setText(qs(SettingsText::tankCapacity(model_.effectiveTankCapacity())));
}

void SettingsView::showAccent() {
    const QColor accent = model_.accent();
    if (nightMode_->isChecked() != model_.nightMode()) {
        const QSignalBlocker quiet(nightMode_);
        nightMode_->setChecked(model_.nightMode());
    }
    QPalette palette = speedSlider_->palette();
    palette.setColor(QPalette::Highlight, accent);
    speedSlider_->setPalette(palette);
    for (auto* button : accentButtons_) button->setColour(accent);
    QPalette toggle = recordLocation_->palette();
    toggle.setColor(QPalette::Text, accent);
    toggle.setColor(QPalette::Highlight, accent);
    recordLocation_->setPalette(toggle);
    showLocation();
}

void SettingsView::showUnits() {
    if (auto* button = units_->button(static_cast<int>(model_.unitSystem()))) button->setChecked(true);
}

} // namespace veq
