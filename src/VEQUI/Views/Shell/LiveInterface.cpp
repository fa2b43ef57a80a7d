#include "VEQUI/Views/Shell/LiveInterface.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Shell/SectionScreens.hpp"
#include "VEQUI/Views/Shell/Sidebar.hpp"
#include "VEQUI/Views/Kit/SidebarButtonInset.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"

#include <QAbstractButton>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace veq {

namespace {

constexpr int kDockWidth = Sidebar::kWidth + 1; // the sidebar and its divider
constexpr int kSidebarMillis = 220;
constexpr int kSectionMillis = 180;
// How far a new section's screen comes down from.
constexpr double kSectionDrop = 24;

// The round button that brings the hidden sidebar back.
class ShowSidebarButton : public QAbstractButton {
public:
    explicit ShowSidebarButton(QWidget* parent) : QAbstractButton(parent) {
        setObjectName(QStringLiteral("showSidebarButton"));
        setToolTip(QStringLiteral("Afficher le menu (Ctrl+Alt+S)"));
        setCursor(Qt::PointingHandCursor);
        setFixedSize(SidebarButtonInset::buttonSide, SidebarButtonInset::buttonSide);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = VEQ::surface1();
        fill.setAlphaF(0.85f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawEllipse(QRectF(rect()));
        SymbolIcons::paint(painter, QRectF(kPad, kPad, kIcon, kIcon), "sidebar.leading", VEQ::textSecondary());
    }

private:
    static constexpr int kIcon = 13;
    static constexpr int kPad = 8;
    static_assert(kIcon + 2 * kPad == SidebarButtonInset::buttonSide);
};

void removeEffect(QWidget* widget) {
    // An opacity effect would keep drawing the screen through an offscreen buffer.
    if (widget) widget->setGraphicsEffect(nullptr);
}

} // namespace

LiveInterface::LiveInterface(AppModel& model, AppSection section, bool animated,
                             std::function<void(AppSection)> choose, QWidget* parent)
    : QWidget(parent), model_(model), section_(section), animated_(animated) {
    setObjectName(QStringLiteral("liveInterface"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    // The dock clips the sidebar while it slides in from the leading edge.
    dock_ = new QWidget;
    dock_->setObjectName(QStringLiteral("sidebarDock"));
    dock_->setFixedWidth(kDockWidth);
    dockContent_ = new QWidget(dock_);
    auto* dockRow = new QHBoxLayout(dockContent_);
    dockRow->setContentsMargins(0, 0, 0, 0);
    dockRow->setSpacing(0);
    sidebar_ = new Sidebar(SectionScreens::sidebarSections());
    dockRow->addWidget(sidebar_);
    dockRow->addWidget(new Divider(Qt::Vertical));
    row->addWidget(dock_);

    content_ = new QWidget;
    content_->setObjectName(QStringLiteral("contentArea"));
    row->addWidget(content_, 1);

    showSidebar_ = new ShowSidebarButton(this);
    showSidebar_->move(SidebarButtonInset::cornerMargin, SidebarButtonInset::cornerMargin);
    QObject::connect(showSidebar_, &QAbstractButton::clicked, this, [this] { model_.setSidebarHidden(false); });

    dockAnimation_ = new QVariantAnimation(this);
    dockAnimation_->setDuration(kSidebarMillis);
    dockAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(dockAnimation_, &QVariantAnimation::valueChanged, this,
                     [this](const QVariant& value) { setReveal(value.toDouble()); });
    QObject::connect(dockAnimation_, &QVariantAnimation::finished, this, [this] { removeEffect(dockContent_); });

    screenAnimation_ = new QVariantAnimation(this);
    screenAnimation_->setDuration(kSectionMillis);
    screenAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(screenAnimation_, &QVariantAnimation::valueChanged, this,
                     [this](const QVariant& value) { placeScreen(value.toDouble()); });
    QObject::connect(screenAnimation_, &QVariantAnimation::finished, this, [this] { removeEffect(screen_); });

    QObject::connect(sidebar_, &Sidebar::sectionChosen, this, [choose](AppSection chosen) { choose(chosen); });
    QObject::connect(sidebar_, &Sidebar::fullScreenRequested, this, [this, choose] {
        choose(AppSection::cockpit);
        model_.setFocusMode(true);
    });
    QObject::connect(sidebar_, &Sidebar::hideRequested, this, [this] { model_.setSidebarHidden(true); });
    QObject::connect(sidebar_, &Sidebar::disconnectRequested, this, [this] { model_.disconnect(); });
    QObject::connect(&model_, &AppModel::sidebarHiddenChanged, this, [this] { showSidebarState(); });
    QObject::connect(&model_, &AppModel::nightModeChanged, this, [this] { sidebar_->setAccent(model_.accent()); });
    sidebar_->setAccent(model_.accent());

    dock_->installEventFilter(this);
    content_->installEventFilter(this);
    setReveal(model_.sidebarHidden() ? 0.0 : 1.0);
    showSidebar_->setVisible(model_.sidebarHidden());

    section_ = section;
    screen_ = nullptr;
    showSection(section, false); // the first screen simply appears
}

bool LiveInterface::isAnimating() const {
    return dockAnimation_->state() == QAbstractAnimation::Running ||
           screenAnimation_->state() == QAbstractAnimation::Running;
}

void LiveInterface::showSection(AppSection section) { showSection(section, animated_); }

void LiveInterface::showSection(AppSection section, bool transition) {
    if (screen_ && section == section_) return;
    section_ = section;
    sidebar_->setSelected(section);
    screenAnimation_->stop();
    if (screen_) {
        // The screen may be the one whose control asked for the change: deleted once back in the
        // event loop.
        screen_->hide();
        screen_->deleteLater();
    }
    screen_ = SectionScreens::make(section, model_, animated_);
    screen_->setParent(content_);
    screen_->show();
    if (transition) {
        auto* effect = new QGraphicsOpacityEffect(screen_);
        effect->setOpacity(0);
        screen_->setGraphicsEffect(effect);
        placeScreen(0);
        screenAnimation_->setStartValue(0.0);
        screenAnimation_->setEndValue(1.0);
        screenAnimation_->start();
    } else {
        placeScreen(1);
    }
    showSidebar_->raise();
}

void LiveInterface::placeScreen(double progress) {
    if (!screen_) return;
    screen_->setGeometry(0, static_cast<int>(std::lround(-(1 - progress) * kSectionDrop)), content_->width(),
                         content_->height());
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(screen_->graphicsEffect())) effect->setOpacity(progress);
}

void LiveInterface::showSidebarState() {
    const bool hidden = model_.sidebarHidden();
    showSidebar_->setVisible(hidden);
    showSidebar_->raise();
    const double target = hidden ? 0.0 : 1.0;
    if (!animated_) {
        dockAnimation_->stop();
        setReveal(target);
        return;
    }
    auto* effect = new QGraphicsOpacityEffect(dockContent_);
    effect->setOpacity(reveal_);
    dockContent_->setGraphicsEffect(effect);
    dockAnimation_->stop();
    dockAnimation_->setStartValue(reveal_);
    dockAnimation_->setEndValue(target);
    dockAnimation_->start();
}

void LiveInterface::setReveal(double reveal) {
    reveal_ = reveal;
    const int width = static_cast<int>(std::lround(kDockWidth * reveal));
    dock_->setFixedWidth(width);
    dock_->setVisible(width > 0);
    dockContent_->setGeometry(width - kDockWidth, 0, kDockWidth, dock_->height());
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(dockContent_->graphicsEffect())) effect->setOpacity(reveal);
}

bool LiveInterface::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        if (watched == dock_) {
            dockContent_->setGeometry(dock_->width() - kDockWidth, 0, kDockWidth, dock_->height());
        } else if (watched == content_) {
            const bool moving = screenAnimation_->state() == QAbstractAnimation::Running;
            placeScreen(moving ? screenAnimation_->currentValue().toDouble() : 1.0);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace veq
