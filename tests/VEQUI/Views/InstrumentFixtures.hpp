#pragma once

#include "VEQUI/Model/ConnectionFixtures.hpp"
#include "ScreenFixtures.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QObject>
#include <QWidget>

#include <cstdint>
#include <map>
#include <set>
#include <string>

// Pieces of the instrument screens' tests: a model live on the simulated car or fed by hand, and
// paint counting.
namespace veq::testing {

// Offers the store one measured value now, as the drained hand-over does.
inline void feed(AppModel& model, std::uint8_t pid, double value, double atSeconds = 0) {
    model.store().ingest(measured(pid, value, at(atSeconds)));
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
    void reset() { counts_.clear(); }
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
