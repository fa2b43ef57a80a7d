#include "VEQUI/Views/Shell/RootView.hpp"

#include "VEQUI/Model/CockpitLayout.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Connection/ConnectionCascadeView.hpp"
#include "VEQUI/Views/Connection/ConnectionWizard.hpp"
#include "VEQUI/Views/Shell/LinkNoticeBar.hpp"
#include "VEQUI/Views/Shell/LiveInterface.hpp"
#include "VEQUI/Views/Shell/SectionScreens.hpp"

#include <QPalette>
#include <QShortcut>
#include <QVBoxLayout>

namespace veq {

namespace {

using Kind = AppModel::Phase::Kind;

} // namespace

RootView::Screen RootView::screenFor(const AppModel::Phase& phase, bool focusMode) {
    switch (phase.kind) {
    case Kind::disconnected: return Screen::wizard;
    case Kind::connecting:
    case Kind::failed: return Screen::progress;
    case Kind::live: return focusMode ? Screen::focusGauge : Screen::liveInterface;
    }
    return Screen::wizard;
}

RootView::RootView(AppModel::Environment environment, QWidget* parent)
    : QWidget(parent), model_(std::make_unique<AppModel>(std::move(environment))) {
    setObjectName(QStringLiteral("rootView"));
    setMinimumSize(kMinimumSize);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, VEQ::background());
    setPalette(palette);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Above whatever the phase shows, so the live sections and the full-screen cockpit share it.
    layout->addWidget(new LinkNoticeBar(*model_));

    QObject::connect(model_.get(), &AppModel::phaseChanged, this, [this] { showPhase(); });
    QObject::connect(model_.get(), &AppModel::focusModeChanged, this, [this] { showPhase(); });
    installShortcuts();
    showPhase();
}

RootView::~RootView() {
    // The screens hold references to the model: they go first, a replaced one still waiting for
    // its deferred deletion included.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    screen_ = nullptr;
    live_ = nullptr;
}

// A screen is replaced from inside its own buttons' signals ("Se connecter", "Déconnecter"): it
// is hidden at once and deleted once control is back in the event loop.
void RootView::retire(QWidget* screen) {
    if (!screen) return;
    layout()->removeWidget(screen);
    screen->hide();
    screen->deleteLater();
}

void RootView::setSection(AppSection section) {
    section_ = section;
    if (live_) live_->showSection(section);
}

void RootView::showPhase() {
    const Screen wanted = screenFor(model_->phase(), model_->focusMode());
    if (screen_ && wanted == screenKind_) return; // connecting and failed share one progress view
    screenKind_ = wanted;
    retire(screen_);
    live_ = nullptr;
    switch (wanted) {
    case Screen::wizard: screen_ = new ConnectionWizard(*model_); break;
    case Screen::progress: screen_ = new ConnectionCascadeView(*model_); break;
    case Screen::focusGauge: screen_ = SectionScreens::makeFocusGauge(*model_, animated_); break;
    case Screen::liveInterface:
        live_ = new LiveInterface(*model_, section_, animated_, [this](AppSection chosen) { setSection(chosen); });
        screen_ = live_;
        break;
    }
    static_cast<QVBoxLayout*>(layout())->addWidget(screen_, 1); // the notice above takes only the height it needs
    screen_->show();
}

void RootView::installShortcuts() {
    const auto shortcut = [this](const QKeySequence& keys, const QString& name, auto action) {
        auto* s = new QShortcut(keys, this);
        s->setObjectName(name);
        s->setContext(Qt::WindowShortcut);
        QObject::connect(s, &QShortcut::activated, this, action);
    };

    // The cockpit layouts, Ctrl+1 to Ctrl+5 in their order.
    int position = 0;
    for (const CockpitLayout layout : allCases<CockpitLayout>()) {
        ++position;
        shortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + position)),
                 QStringLiteral("layoutShortcut%1").arg(position), [this, layout] {
                     setSection(AppSection::cockpit);
                     model_->setActiveLayout(layout);
                 });
    }
    shortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S), QStringLiteral("toggleSidebarShortcut"),
             [this] { model_->setSidebarHidden(!model_->sidebarHidden()); });
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), QStringLiteral("toggleFocusShortcut"), [this] {
        model_->setFocusMode(!model_->focusMode());
        if (model_->focusMode()) setSection(AppSection::cockpit);
    });
    shortcut(QKeySequence(Qt::Key_Escape), QStringLiteral("leaveFocusShortcut"), [this] { model_->setFocusMode(false); });
}

} // namespace veq
