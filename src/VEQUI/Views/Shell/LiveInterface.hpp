#pragma once

#include "VEQUI/Model/AppSection.hpp"

#include <QWidget>

#include <functional>

class QAbstractButton;
class QVariantAnimation;

namespace veq {

class AppModel;
class Sidebar;

// The window once the car is live and focus mode is off: the sidebar (unless hidden) and the
// screen of the chosen section; while the sidebar is hidden, a round button in the top-left
// corner brings it back.
class LiveInterface : public QWidget {
public:
    // `choose` is called with the section the user picks in the sidebar. `animated` is the shell's
    // animations switch: it governs the sidebar and section transitions and the screens made here.
    LiveInterface(AppModel& model, AppSection section, bool animated, std::function<void(AppSection)> choose,
                  QWidget* parent = nullptr);

    // Replaces the content with the section's screen; the section already shown keeps its screen.
    void showSection(AppSection section);

    AppSection section() const { return section_; }
    Sidebar* sidebar() const { return sidebar_; }
    QWidget* sidebarDock() const { return dock_; }
    QWidget* contentScreen() const { return screen_; }
    QAbstractButton* showSidebarButton() const { return showSidebar_; }
    // True while the sidebar slides or a new section's screen comes in.
    bool isAnimating() const;

protected:
    // Keeps the sliding sidebar and the section's screen fitted to their areas.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // `transition`: the screen comes in with its fade and drop.
    void showSection(AppSection section, bool transition);
    void showSidebarState();
    void setReveal(double reveal);
    void placeScreen(double progress);

    AppModel& model_;
    AppSection section_;
    bool animated_;
    QWidget* dock_;
    QWidget* dockContent_;
    Sidebar* sidebar_;
    QWidget* content_;
    QWidget* screen_ = nullptr;
    QAbstractButton* showSidebar_;
    QVariantAnimation* dockAnimation_;
    QVariantAnimation* screenAnimation_;
    double reveal_ = 1.0;
};

} // namespace veq
