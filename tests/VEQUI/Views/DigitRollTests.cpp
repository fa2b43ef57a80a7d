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

TEST(DigitRoll, OnlyTheChangedCellsRollTheOldDigitUpAndTheNewOneFromBelow) {
    struct Case { const char* from; const char* to; std::vector<int> moving; };
    const Case cases[] = {
        {"47.5", "48.2", {1, 3}}, {"120", "121", {2}}, {"-5.0", "-4.0", {1}}, {"9", "0", {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        const QString from = QString::fromUtf8(c.from);
        const QString to = QString::fromUtf8(c.to);
        DigitRoll roll(from, white);
        roll.rollTo(to, white);
        ASSERT_TRUE(roll.rolling());
        std::vector<double> previous(static_cast<std::size_t>(to.size()), 1.0);
        for (int t = 1; t <= 12; ++t) {
            advance(roll, 1);
            const auto frame = roll.frame();
            ASSERT_EQ(frame.size(), 1u) << "cells that line up do not fade";
            for (int cell = 0; cell < to.size(); ++cell) {
                const auto glyphs = inCell(frame[0], cell);
                const bool moves = std::find(c.moving.begin(), c.moving.end(), cell) != c.moving.end();
                if (!moves) {
                    ASSERT_EQ(glyphs.size(), 1u) << cell;
                    EXPECT_EQ(glyphs[0], (DigitRoll::Glyph{cell, to[cell], 0.0, 1.0})) << cell;
                    continue;
                }
                ASSERT_EQ(glyphs.size(), 2u) << cell;
                // The old digit above its place, the new one a cell lower, both going up.
                EXPECT_EQ(glyphs[0].character, from[cell]);
                EXPECT_EQ(glyphs[1].character, to[cell]);
                EXPECT_LT(glyphs[0].offset, 0);
                EXPECT_GT(glyphs[1].offset, 0);
                EXPECT_DOUBLE_EQ(glyphs[1].offset - glyphs[0].offset, 1.0);
                EXPECT_LT(glyphs[1].offset, previous[static_cast<std::size_t>(cell)]) << "at tick " << t;
                previous[static_cast<std::size_t>(cell)] = glyphs[1].offset;
            }
        }
    }
}

TEST(DigitRoll, EndsOnTheNewFigureAfterAboutAThirdOfASecond) {
    DigitRoll roll(QStringLiteral("87"), white);
    roll.rollTo(QStringLiteral("91"), white);
    int ticks = 0;
    while (roll.advance(tick)) ++ticks;
    ++ticks; // the tick that ended it
    EXPECT_EQ(ticks, 18); // 0.3 s at 60 ticks a second
    EXPECT_FALSE(roll.rolling());
    EXPECT_FALSE(roll.advance(tick)) << "a settled roll asks for no more ticks";
    const auto frame = roll.frame();
    ASSERT_EQ(frame.size(), 1u);
    EXPECT_EQ(cells(frame[0]), "91");
    EXPECT_EQ(frame[0].glyphs, (std::vector<DigitRoll::Glyph>{{0, u'9', 0, 1}, {1, u'1', 0, 1}}));

    roll.rollTo(QStringLiteral("91"), white);
    EXPECT_FALSE(roll.rolling()) << "the same figure again starts nothing";
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

TEST(DigitRoll, FiguresWhoseCellsDoNotLineUpCrossFade) {
    struct Case { const char* from; const char* to; QColor toInk; };
    const Case cases[] = {
        {"99.9", "100", white}, {"—", "12.3", white}, {"-5.0", "15.0", white}, {"88", "88.", white},
        {"12.3", "12.3", grey}, // the same text in another ink
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        DigitRoll roll(QString::fromUtf8(c.from), white);
        roll.rollTo(QString::fromUtf8(c.to), c.toInk);
        double fading = 1;
        double rising = 0;
        int t = 1;
        for (; roll.advance(tick); ++t) {
            const auto frame = roll.frame();
            if (frame.size() == 1 && t >= 15) continue; // the old figure too faint to show
            ASSERT_EQ(frame.size(), 2u) << t;
            EXPECT_EQ(cells(frame[0]), c.from);
            EXPECT_EQ(cells(frame[1]), c.to);
            EXPECT_EQ(frame[1].ink, c.toInk);
            EXPECT_LT(frame[0].opacity, fading);
            EXPECT_GT(frame[1].opacity, rising);
            fading = frame[0].opacity;
            rising = frame[1].opacity;
            for (const auto& figure : frame) {
                for (const auto& g : figure.glyphs) EXPECT_EQ(g.offset, 0) << "nothing slides in a cross-fade";
            }
        }
        EXPECT_EQ(t, 18) << "the fade takes as long as a roll";
        const auto end = roll.frame();
        ASSERT_EQ(end.size(), 1u);
        EXPECT_EQ(cells(end[0]), c.to);
        EXPECT_EQ(end[0].opacity, 1);
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
