// The rolling figure's motion, without drawing: which cells move and which way, where a roll
// restarted mid-way starts, when a figure cross-fades, and that every roll ends.
#include "VEQUI/Views/Kit/DigitRoll.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace veq {
namespace {

constexpr double tick = 1.0 / 60.0;
const QColor white(232, 237, 242);
const QColor grey(138, 150, 163);

std::string cells(const DigitRoll::Figure& figure) { return figure.text.toStdString(); }

// The glyphs of `cell` in `figure`, top to bottom.
std::vector<DigitRoll::Glyph> inCell(const DigitRoll::Figure& figure, int cell) {
    std::vector<DigitRoll::Glyph> found;
    for (const auto& g : figure.glyphs) {
        if (g.cell == cell) found.push_back(g);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.offset < b.offset; });
    return found;
}

void advance(DigitRoll& roll, int ticks) {
    for (int i = 0; i < ticks; ++i) roll.advance(tick);
}

// Each transition runs 18 ticks (0.3 s at 60 a second) and ends on the new figure alone. Where
// the cells line up only the changed ones move, the old digit leaving upward and the new one
// rising from below; elsewhere the whole figure cross-fades in place.
TEST(DigitRoll, ChangedCellsRollUpwardOtherFiguresCrossFadeAndEveryRollEndsOnTheNewFigure) {
    struct Case { const char* from; const char* to; std::vector<int> moving; QColor ink = white; }; // none moving: a fade
    const Case cases[] = {
        {"47.5", "48.2", {1, 3}}, {"120", "121", {2}}, {"-5.0", "-4.0", {1}}, {"9", "0", {0}},
        {"99.9", "100", {}}, {"\u2014", "12.3", {}}, {"-5.0", "15.0", {}}, {"88", "88.", {}},
        {"12.3", "12.3", {}, grey}, // the same text in another ink
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        const QString from = QString::fromUtf8(c.from);
        const QString to = QString::fromUtf8(c.to);
        const bool fades = c.moving.empty();
        DigitRoll roll(from, white);
        roll.rollTo(to, c.ink);
        std::vector<double> rising(static_cast<std::size_t>(to.size()), 1.0);
        double fading = 1;
        double appearing = 0;
        int t = 1;
        // Bounded: a roll that never settles fails on its length below rather than hanging.
        for (; t < 60 && roll.advance(tick); ++t) {
            const auto frame = roll.frame();
            if (fades && frame.size() == 1 && t >= 15) continue; // the old figure too faint to show
            ASSERT_EQ(frame.size(), fades ? 2u : 1u) << t;
            if (fades) {
                EXPECT_EQ(cells(frame[0]), c.from);
                EXPECT_EQ(frame[1].ink, c.ink);
                EXPECT_LT(frame[0].opacity, fading);
                EXPECT_GT(frame[1].opacity, appearing);
                fading = frame[0].opacity;
                appearing = frame[1].opacity;
            }
            EXPECT_EQ(cells(frame.back()), c.to);
            for (const auto& figure : frame) {
                for (const auto& g : figure.glyphs) {
                    if (std::find(c.moving.begin(), c.moving.end(), g.cell) != c.moving.end()) continue;
                    EXPECT_EQ(g.offset, 0) << g.cell << " of " << cells(figure) << " moved at tick " << t;
                }
            }
            for (const int cell : c.moving) {
                const auto glyphs = inCell(frame.back(), cell);
                ASSERT_EQ(glyphs.size(), 2u) << cell;
                EXPECT_EQ(glyphs[0].character, from[cell]);
                EXPECT_EQ(glyphs[1].character, to[cell]);
                EXPECT_LT(glyphs[0].offset, 0);
                EXPECT_DOUBLE_EQ(glyphs[1].offset - glyphs[0].offset, 1.0);
                EXPECT_LT(glyphs[1].offset, rising[static_cast<std::size_t>(cell)]) << "not upward at tick " << t;
                if (t == 9) {
                    EXPECT_LT(glyphs[1].offset, 0.25) << "eased: most of the way in the first half";
                }
                rising[static_cast<std::size_t>(cell)] = glyphs[1].offset;
            }
        }
        EXPECT_EQ(t, 18);
        EXPECT_FALSE(roll.advance(tick)) << "a settled roll asks for no more ticks";
        const auto end = roll.frame();
        ASSERT_EQ(end.size(), 1u);
        EXPECT_EQ(end[0].opacity, 1);
        std::vector<DigitRoll::Glyph> still;
        for (int cell = 0; cell < to.size(); ++cell) still.push_back({cell, to[cell], 0, 1});
        EXPECT_EQ(end[0].glyphs, still);
        roll.rollTo(to, c.ink);
        EXPECT_FALSE(roll.rolling()) << "the same figure again starts nothing";
    }
}

TEST(DigitRoll, ANewFigureMidRollStartsFromWhatIsOnScreenAndKeepsGoingUp) {
    struct Case { const char* name; std::vector<const char*> figures; const char* last; };
    const Case cases[] = {
        {"another digit", {"12", "13"}, "14"},
        {"back to the old digit, still upward", {"12", "13"}, "12"},
        {"mid cross-fade", {"99.9", "100"}, "101"},
        {"mid cross-fade to another length", {"99.9", "100"}, "98.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DigitRoll roll(QString::fromUtf8(c.figures[0]), white);
        roll.rollTo(QString::fromUtf8(c.figures[1]), white);
        advance(roll, 5);
        const auto before = roll.frame();
        roll.rollTo(QString::fromUtf8(c.last), white);
        const auto after = roll.frame();
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t f = 0; f < before.size(); ++f) {
            EXPECT_DOUBLE_EQ(after[f].opacity, before[f].opacity);
            EXPECT_EQ(after[f].glyphs, before[f].glyphs) << "figure " << f;
        }
        // From there every glyph keeps going up until the last figure stands alone.
        for (int t = 0; t < 30 && roll.rolling(); ++t) {
            const auto previous = roll.frame().back();
            roll.advance(tick);
            const auto now = roll.frame().back();
            for (const auto& g : now.glyphs) {
                for (const auto& p : previous.glyphs) {
                    if (p.cell == g.cell && p.character == g.character && std::abs(p.offset - g.offset) < 0.5) {
                        EXPECT_LE(g.offset, p.offset);
                    }
                }
            }
        }
        EXPECT_FALSE(roll.rolling());
        const auto end = roll.frame();
        ASSERT_EQ(end.size(), 1u);
        EXPECT_EQ(cells(end[0]), c.last);
    }
}

TEST(DigitRoll, ABurstOfFiguresKeepsLittleOnScreen) {
    // A figure changing on every tick, its length too: a few fading figures and at most two
    // glyphs per cell, however long it goes on.
    DigitRoll roll(QStringLiteral("99.0"), white);
    for (int t = 0; t < 300; ++t) {
        const bool digitsOnly = t >= 150; // then only digits change, and the reels take the restarts
        roll.rollTo(digitsOnly ? QString::number(10 + t % 90)
                               : (t % 2 ? QStringLiteral("%1").arg(100 + t % 7) : QStringLiteral("99.%1").arg(t % 10)),
                    white);
        roll.advance(tick);
        const auto frame = roll.frame();
        ASSERT_LE(frame.size(), 3u) << t;
        for (const auto& figure : frame) {
            for (int cell = 0; cell < figure.text.size(); ++cell) ASSERT_LE(inCell(figure, cell).size(), 2u) << t;
        }
    }
}

} // namespace
} // namespace veq
