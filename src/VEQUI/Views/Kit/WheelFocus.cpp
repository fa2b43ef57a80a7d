#include "VEQUI/Views/Kit/WheelFocus.hpp"

#include <QEvent>
#include <QWidget>

namespace veq::WheelFocus {

namespace {

// Turns the wheel away from its picker while the picker lacks the focus: the event, ignored,
// goes on to the widgets under it.
class Guard : public QObject {
public:
    explicit Guard(QWidget& picker) : QObject(&picker), picker_(picker) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &picker_ || event->type() != QEvent::Wheel || picker_.hasFocus()) return false;
        event->ignore();
        return true;
    }

private:
    QWidget& picker_;
};

} // namespace

void onlyWhenFocused(QWidget& picker) {
    // The wheel gives no focus: only a click or the keyboard choose the picker.
    if (picker.focusPolicy() == Qt::WheelFocus) picker.setFocusPolicy(Qt::StrongFocus);
    picker.installEventFilter(new Guard(picker));
}

} // namespace veq::WheelFocus
