#include "VEQUI/Support/LayoutCheck.hpp"

#include "VEQSupport/UnicodeText.hpp"
#include "VEQUI/Support/TextRecorder.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Gauges/GaugeNumbers.hpp"

#include <fmt/format.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <optional>

namespace veq::testing {

namespace {

// Glyph boxes are whole pixels from a baseline on a whole pixel row, and the raster engine may
// start a line up to a pixel either side of its fractional position: smaller differences are
// no fault.
constexpr double slackAcross = 1.0;
constexpr double slackDown = 0.5;
// Boxes that meet by less than this, either way, do not overlap.
constexpr double overlapTolerance = 1.0;

// Widgets that paint a text of their own over their children on purpose.
const char* const kTextsOverChildren[] = {
    "valueBand",      // the application's version, under the value tiles' right end
    "gaugeFocusView", // the hint on leaving focus mode, in the top right corner
};

// Whether the widget lies in a container folded to nothing (a hidden sidebar's dock): not shown,
// on purpose.
bool foldedAway(const QWidget* widget, const QWidget& root) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (w->width() <= 0 || w->height() <= 0) return true;
        if (w == &root) break;
    }
    return false;
}

bool isViewport(const QWidget* widget) {
    const auto* area = qobject_cast<const QAbstractScrollArea*>(widget->parentWidget());
    return area && area->viewport() == widget;
}

std::string nameOf(const QWidget* widget) {
    return widget->objectName().isEmpty() ? widget->metaObject()->className() : widget->objectName().toStdString();
}

// The widget and its nearest named ancestors, enough to find it on the picture.
std::string pathOf(const QWidget* widget, const QWidget& root) {
    std::string path = nameOf(widget);
    int named = 0;
    for (const QWidget* w = widget; w != &root && named < 2;) {
        w = w->parentWidget();
        if (!w) break;
        if (w->objectName().isEmpty()) continue;
        path = w->objectName().toStdString() + "/" + path;
        ++named;
    }
    return path;
}

std::string describe(const QRectF& r) {
    return fmt::format("({:.1f},{:.1f} {:.1f}x{:.1f})", r.x(), r.y(), r.width(), r.height());
}

std::string utf8(const QString& text) { return text.toStdString(); }

bool contains(const QRectF& outer, const QRectF& inner) {
    return outer.adjusted(-slackAcross, -slackDown, slackAcross, slackDown).contains(inner);
}

bool overlap(const QRectF& a, const QRectF& b) {
    const QRectF both = a.intersected(b);
    return both.width() > overlapTolerance && both.height() > overlapTolerance;
}

// A scroll view that paints its own content (a table) cuts the lines at its edges as they scroll
// in and out: the way it can scroll, its edges cut nothing.
std::function<QRectF(QRectF)> scrolledAcross(const QWidget* widget) {
    const auto* area = isViewport(widget) ? static_cast<const QAbstractScrollArea*>(widget->parentWidget()) : nullptr;
    const bool across = area && area->horizontalScrollBar()->maximum() > 0;
    const bool down = area && area->verticalScrollBar()->maximum() > 0;
    return [across, down](QRectF r) {
        constexpr double far = 1e6;
        if (across) {
            r.setLeft(-far);
            r.setRight(far);
        }
        if (down) {
            r.setTop(-far);
            r.setBottom(far);
        }
        return r;
    };
}

// A widget of the screen and where it lies, in the root's coordinates.
struct Placed {
    QWidget* widget;
    QRect rect;
    QRect visible; // the part its ancestors let be seen, scroll views as they stand
    QRect reach;   // the part its ancestors let be seen once scrolled to: scroll views do not cut
    const QWidget* scroller; // the innermost scroll view it lies in, if any
    QRect content; // its contents rectangle (margins, such as a glow's reach, left out), as far as it reaches
    bool folded;   // in a container folded to nothing
};

Placed place(QWidget& root, QWidget* widget) {
    const QRect rect(widget->mapTo(&root, QPoint()), widget->size());
    Placed placed{widget, rect, rect, rect, nullptr, {}, foldedAway(widget, root)};
    for (QWidget* w = widget; w != &root;) {
        w = w->parentWidget();
        const QRect area(w->mapTo(&root, QPoint()), w->size());
        placed.visible &= area;
        if (isViewport(w) && !placed.scroller) {
            placed.scroller = w;
            // What lies on the content can be scrolled into view, if the view itself is seen.
            if (place(root, w).reach.isEmpty()) placed.reach = {};
        }
        if (!placed.scroller) placed.reach &= area;
    }
    placed.content = widget->contentsRect().translated(rect.topLeft()) & placed.reach;
    return placed;
}

struct Text {
    const Placed* owner;
    RecordedText recorded; // in the root's coordinates
    QRectF shown;          // the part that can be seen as the screen stands
    QRectF reachable;      // the part that can be seen once scrolled to
    bool dialNumeral;      // one of the numerals around a gauge's dial
};

// Where a text, or a widget's contents, lies: as laid out, and as seen with scroll views as they stand.
struct Extent {
    const QWidget* scroller;
    QRectF laidOut;
    QRectF seen;
};
Extent extent(const Text& t) { return {t.owner->scroller, t.reachable, t.shown}; }
Extent extent(const Placed& p) { return {p.scroller, QRectF(p.content), QRectF(p.content & p.visible)}; }

// Two things on one scroll view's content are compared as laid out there, scrolled into view or
// not; others as they are seen.
std::pair<QRectF, QRectF> comparable(const Extent& a, const Extent& b) {
    if (a.scroller == b.scroller) return {a.laidOut, b.laidOut};
    return {a.seen, b.seen};
}

// Whether the text is one of the numerals its gauge places around the dial.
bool isDialNumeral(const Placed& owner, const RecordedText& text) {
    const auto* gauge = dynamic_cast<const CircularGaugeView*>(owner.widget);
    if (!gauge || !gauge->numerals()) return false;
    const QRectF square = gauge->dialSquare();
    const QPointF centre = square.center() + owner.rect.topLeft();
    const GaugeNumbers numbers{gauge->gauge().scale, *gauge->numerals(), square.width()};
    for (int i = 0; i <= gauge->gauge().scale.tickCount(); ++i) {
        const GaugeNumbers::Numeral numeral = numbers.numeral(i);
        if (numeral.text == text.text && text.bounds.contains(centre + numeral.offset)) return true;
    }
    return false;
}

// The overlaps the screens' designs ask for: a gauge's title and readout over its dial (and so
// over the numerals around it), and the texts a widget paints over its children on purpose.
bool overlaid(const Text& a, const Text& b) {
    if (a.owner == b.owner && a.dialNumeral != b.dialNumeral) return true;
    const auto paintsOver = [](const Text& over, const Text& under) {
        const QWidget* widget = over.owner->widget;
        return widget->isAncestorOf(under.owner->widget) &&
               std::any_of(std::begin(kTextsOverChildren), std::end(kTextsOverChildren),
                           [&](const char* name) { return widget->objectName() == QLatin1String(name); });
    };
    return paintsOver(a, b) || paintsOver(b, a);
}

class Checker {
public:
    Checker(QWidget& root, const LayoutCheckOptions& options) : root_(root), options_(options) {
        std::vector<QWidget*> widgets{&root};
        for (QWidget* w : root.findChildren<QWidget*>()) {
            if (w->isVisibleTo(&root) && w->window() == &root) widgets.push_back(w);
        }
        placed_.reserve(widgets.size()); // the texts point into it
        for (QWidget* w : widgets) placed_.push_back(place(root, w));
        for (const Placed& p : placed_) {
            for (RecordedText t : paintedTexts(*p.widget)) {
                if (t.text.trimmed().isEmpty()) continue;
                const QPointF offset = p.rect.topLeft();
                t.bounds.translate(offset);
                if (t.clip) t.clip->translate(offset);
                const QRectF shown = t.bounds.intersected(QRectF(p.visible));
                const QRectF reachable = t.bounds.intersected(QRectF(p.reach));
                const bool numeral = isDialNumeral(p, t);
                texts_.push_back({&p, std::move(t), shown, reachable, numeral});
            }
        }
    }

    std::vector<LayoutFault> run() {
        for (const Text& t : texts_) {
            checkGlyphs(t);
            checkWhole(t);
        }
        checkTextOverlaps();
        checkWidgetOverlaps();
        checkButtons();
        return std::move(faults_);
    }

private:
    std::string where(const QWidget* widget) const { return pathOf(widget, root_); }

    void fault(const char* rule, const QString& text, std::string where) {
        faults_.push_back({rule, utf8(text), std::move(where)});
    }

    void checkGlyphs(const Text& t) {
        const QFontMetricsF metrics(t.recorded.font);
        std::string missing;
        for (const char32_t c : t.recorded.text.toUcs4()) {
            if (unicode::isDefaultIgnorable(c) || QChar::category(c) == QChar::Other_Control || metrics.inFontUcs4(c)) continue;
            missing += fmt::format("U+{:04X} ", static_cast<std::uint32_t>(c));
        }
        if (missing.empty()) return;
        fault(LayoutRule::missingGlyph, t.recorded.text,
              fmt::format("{}: {}not in {}", where(t.owner->widget), missing, utf8(QFontInfo(t.recorded.font).family())));
    }

    void checkWhole(const Text& t) {
        if (t.owner->folded || t.recorded.text.endsWith(QChar(0x2026))) return;
        const auto scrolled = scrolledAcross(t.owner->widget);
        QRectF limit = scrolled(QRectF(t.owner->reach));
        if (t.recorded.clip) limit &= scrolled(*t.recorded.clip);
        if (contains(limit, t.recorded.bounds)) return;
        fault(LayoutRule::textCut, t.recorded.text,
              fmt::format("{}: glyphs {} outside {}", where(t.owner->widget), describe(t.recorded.bounds), describe(limit)));
    }

    void checkTextOverlaps() {
        for (std::size_t i = 0; i < texts_.size(); ++i) {
            const Text& a = texts_[i];
            for (std::size_t j = i + 1; j < texts_.size(); ++j) {
                const Text& b = texts_[j];
                const auto [first, second] = comparable(extent(a), extent(b));
                if (first.isEmpty() || second.isEmpty() || !overlap(first, second)) continue;
                if (a.owner == b.owner && a.recorded.text == b.recorded.text && a.recorded.bounds == b.recorded.bounds) {
                    continue; // the same text painted again in place
                }
                if (overlaid(a, b)) continue;
                fault(LayoutRule::textsOverlap, a.recorded.text + QStringLiteral(" \u2194 ") + b.recorded.text,
                      fmt::format("{} {} over {} {}", where(a.owner->widget), describe(first), where(b.owner->widget),
                                  describe(second)));
            }
        }
    }

    // Where widgets that show a text lie over one another, or a button that shows only a symbol
    // lies over a text.
    void checkWidgetOverlaps() {
        std::vector<const Text*> showing; // each widget that shows a text, with its first
        std::vector<const Placed*> symbolButtons;
        for (const Placed& p : placed_) {
            if (p.widget == &root_ || p.content.isEmpty()) continue;
            const auto own = std::find_if(texts_.begin(), texts_.end(),
                                          [&](const Text& t) { return t.owner == &p && !t.reachable.isEmpty(); });
            if (own != texts_.end()) {
                showing.push_back(&*own);
            } else if (qobject_cast<const QAbstractButton*>(p.widget)) {
                symbolButtons.push_back(&p);
            }
        }
        const auto related = [](const Placed& a, const Placed& b) {
            return a.widget == b.widget || a.widget->isAncestorOf(b.widget) || b.widget->isAncestorOf(a.widget);
        };
        for (std::size_t i = 0; i < showing.size(); ++i) {
            const Placed& a = *showing[i]->owner;
            for (std::size_t j = i + 1; j < showing.size(); ++j) {
                const Placed& b = *showing[j]->owner;
                const auto [first, second] = comparable(extent(a), extent(b));
                if (first.isEmpty() || second.isEmpty() || !overlap(first, second) || related(a, b)) continue;
                fault(LayoutRule::widgetsOverlap, showing[i]->recorded.text + QStringLiteral(" \u2194 ") + showing[j]->recorded.text,
                      fmt::format("{} {} over {} {}", where(a.widget), describe(first), where(b.widget), describe(second)));
            }
        }
        for (const Placed* button : symbolButtons) {
            for (const Text& t : texts_) {
                const auto [first, second] = comparable(extent(*button), extent(t));
                if (first.isEmpty() || second.isEmpty() || !overlap(first, second) || related(*button, *t.owner)) continue;
                fault(LayoutRule::widgetsOverlap, button->widget->objectName() + QStringLiteral(" \u2194 ") + t.recorded.text,
                      fmt::format("{} {} over {} {}", where(button->widget), describe(first), where(t.owner->widget),
                                  describe(second)));
            }
        }
    }

    // Where `button` lies beyond what its ancestors show, scroll views allowed to scroll.
    std::optional<std::string> outOfReach(const QAbstractButton* button) const {
        QRect r = button->geometry();
        for (const QWidget* w = button->parentWidget();; w = w->parentWidget()) {
            if (isViewport(w)) {
                // Whatever lies on a scroll view's content can be scrolled into view.
                const auto* area = static_cast<const QAbstractScrollArea*>(w->parentWidget());
                const auto* scroll = qobject_cast<const QScrollArea*>(area);
                const QRect content = scroll && scroll->widget()
                                          ? scroll->widget()->geometry()
                                          : QRect(-area->horizontalScrollBar()->value(), -area->verticalScrollBar()->value(),
                                                  area->horizontalScrollBar()->maximum() + w->width(),
                                                  area->verticalScrollBar()->maximum() + w->height());
                if (!content.contains(r)) return fmt::format("beyond the scroll content of {}", where(area));
                r = w->rect();
            } else if (!w->rect().contains(r)) {
                return fmt::format("{} outside {} {}", describe(QRectF(r)), where(w), describe(QRectF(w->rect())));
            }
            if (w == &root_) return std::nullopt;
            r.translate(w->pos());
        }
    }

    void checkButtons() {
        for (const Placed& p : placed_) {
            const auto* button = qobject_cast<const QAbstractButton*>(p.widget);
            if (!button || p.widget == &root_ || p.folded) continue;
            const QString label = button->text().isEmpty() ? button->objectName() : button->text();
            if (const auto reason = outOfReach(button)) {
                fault(LayoutRule::buttonOutOfReach, label, fmt::format("{}: {}", where(p.widget), *reason));
            } else if (options_.shownWithoutScrolling.contains(button->objectName()) && p.visible != p.rect) {
                fault(LayoutRule::buttonNeedsScrolling, label,
                      fmt::format("{}: {} shows only {}", where(p.widget), describe(QRectF(p.rect)),
                                  describe(QRectF(p.visible))));
            }
        }
        // A button asked for and not shown at all is a fault too.
        for (const QString& name : options_.shownWithoutScrolling) {
            const bool shown = std::any_of(placed_.begin(), placed_.end(), [&](const Placed& p) {
                return p.widget->objectName() == name && qobject_cast<const QAbstractButton*>(p.widget);
            });
            if (!shown) fault(LayoutRule::buttonNeedsScrolling, name, "no such button shown");
        }
    }

    QWidget& root_;
    const LayoutCheckOptions& options_;
    std::vector<Placed> placed_;
    std::vector<Text> texts_;
    std::vector<LayoutFault> faults_;
};

} // namespace

std::vector<LayoutFault> checkLayout(QWidget& root, const LayoutCheckOptions& options) {
    return Checker(root, options).run();
}

std::string layoutReport(const QString& screen, const QWidget& root, const std::vector<LayoutFault>& faults) {
    std::string report;
    for (const LayoutFault& f : faults) {
        report += fmt::format("[{} {}x{}] {}: \"{}\" \u2014 {}\n", utf8(screen), root.width(), root.height(), f.rule,
                              f.text, f.where);
    }
    return report;
}

} // namespace veq::testing
