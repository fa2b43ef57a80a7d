#pragma once

#include "ScreenFixtures.hpp"

#include "VEQUI/Model/ToolFixtures.hpp"

#include <QAbstractButton>
#include <QEvent>


// What the terminal and bus monitor screens' tests add to the model tools' fixtures: a scripted
// adapter that prints frames in monitor mode, and a paint counter.
namespace veq::testing {

// An adapter that prints `frames` once monitor mode starts, after `gate` (when given) opens.
inline ScriptedCar::Script monitorPrinting(std::vector<std::string> frames, ScriptGate* gate = nullptr) {
    return [frames = std::move(frames), gate](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line != "ATMA") return std::nullopt;
        if (gate) gate->wait();
        std::string all;
        for (const std::string& frame : frames) all += frame + "\r";
        return std::vector<std::string>{all};
    };
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

inline QAbstractButton* button(const QWidget& root, const QString& name) { return only<QAbstractButton>(root, name); }

} // namespace veq::testing
