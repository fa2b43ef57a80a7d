#pragma once

#include "VEQUI/Model/ConnectionFixtures.hpp"
#include "VEQUI/Model/ToolFixtures.hpp"
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/Shell/MainWindow.hpp"
#include "VEQUI/Views/Shell/RootView.hpp"
#include "VEQUI/Views/Shell/Sidebar.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// Showing a screen offscreen and reading it back: its texts by name, its pixels by position, its
// paints; the model behind it fed by hand, live on the simulated car or on a scripted adapter.
namespace veq::testing {

// A window size users see, and the content area beside its sidebar and the sidebar's divider.
struct UserSize {
    std::string name; // the window's: "1280x800"
    QSize window;
    QSize content;

    friend std::ostream& operator<<(std::ostream& out, const UserSize& size) { return out << size.name; }
};
inline UserSize userSize(QSize window) {
    return {std::to_string(window.width()) + "x" + std::to_string(window.height()), window,
            window - QSize(Sidebar::kWidth + 1, 0)};
}
// The window as it opens and at its minimum size.
inline const UserSize userSizes[] = {userSize(MainWindow::kDefaultSize), userSize(RootView::kMinimumSize)};

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

inline QAbstractButton* button(const QWidget& root, const QString& name) { return only<QAbstractButton>(root, name); }

inline std::string text(const QLabel* label) { return label ? label->text().toStdString() : "<none>"; }

// The text of the one label of that name within `root`.
inline std::string textOf(const QWidget& root, const char* name) {
    return text(only<QLabel>(root, QString::fromUtf8(name)));
}

// The texts of the labels of that name, in reading order, within `root`.
inline std::vector<std::string> texts(const QWidget& root, const QString& name) {
    std::vector<std::string> out;
    for (const QLabel* label : named<QLabel>(root, name)) out.push_back(label->text().toStdString());
    return out;
}

inline QColor textColor(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

// Whether the label has the room to show its whole text, wrapped when it wraps.
inline bool shownWhole(const QLabel& label) {
    const QRect room = label.contentsRect();
    const QFontMetrics metrics(label.font());
    if (!label.wordWrap()) return metrics.horizontalAdvance(label.text()) <= room.width();
    const QRect needed = metrics.boundingRect(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, label.text());
    return needed.width() <= room.width() && needed.height() <= room.height();
}

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

// Whether the adapter was sent nothing from its `from`-th line on but polling (mode 01) requests.
inline bool onlyPollingFrom(const ScriptedCar& car, std::size_t from) {
    const auto all = car.lines();
    return std::all_of(all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end(),
                       [](const std::string& line) { return line.starts_with("01"); });
}

// A model live on the scripted car once its connection's own work is done: polling runs and the
// expert set-up has judged its recipes, so that whatever is sent next is polling only.
inline bool settledLive(ConnectionRig& rig) {
    return rig.connect() && waitUntil([&] { return rig->store().value(0x0C).has_value(); }) &&
           waitUntil([&] { return !rig->feasibilities().empty(); });
}

// Offers the store one measured value now, as the drained hand-over does.
inline void feed(AppModel& model, std::uint8_t pid, double value, double atSeconds = 0) {
    model.store().ingest(measured(pid, value, at(atSeconds)));
}

// A screen of type V (built from the model) over a model on the simulated car: connected, once
// every parameter of `answered` has a value, when `live`; else never connected and fed by hand.
template <typename V>
struct LiveScreen {
    ConnectionRig rig;
    std::unique_ptr<V> view;

    explicit LiveScreen(bool live = false, std::vector<std::uint8_t> answered = {}, QSize size = {1069, 800}) {
        if (live) {
            EXPECT_TRUE(rig.connect());
            EXPECT_TRUE(waitUntil([&] {
                return std::all_of(answered.begin(), answered.end(), [&](auto pid) { return rig->store().value(pid).has_value(); });
            }));
        }
        view = std::make_unique<V>(*rig);
        if constexpr (requires { view->setAnimated(false); }) view->setAnimated(false);
        present(*view, size);
    }
    AppModel& model() const { return *rig; }
    void tick() const { view->coalescer().tick(); }
};

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

// A screen's save (`save` runs it once) answered, in its panel, with the application's own files
// a save most easily lands on: the catalogue's store and the instance lock (written here as the
// running application would hold it). Each is refused with the recording screens' message and
// left as it was.
inline void expectKeptFilesRefused(ConnectionRig& rig, const std::function<void()>& save) {
    const std::filesystem::path lock = rig.folder.path() / "oskavel-car.lock";
    if (!std::filesystem::exists(lock)) writeFile(lock, "4242\n");
    const std::pair<std::filesystem::path, std::string> kept[] = {
        {rig.sessionsFolder() / "sessions.store", "appartient au catalogue des trajets"},
        {lock, "est le verrou qui réserve les données à cette fenêtre"},
    };
    for (const auto& [file, reason] : kept) {
        SCOPED_TRACE(file.filename().string());
        const std::string before = readFile(file);
        ASSERT_FALSE(before.empty());
        const std::size_t told = rig.dialogs->messages.size();
        rig.dialogs->saveAnswers.push_back(file);
        save();
        EXPECT_TRUE(readFile(file) == before) << "the file was written over";
        ASSERT_EQ(rig.dialogs->messages.size(), told + 1);
        const Dialogs::Message& message = rig.dialogs->messages.back();
        EXPECT_EQ(message.kind, Dialogs::Message::Kind::error);
        EXPECT_TRUE(message.text.starts_with("Enregistrement impossible : « " + file.filename().string() + " » " + reason))
            << message.text;
    }
}

// Counts the paint events of a widget and of everything inside it when counting starts, each
// widget on its own.
class PaintsPerWidget : public QObject {
public:
    explicit PaintsPerWidget(QWidget& root) {
        root.installEventFilter(this);
        for (QWidget* child : root.findChildren<QWidget*>()) child->installEventFilter(this);
    }
    int of(const QObject* widget) const {
        const auto it = counts_.find(widget);
        return it == counts_.end() ? 0 : it->second;
    }
    int most() const {
        int m = 0;
        for (const auto& [widget, count] : counts_) m = std::max(m, count);
        return m;
    }
    // The widgets painted more than `limit` times, for a failure message.
    std::string over(int limit) const {
        std::string out;
        for (const auto& [widget, count] : counts_) {
            if (count <= limit) continue;
            out += widget->metaObject()->className() + std::string(" ") + widget->objectName().toStdString() + " x" +
                   std::to_string(count) + "; ";
        }
        return out;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++counts_[watched];
        return false;
    }

private:
    std::map<const QObject*, int> counts_;
};

} // namespace veq::testing
