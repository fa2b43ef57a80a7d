// The layout check itself, on tiny screens built to break one rule each, and on one that breaks
// none: each rule fires where it must and nowhere else.
#include "VEQUI/Support/LayoutCheck.hpp"
#include "VEQUI/Support/TextRecorder.hpp"

#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
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

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace veq::testing {
namespace {

void label(const QString& text, QWidget* parent, QRect geometry) {
    auto* l = new QLabel(text, parent);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    l->setFont(font);
    l->setGeometry(geometry);
}

// Paints its texts, 10 px bold at their baselines, only into an image as the gauges keep their
// numerals, and again for the recorder.
class CachedTextsAt : public QWidget, public CachedTexts {
public:
    CachedTextsAt(std::vector<std::pair<QPointF, QString>> texts, QWidget* parent) : QWidget(parent), texts_(std::move(texts)) {}
    void paintCachedTexts(QPainter& painter) const override {
        painter.setFont(font());
        for (const auto& [baseline, text] : texts_) painter.drawText(baseline, text);
    }
    static QFont font() {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(10);
        font.setBold(true);
        return font;
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
    std::vector<std::pair<QPointF, QString>> texts_;
};

// "ARRIÈRE" painted `rise` pixels higher than its glyphs' top on its own top edge.
QWidget* raisedText(int rise, QWidget* parent) {
    const QString text = QStringLiteral("ARRI\u00C8RE");
    const double top = QFontMetricsF(CachedTextsAt::font()).tightBoundingRect(text).top();
    return new CachedTextsAt({{QPointF(4, -top - rise), text}}, parent);
}

// "Premier" and "Second", the second at `second`.
QWidget* textPair(QPointF second, QWidget* parent) {
    return new CachedTextsAt({{QPointF(10, 20), QStringLiteral("Premier")}, {second, QStringLiteral("Second")}}, parent);
}

// A button on a long column in a scroll view.
void scrolledButton(QWidget* screen, QRect geometry) {
    auto* scroll = new QScrollArea(screen);
    scroll->setGeometry(geometry);
    scroll->setWidgetResizable(true);
    auto* content = new QWidget;
    content->setMinimumHeight(600);
    auto* button = new QPushButton(QStringLiteral("Réessayer"), content);
    button->setObjectName(QStringLiteral("retryButton"));
    button->setGeometry(20, 500, 120, 30);
    scroll->setWidget(content);
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
        {"the near miss of every rule", [](QWidget& s) {
             label(QStringLiteral("Réglages — Ça marche"), &s, {10, 10, 280, 24});
             label(QStringLiteral("Module de porte co…"), &s, {10, 70, 60, 24}); // cut, with an ellipsis
             (new QPushButton(QStringLiteral("Retour"), &s))->setGeometry(10, 100, 100, 30);
             label(QStringLiteral("\u26A0\uFE0E Attention\u200B\U000E0001"), &s, {120, 100, 170, 24}); // drawn as nothing; the font lacks the last
             raisedText(0, &s)->setGeometry(10, 140, 200, 20); // an accent on the top edge
             textPair({110, 20}, &s)->setGeometry(0, 165, 200, 40);
             auto* dock = new QWidget(&s); // folded to nothing
             dock->setGeometry(0, 0, 0, 200);
             (new QPushButton(QStringLiteral("Retour"), dock))->setGeometry(10, 10, 100, 30);
             scrolledButton(&s, {220, 130, 170, 150}); // a scroll view can bring it into view
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
        {"an accent one pixel over the top", [](QWidget& s) { raisedText(1, &s)->setGeometry(10, 10, 200, 20); },
         {textCut}},
        {"a text wider than its box", [](QWidget& s) {
             label(QStringLiteral("Module de porte conducteur"), &s, {10, 10, 60, 24});
         }, {textCut}},
        {"a sign the font lacks", [](QWidget& s) {
             label(QStringLiteral("\u26D4\uFE0F INTERDIT"), &s, {10, 10, 200, 24});
         }, {missingGlyph}},
        {"cached texts laid over each other", [](QWidget& s) { textPair({40, 22}, &s)->setGeometry(0, 0, 200, 40); },
         {textsOverlap}},
        {"a button across the window's bottom", [](QWidget& s) {
             (new QPushButton(QStringLiteral("Retour"), &s))->setGeometry(10, 290, 100, 30);
         }, {buttonOutOfReach, textCut}},
        {"a button in a scroll view, to be seen without scrolling", [](QWidget& s) { scrolledButton(&s, s.rect()); },
         {buttonNeedsScrolling}, {.shownWithoutScrolling = {QStringLiteral("retryButton")}}},
    };
    for (const Case& c : cases) {
        QWidget screen;
        screen.resize(400, 300);
        c.build(screen);
        screen.show();
        QApplication::processEvents();
        std::set<std::string> fired;
        const auto faults = checkLayout(screen, c.options);
        for (const LayoutFault& f : faults) fired.insert(f.rule);
        EXPECT_EQ(fired, c.rules) << c.name << "\n" << layoutReport(QString::fromUtf8(c.name), screen, faults);
    }
}

// The components that keep texts in images paint them again for the recorder, where they show.
TEST(LayoutCheck, TheTextsComponentsKeepInImagesAreReadWhereTheyShow) {
    const auto qs = [](const char* text) { return QString::fromUtf8(text); };
    struct Component {
        const char* name;
        std::function<QWidget*()> make;
        std::vector<QString> texts; // among those read
        std::vector<QString> once = {}; // read exactly once, whether drawn or kept as an image
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
        {"gauge", [&] {
             return new CircularGaugeView(CircularGauge{37.3, GaugeScale::defaultFor(0x05), qs("Eau"), qs("°C")});
         }, {}, {qs("EAU"), qs("37.3"), qs("°C")}}, // the value and unit are blitted from images
        {"gear strip", [&] {
             auto* strip = new GearStripView(GearStripView::cockpit);
             strip->setContent({6, std::nullopt, InstrumentReadings::GearSource::none, QColor(Qt::cyan)});
             return strip;
         }, {qs("RAPPORT"), qs("R"), qs("6")}},
        {"gear strip halfway from third to fourth", [&] {
             auto* strip = new GearStripView(GearStripView::cockpit);
             strip->setFrameClock([] {}); // frames stepped here only
             GearStripView::Content content{6, TransmissionGear::forward(3), InstrumentReadings::GearSource::read,
                                            QColor(Qt::cyan)};
             strip->setContent(content);
             content.gear = TransmissionGear::forward(4);
             strip->setContent(content);
             for (int frame = 0; frame < 4; ++frame) strip->advanceFrame();
             return strip;
         }, {qs("R"), qs("6")}, {qs("3"), qs("4")}}, // the boxes over the unlit row hide its labels
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
        for (const QString& text : c.once) {
            EXPECT_EQ(std::count(read.begin(), read.end(), text), 1) << c.name << ": " << text.toStdString();
        }
    }
}

} // namespace
} // namespace veq::testing
