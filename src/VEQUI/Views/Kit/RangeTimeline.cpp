#include "VEQUI/Views/Kit/RangeTimeline.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/Sparkline.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>

namespace veq {

namespace {

constexpr int stripHeight = 52;
constexpr double handleWidth = 8;
// The handles' centres stay this far inside the strip, so that a handle at an end is whole.
constexpr double inset = handleWidth / 2 + 1;
// A press this close to a handle takes that handle rather than moving the nearer one.
constexpr double grabReach = 10;
constexpr double keyStep = 1;
constexpr double shiftKeyStep = 10;

} // namespace

// The strip itself: the trend, the dimmed outside of the range, the two handles. It takes the
// keyboard focus; its owner keeps the times.
class RangeTimeline::Strip : public QWidget {
public:
    explicit Strip(RangeTimeline& owner) : QWidget(&owner), owner_(owner) {
        setObjectName(QStringLiteral("rangeStrip"));
        setFocusPolicy(Qt::StrongFocus);
        setFixedHeight(stripHeight);
        setMinimumWidth(120);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(QStringLiteral("Plage de temps"));
    }

    void setBackdrop(std::vector<double> values) {
        if (values == backdrop_) return;
        backdrop_ = std::move(values);
        trend_ = {};
        update();
    }

    void setAccent(const QColor& accent) {
        if (accent == accent_) return;
        accent_ = accent;
        trend_ = {};
        update();
    }

    double xOf(double time) const {
        const double span = owner_.upper_ - owner_.lower_;
        const double fraction = span > 0 ? (time - owner_.lower_) / span : 0;
        return inset + std::clamp(fraction, 0.0, 1.0) * track();
    }

    double timeAt(double x) const {
        const double fraction = track() > 0 ? std::clamp((x - inset) / track(), 0.0, 1.0) : 0;
        return owner_.lower_ + fraction * (owner_.upper_ - owner_.lower_);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath outline;
        outline.addRoundedRect(area, 6, 6);
        painter.fillPath(outline, VEQ::surface2());
        painter.setClipPath(outline);

        if (owner_.busy_) {
            painter.setPen(VEQ::textSecondary());
            painter.setFont(VEQ::label(11, QFont::Medium));
            painter.drawText(area, Qt::AlignCenter, QStringLiteral("Lecture…"));
        } else if (backdrop_.size() >= 2) {
            painter.drawPixmap(0, 0, trend());
        }

        const double from = xOf(owner_.start_);
        const double to = xOf(owner_.end_);
        const QColor dim(0, 0, 0, 150);
        painter.fillRect(QRectF(area.left(), area.top(), from - area.left(), area.height()), dim);
        painter.fillRect(QRectF(to, area.top(), area.right() - to, area.height()), dim);
        painter.setClipping(false);

        painter.setPen(QPen(VEQ::stroke(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(outline);
        QColor band = accent_;
        band.setAlphaF(0.8);
        painter.setPen(QPen(band, 1.5));
        painter.drawLine(QPointF(from, area.top() + 1), QPointF(to, area.top() + 1));
        painter.drawLine(QPointF(from, area.bottom() - 1), QPointF(to, area.bottom() - 1));

        paintHandle(painter, from, Handle::start);
        paintHandle(painter, to, Handle::end);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        const double x = event->position().x();
        const double toStart = std::abs(x - xOf(owner_.start_));
        const double toEnd = std::abs(x - xOf(owner_.end_));
        // Handles that sit together: the one on the side of the press, so that both can leave.
        Handle handle = toStart < toEnd ? Handle::start : Handle::end;
        if (toStart == toEnd) handle = x < xOf(owner_.start_) ? Handle::start : Handle::end;
        dragging_ = handle;
        owner_.setFocusedHandle(handle);
        // A press on a handle grabs it where it is; elsewhere the nearer handle comes to the press.
        if (std::min(toStart, toEnd) > grabReach) owner_.moveHandle(handle, timeAt(x));
        event->accept();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (!dragging_) return;
        owner_.moveHandle(*dragging_, timeAt(event->position().x()));
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        dragging_.reset();
        event->accept();
    }

    void keyPressEvent(QKeyEvent* event) override {
        const Handle handle = owner_.focused_;
        const double now = handle == Handle::start ? owner_.start_ : owner_.end_;
        const double step = event->modifiers() & Qt::ShiftModifier ? shiftKeyStep : keyStep;
        switch (event->key()) {
        case Qt::Key_Left: owner_.moveHandle(handle, now - step); break;
        case Qt::Key_Right: owner_.moveHandle(handle, now + step); break;
        case Qt::Key_Home: owner_.moveHandle(handle, owner_.lower_); break;
        case Qt::Key_End: owner_.moveHandle(handle, owner_.upper_); break;
        default: QWidget::keyPressEvent(event); return;
        }
        event->accept();
    }

    // Tab goes from the start handle to the end handle before it leaves the strip; Shift+Tab back.
    bool focusNextPrevChild(bool next) override {
        if (next && owner_.focused_ == Handle::start) {
            owner_.setFocusedHandle(Handle::end);
            return true;
        }
        if (!next && owner_.focused_ == Handle::end) {
            owner_.setFocusedHandle(Handle::start);
            return true;
        }
        return QWidget::focusNextPrevChild(next);
    }

    void focusInEvent(QFocusEvent* event) override {
        if (event->reason() == Qt::TabFocusReason) owner_.setFocusedHandle(Handle::start);
        if (event->reason() == Qt::BacktabFocusReason) owner_.setFocusedHandle(Handle::end);
        update();
    }
    void focusOutEvent(QFocusEvent*) override { update(); }

private:
    double track() const { return std::max(0.0, width() - 2 * inset); }

    // The trend drawn once for the strip's size: a jagged drive's line costs milliseconds to
    // stroke, and a drag repaints the strip at every step.
    const QPixmap& trend() {
        const qreal ratio = devicePixelRatioF();
        if (trend_.isNull() || trend_.deviceIndependentSize() != QSizeF(size()) || trend_.devicePixelRatio() != ratio) {
            trend_ = QPixmap(size() * ratio);
            trend_.setDevicePixelRatio(ratio);
            trend_.fill(Qt::transparent);
            QPainter painter(&trend_);
            // The trend spans the handles' travel, so that a handle sits on the time it names.
            Sparkline{backdrop_, accent_}.paint(painter, QRectF(inset, 6, track(), height() - 12));
        }
        return trend_;
    }

    void paintHandle(QPainter& painter, double x, Handle handle) const {
        const bool focused = hasFocus() && owner_.focused_ == handle;
        const QRectF body(x - handleWidth / 2, 3, handleWidth, height() - 6);
        painter.setPen(focused ? QPen(VEQ::textPrimary(), 2) : QPen(VEQ::background(), 1));
        painter.setBrush(accent_);
        painter.drawRoundedRect(body, 3, 3);
        // Two grip lines say it can be taken.
        painter.setPen(QPen(VEQ::background(), 1));
        const double mid = body.center().y();
        painter.drawLine(QPointF(x - 1.5, mid - 6), QPointF(x - 1.5, mid + 6));
        painter.drawLine(QPointF(x + 1.5, mid - 6), QPointF(x + 1.5, mid + 6));
    }

    RangeTimeline& owner_;
    std::vector<double> backdrop_;
    QPixmap trend_;
    QColor accent_ = VEQ::accent();
    std::optional<Handle> dragging_;
};

// The three texts under the strip, placed by hand: a layout would carry each change of text up to
// the window's, and a range whose end follows "now" changes its texts every second.
class RangeTimeline::Texts : public QWidget {
public:
    explicit Texts(std::array<QLabel*, 3> labels) : labels_(labels) {
        for (QLabel* label : labels_) label->setParent(this);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override { return {300, labels_[0]->sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int third = width() / 3;
        labels_[0]->setGeometry(0, 0, third, height());
        labels_[1]->setGeometry(third, 0, width() - 2 * third, height());
        labels_[2]->setGeometry(width() - third, 0, third, height());
    }

private:
    std::array<QLabel*, 3> labels_;
};

RangeTimeline::RangeTimeline(QWidget* parent)
    : QWidget(parent), strip_(new Strip(*this)),
      startLabel_(makeLabel({}, VEQ::numeric(11, QFont::Medium), VEQ::textSecondary(), QStringLiteral("rangeStart"))),
      endLabel_(makeLabel({}, VEQ::numeric(11, QFont::Medium), VEQ::textSecondary(), QStringLiteral("rangeEnd"))),
      lengthLabel_(makeLabel({}, VEQ::numeric(11, QFont::DemiBold), VEQ::textPrimary(), QStringLiteral("rangeLength"))),
      timeText_(DateTexts::clockDuration) {
    setObjectName(QStringLiteral("rangeTimeline"));
    endLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lengthLabel_->setAlignment(Qt::AlignCenter);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(strip_);
    column->addWidget(new Texts({startLabel_, lengthLabel_, endLabel_}));
    setFocusProxy(strip_);
    refreshTexts();
}

void RangeTimeline::setAxis(double lower, double upper) {
    const bool endFollows = end_ >= upper_;
    const std::pair<double, double> drawn{strip_->xOf(start_), strip_->xOf(end_)};
    lower_ = lower;
    upper_ = std::max(lower, upper);
    // Handles that keep their times may still move on a new axis; those at both ends do not.
    if (!place(start_, endFollows ? upper_ : end_) && drawn != std::pair{strip_->xOf(start_), strip_->xOf(end_)}) {
        strip_->update();
    }
}

void RangeTimeline::setRange(double start, double end) {
    if (end < start) std::swap(start, end);
    place(start, end);
}

void RangeTimeline::setTimeText(std::function<QString(double)> text) {
    timeText_ = std::move(text);
    refreshTexts();
}

void RangeTimeline::setBackdrop(std::vector<double> values) { strip_->setBackdrop(std::move(values)); }

void RangeTimeline::setAccent(const QColor& accent) { strip_->setAccent(accent); }

void RangeTimeline::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    strip_->update();
}

void RangeTimeline::setFocusedHandle(Handle handle) {
    if (handle == focused_) return;
    focused_ = handle;
    strip_->update();
}

QWidget& RangeTimeline::strip() const { return *strip_; }

QSize RangeTimeline::sizeHint() const { return {300, stripHeight + 6 + startLabel_->sizeHint().height()}; }

double RangeTimeline::stopAt(double time) const {
    const double held = std::clamp(time, lower_, upper_);
    const double whole = std::clamp(std::nearbyint(held), lower_, upper_);
    if (upper_ - held < std::abs(whole - held)) return upper_;
    if (held - lower_ < std::abs(whole - held)) return lower_;
    return whole;
}

bool RangeTimeline::place(double start, double end) {
    start = stopAt(start);
    end = std::max(stopAt(end), start);
    if (start == start_ && end == end_) return false;
    start_ = start;
    end_ = end;
    refreshTexts();
    strip_->update();
    if (onChange) onChange(start_, end_);
    return true;
}

void RangeTimeline::moveHandle(Handle handle, double to) {
    if (handle == Handle::start) {
        place(std::min(to, end_), end_);
    } else {
        place(start_, std::max(to, start_));
    }
}

void RangeTimeline::refreshTexts() {
    // A handle at an end of the axis that is not a whole second reads as the second it falls in.
    const double start = std::floor(start_);
    const double end = std::floor(end_);
    startLabel_->setText(QStringLiteral("Début ") + timeText_(start));
    endLabel_->setText(QStringLiteral("Fin ") + timeText_(end));
    lengthLabel_->setText(QStringLiteral("Durée ") + DateTexts::clockDuration(end - start));
}

} // namespace veq
