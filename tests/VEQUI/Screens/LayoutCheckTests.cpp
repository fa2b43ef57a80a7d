// The layout check itself, on tiny screens built to break one rule each, and on one that breaks
// none: each rule fires where it must and nowhere else.
#include "VEQUI/Support/LayoutCheck.hpp"
#include "VEQUI/Support/TextRecorder.hpp"

#include "VEQUI/Views/Instruments/GearStripView.hpp"
#include "VEQUI/Views/Instruments/HeroTachometer.hpp"
#include "VEQUI/Views/Instruments/LiveDataView.hpp"
#include "VEQUI/Views/Kit/CachedTexts.hpp"
#include "VEQUI/Views/Kit/ValueTile.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <vector>
#include <string>

namespace veq::testing {
namespace {

QLabel* label(const QString& text, QWidget* parent, QRect geometry, int pixels = 13) {
    auto* l = new QLabel(text, parent);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    l->setFont(font);
    l->setGeometry(geometry);
    return l;
}

// Paints its two texts only into an image, as the gauges keep their numerals.
class CachedPair : public QWidget, public CachedTexts {
public:
    CachedPair(QPoint second, QWidget* parent) : QWidget(parent), second_(second) {}
    void paintCachedTexts(QPainter& painter) const override {
        painter.setFont(QFont(QStringLiteral("DejaVu Sans")));
        painter.drawText(QPoint(10, 20), QStringLiteral("Premier"));
        painter.drawText(second_, QStringLiteral("Second"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QImage image(size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter layer(&image);
        paintCachedTexts(layer);
        QPainter(this).drawImage(0, 0, image);
    }

private:
    QPoint second_;
};

// Paints "ARRIÈRE" `rise` pixels higher than its glyphs' top on its own top edge.
class RaisedText : public QWidget {
public:
    RaisedText(int rise, QWidget* parent) : QWidget(parent), rise_(rise) {
        font_.setPixelSize(10);
        font_.setBold(true);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setFont(font_);
        const QString text = QStringLiteral("ARRI\u00C8RE");
        painter.drawText(QPointF(4, -QFontMetricsF(font_).tightBoundingRect(text).top() - rise_), text);
    }

private:
    QFont font_{QStringLiteral("DejaVu Sans")};
    int rise_;
};

// A button on a long column in a scroll view.
QPushButton* scrolledButton(QWidget* screen) {
    auto* scroll = new QScrollArea(screen);
    scroll->setGeometry(0, 0, 300, 200);
    scroll->setWidgetResizable(true);
    auto* content = new QWidget;
    content->setMinimumHeight(600);
    auto* button = new QPushButton(QStringLiteral("Réessayer"), content);
    button->setObjectName(QStringLiteral("retryButton"));
    button->setGeometry(20, 500, 120, 30);
    scroll->setWidget(content);
    return button;
}

struct Case {
    const char* name;
    std::function<void(QWidget&)> build;
    std::set<std::string> rules; // the rules broken
    LayoutCheckOptions options = {};
};

TEST(LayoutCheck, EachRuleFiresOnTheScreenThatBreaksItAndOnlyThere) {
    using namespace LayoutRule;
    const Case cases[] = {
        {"a clean column", [](QWidget& s) {
             label(QStringLiteral("Réglages — Ça marche"), &s, {10, 10, 280, 24});
             label(QStringLiteral("Évitez l'écriture…"), &s, {10, 40, 280, 24});
             (new QPushButton(QStringLiteral("Retour"), &s))->setGeometry(10, 80, 100, 30);
         }, {}},
        {"two labels laid over each other", [](QWidget& s) {
             label(QStringLiteral("MOTEUR / CONDUITE"), &s, {10, 10, 200, 24});
             label(QStringLiteral("MOYEN"), &s, {120, 10, 80, 24});
         }, {textsOverlap, widgetsOverlap}},
        {"a box taller than the text but cut by the next one", [](QWidget& s) {
             label(QStringLiteral("Haut"), &s, {10, 10, 100, 40});
             label(QStringLiteral("Bas"), &s, {10, 40, 100, 20});
         }, {widgetsOverlap}},
        {"a symbol button over a text", [](QWidget& s) {
             label(QStringLiteral("OSKAVEL CAR"), &s, {20, 10, 200, 24});
             (new QPushButton(&s))->setGeometry(10, 8, 29, 29);
         }, {widgetsOverlap}},
        {"an accent above a box cut at the capitals' height", [](QWidget& s) {
             label(QStringLiteral("ARRIÈRE"), &s, {10, 10, 200, 9}, 12);
         }, {textCut}},
        {"an accent one pixel over the top", [](QWidget& s) { (new RaisedText(1, &s))->setGeometry(10, 10, 200, 20); },
         {textCut}},
        {"an accent on the top edge", [](QWidget& s) { (new RaisedText(0, &s))->setGeometry(10, 10, 200, 20); }, {}},
        {"a text wider than its box", [](QWidget& s) {
             label(QStringLiteral("Module de porte conducteur"), &s, {10, 10, 60, 24});
         }, {textCut}},
        {"a text cut with an ellipsis", [](QWidget& s) {
             label(QStringLiteral("Module de porte co…"), &s, {10, 10, 60, 24});
         }, {}},
        {"a sign the font lacks", [](QWidget& s) {
             label(QStringLiteral("\u26D4\uFE0F INTERDIT"), &s, {10, 10, 200, 24});
         }, {missingGlyph}},
        {"selectors and joiners, drawn as nothing", [](QWidget& s) {
             label(QStringLiteral("\u26A0\uFE0E Attention\u200B\u00AD"), &s, {10, 10, 200, 24});
         }, {}},
        {"cached texts laid over each other", [](QWidget& s) {
             (new CachedPair({40, 22}, &s))->setGeometry(0, 0, 200, 40);
         }, {textsOverlap}},
        {"cached texts apart", [](QWidget& s) {
             (new CachedPair({110, 20}, &s))->setGeometry(0, 0, 200, 40);
         }, {}},
        {"a button across the window's bottom", [](QWidget& s) {
             (new QPushButton(QStringLiteral("Retour"), &s))->setGeometry(10, 190, 100, 30);
         }, {buttonOutOfReach, textCut}},
        {"a button below the window", [](QWidget& s) {
             (new QPushButton(QStringLiteral("Retour"), &s))->setGeometry(10, 230, 100, 30);
         }, {buttonOutOfReach, textCut}},
        {"a button in a container folded to nothing", [](QWidget& s) {
             auto* dock = new QWidget(&s);
             dock->setGeometry(0, 0, 0, 200);
             (new QPushButton(QStringLiteral("Retour"), dock))->setGeometry(10, 10, 100, 30);
         }, {}},
        {"a button a scroll view can bring into view", [](QWidget& s) { scrolledButton(&s); }, {}},
        {"the same button, to be seen without scrolling", [](QWidget& s) { scrolledButton(&s); },
         {buttonNeedsScrolling}, {.shownWithoutScrolling = {QStringLiteral("retryButton")}}},
    };
    for (const Case& c : cases) {
        QWidget screen;
        screen.resize(300, 200);
        c.build(screen);
        screen.show();
        QApplication::processEvents();
        std::set<std::string> fired;
        const auto faults = checkLayout(screen, c.options);
        for (const LayoutFault& f : faults) fired.insert(f.rule);
        EXPECT_EQ(fired, c.rules) << c.name << "\n" << layoutReport(QString::fromUtf8(c.name), screen, faults);
    }
}

TEST(LayoutCheck, EachFaultNamesTheScreenItsSizeTheRuleAndTheText) {
    QWidget screen;
    screen.resize(300, 200);
    label(QStringLiteral("\u26D4 INTERDIT"), &screen, {10, 10, 200, 24});
    screen.show();
    QApplication::processEvents();
    const auto faults = checkLayout(screen);
    ASSERT_EQ(faults.size(), 1u);
    const std::string report = layoutReport(QStringLiteral("layout-300x200-sheet"), screen, faults);
    for (const char* part : {"layout-300x200-sheet", "300x200", LayoutRule::missingGlyph, "\u26D4 INTERDIT", "U+26D4"}) {
        EXPECT_NE(report.find(part), std::string::npos) << part << " in " << report;
    }
}

// The components that keep texts in images paint them again for the recorder, where they show.
TEST(LayoutCheck, TheTextsComponentsKeepInImagesAreReadWhereTheyShow) {
    const auto qs = [](const char* text) { return QString::fromUtf8(text); };
    struct Component {
        const char* name;
        std::function<QWidget*()> make;
        std::vector<QString> texts; // among those read
    };
    const Component components[] = {
        {"value tile", [&] { return new ValueTileView(ValueTile{qs("Charge"), qs("13.7"), qs("%")}); },
         {qs("CHARGE"), qs("13.7")}},
        {"live-data row", [&] { return new LiveDataRowView(LiveDataRow{qs("Régime moteur"), {qs("761")}, qs("tr/min"), {}, {}}); },
         {qs("Régime moteur"), qs("tr/min"), qs("761")}},
        {"tachometer", [&] {
             auto* hero = new HeroTachometer(HeroReadout::cockpit);
             CircularGauge dial{2450, GaugeScale::defaultFor(0x0C), qs("Régime ×1000"), {}};
             dial.showValue = false;
             hero->setReading({dial, 87, qs("km/h"), false}, QColor(Qt::cyan));
             return hero;
         }, {qs("RÉGIME ×1000"), qs("0"), qs("7"), qs("87"), qs("km/h")}}, // the speed, 87, is kept as an image too
        {"gear strip", [&] {
             auto* strip = new GearStripView(GearStripView::cockpit);
             strip->setContent({6, std::nullopt, InstrumentReadings::GearSource::none, QColor(Qt::cyan)});
             return strip;
         }, {qs("RAPPORT"), qs("R"), qs("6")}},
    };
    for (const Component& c : components) {
        std::unique_ptr<QWidget> widget(c.make());
        widget->resize(900, 300);
        widget->show();
        QApplication::processEvents();
        std::vector<QString> read;
        for (const RecordedText& t : paintedTexts(*widget)) {
            EXPECT_TRUE(QRectF(widget->rect()).contains(t.bounds)) << c.name << ": " << t.text.toStdString();
            read.push_back(t.text);
        }
        for (const QString& text : c.texts) {
            EXPECT_NE(std::find(read.begin(), read.end(), text), read.end()) << c.name << ": " << text.toStdString();
        }
    }
}

} // namespace
} // namespace veq::testing
