#pragma once

#include <QChar>
#include <QColor>
#include <QString>

#include <vector>

namespace veq {

// A figure whose changed digits roll to their new value, as on an odometer: in each changed cell
// the old digit leaves upward while the new one rises from below; the other cells stay. When the
// cells of the two figures do not line up (another length, a sign or a point elsewhere, another
// ink), the whole figure cross-fades instead. A figure arriving mid-roll starts from what is on
// screen. Time moves only through advance(), so that the owner's display tick drives it.
class DigitRoll {
public:
    static constexpr double duration = 0.3; // seconds

    // One glyph as drawn: in cell `cell` of its figure, `offset` cell heights below its place
    // (negative: above it, on its way out), at `opacity`.
    struct Glyph {
        int cell;
        QChar character;
        double offset;
        double opacity;
        bool operator==(const Glyph&) const = default;
    };
    // One figure on screen, laid out as its `text` would be; `opacity` is the whole figure's.
    struct Figure {
        QString text;
        QColor ink;
        double opacity;
        std::vector<Glyph> glyphs;
    };

    DigitRoll() = default;
    DigitRoll(QString text, QColor ink) { show(text, ink); }

    // Shows `text` at once, ending any roll.
    void show(const QString& text, const QColor& ink);
    // Rolls from what is on screen now to `text`; nothing happens when it is already the target.
    void rollTo(const QString& text, const QColor& ink);
    // Ends the roll where it was going.
    void finish();
    // Moves time on by `seconds`; true while the roll still moves.
    bool advance(double seconds);
    bool rolling() const { return elapsed_ < duration; }

    // The figure the roll settles on.
    const QString& text() const { return target_; }
    const QColor& ink() const { return ink_; }

    // What is on screen now, back to front.
    std::vector<Figure> frame() const;

    // Whether the cells of `a` and `b` line up, so that only changed digits need to move: same
    // length, and every cell that is not a digit in both holds the same character.
    static bool cellsLineUp(const QString& a, const QString& b);
    // The motion's curve over time 0...1: fast at first, gentle at the end, so that a roll
    // restarted on every tick still moves.
    static double eased(double t);

private:
    // The glyphs one cell passes through, bottom to top of the strip: glyph k stands (k - p)
    // cells below its place when the strip is at position p; p goes from `from` to `to`.
    struct Reel {
        std::vector<QChar> glyphs;
        double from = 0;
        double to = 0;
    };
    struct Layer {
        QString text;
        QColor ink;
        std::vector<Reel> cells;
        double fromOpacity = 1;
        double toOpacity = 1;
    };

    double progress() const;
    // Every layer held where it stands now: reels still, opacity as seen.
    void freeze();

    std::vector<Layer> layers_; // back to front; the last one is the figure being settled on
    QString target_;
    QColor ink_;
    double elapsed_ = duration;
};

} // namespace veq
