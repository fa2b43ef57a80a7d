#pragma once

#include "VEQUI/Model/ConnectionFixtures.hpp"
#include "VEQUI/Support/GaugePixels.hpp"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

// Showing a screen offscreen and reading it back: its texts by name, its pixels by position.
namespace veq::testing {

// Lets every pending layout and paint happen.
inline void settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// Shows the screen at `size` and settles its layouts.
inline void present(QWidget& screen, QSize size) {
    screen.resize(size);
    screen.show();
    settle();
}

// The screen as drawn, written as build/.../screens/<name>.png.
inline QImage shoot(QWidget& screen, const QString& name) {
    settle();
    QImage image = screen.grab().toImage().convertToFormat(QImage::Format_RGB32);
    saveScreen(image, name);
    return image;
}

// The named descendants of `root`, in reading order (top to bottom, then left to right).
template <typename T = QWidget>
QList<T*> named(const QWidget& root, const QString& name) {
    QList<T*> found = root.findChildren<T*>(name);
    std::stable_sort(found.begin(), found.end(), [&root](T* a, T* b) {
        const QPoint pa = a->mapTo(&root, QPoint(0, 0));
        const QPoint pb = b->mapTo(&root, QPoint(0, 0));
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    return found;
}

// The one descendant of that name; null when there is none or several.
template <typename T = QWidget>
T* only(const QWidget& root, const QString& name) {
    const auto found = root.findChildren<T*>(name);
    return found.size() == 1 ? found.front() : nullptr;
}

inline std::string text(const QLabel* label) { return label ? label->text().toStdString() : "<none>"; }

// The texts of the labels of that name, in reading order, within `root`.
inline std::vector<std::string> texts(const QWidget& root, const QString& name) {
    std::vector<std::string> out;
    for (const QLabel* label : named<QLabel>(root, name)) out.push_back(label->text().toStdString());
    return out;
}

inline QColor textColor(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

// `over` at `opacity` on an opaque `under`.
inline QColor blend(QColor over, double opacity, QColor under) {
    const auto mix = [opacity](int a, int b) { return static_cast<int>(std::lround(a * opacity + b * (1 - opacity))); };
    return QColor(mix(over.red(), under.red()), mix(over.green(), under.green()), mix(over.blue(), under.blue()));
}

// Where a widget lies within the screen's picture.
inline QRect placeIn(const QWidget& screen, const QWidget& widget) {
    return QRect(widget.mapTo(&screen, QPoint(0, 0)), widget.size());
}

// Whether the widget is shown within the scroll view's visible part.
inline bool inView(const QWidget& viewport, const QWidget& widget) {
    return widget.isVisibleTo(&viewport) && viewport.rect().intersects(QRect(widget.mapTo(&viewport, QPoint(0, 0)), widget.size()));
}

// The lines an adapter was sent from the `from`-th on.
inline std::vector<std::string> linesFrom(const ScriptedCar& car, std::size_t from) {
    const auto all = car.lines();
    return from < all.size() ? std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(from), all.end())
                             : std::vector<std::string>{};
}

// Whether a line is one of the polling engine's: a mode 01 request.
inline bool isPollingRequest(const std::string& line) { return line.starts_with("01"); }

// A model live on the scripted car once its connection's own work is done: polling runs and the
// expert set-up has judged its recipes, so that whatever is sent next is polling only.
inline bool settledLive(ConnectionRig& rig) {
    return rig.connect() && waitUntil([&] { return rig->store().value(0x0C).has_value(); }) &&
           waitUntil([&] { return !rig->feasibilities().empty(); });
}

} // namespace veq::testing
