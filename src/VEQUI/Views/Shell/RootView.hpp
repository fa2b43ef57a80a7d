#pragma once

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/AppSection.hpp"

#include <QWidget>

#include <memory>

namespace veq {

class LiveInterface;

// The content of the one window. It owns the one model for the window's life and shows what
// the connection phase selects: the wizard while disconnected, the progress view while connecting
// and after a failure, and once live the focus gauge (focus mode) or the sidebar with the chosen
// section. Its keyboard shortcuts work in every phase.
class RootView : public QWidget {
public:
    static constexpr QSize kMinimumSize{1080, 680};

    enum class Screen { wizard, progress, focusGauge, liveInterface };

    // What fills the window for a phase and the focus-mode flag.
    static Screen screenFor(const AppModel::Phase& phase, bool focusMode);

    explicit RootView(AppModel::Environment environment = AppModel::Environment::standard(), QWidget* parent = nullptr);
    ~RootView() override;

    AppModel& model() const { return *model_; }

    AppSection section() const { return section_; }
    // Chooses the section shown once live (and at once when live).
    void setSection(AppSection section);

    Screen screenKind() const { return screenKind_; }
    QWidget* screen() const { return screen_; }
    // The live interface while it is shown, else null.
    LiveInterface* liveInterface() const { return live_; }

    // Tests may turn the animations off: the sidebar and section transitions, and those of the
    // screens shown from then on.
    void setAnimationsEnabled(bool enabled) { animated_ = enabled; }

private:
    void showPhase();
    void retire(QWidget* screen);
    void installShortcuts();

    std::unique_ptr<AppModel> model_;
    AppSection section_ = AppSection::cockpit;
    Screen screenKind_ = Screen::wizard;
    QWidget* screen_ = nullptr;
    LiveInterface* live_ = nullptr;
    bool animated_ = true;
};

} // namespace veq
