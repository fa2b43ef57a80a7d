#pragma once

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Instruments/RepaintCoalescer.hpp"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class QVariantAnimation;

namespace veq {

class CircularGaugeView;
class GearStripView;
class HeroTachometer;

// The full-window instrument panel of focus mode: the hero tachometer with the road speed,
// the active layout's two flank gauges and the gear strip, large, over the carbon backdrop.
// A small hint in the top right corner tells how to leave; it fades out 3 s after the pointer
// last moved anywhere over the view (gauges included) and comes back with the next movement.
// Leaving focus mode is the root view's matter.
class GaugeFocusView : public QWidget {
public:
    static constexpr int hideDelayMilliseconds = 3000;
    static inline const QString hintText = QStringLiteral("Ctrl+Maj+F ou \u00C9chap pour quitter le plein \u00E9cran");

    explicit GaugeFocusView(AppModel& model, QWidget* parent = nullptr);

    // The hint is shown (it may still be fading in or out).
    bool showChrome() const { return showChrome_; }
    double chromeOpacity() const { return chromeOpacity_; }
    // The pending hide: single shot, started on first show and on every pointer movement.
    QTimer& hideTimer() { return hideTimer_; }

    // Needles, rolling digits, gear boxes and the hint's fades animate by default; off, changes
    // show at once.
    void setAnimated(bool animated);
    RepaintCoalescer& coalescer() { return coalescer_; }

    CircularGaugeView* leftFlank() const { return leftFlank_; }
    CircularGaugeView* rightFlank() const { return rightFlank_; }
    HeroTachometer* hero() const { return hero_; }
    GearStripView* gearStrip() const { return gearStrip_; }
    // The unit length of the layout for the view's size: min(width / 3.25, height × 0.78).
    double side() const;
    QRectF hintRect() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void placeChildren();
    void watchPointer(QObject* object);
    void pointerMoved();
    void scheduleChromeHide();
    void setChrome(bool shown, int milliseconds, QEasingCurve curve);

    AppModel& model_;
    RepaintCoalescer coalescer_;
    CircularGaugeView* leftFlank_;
    HeroTachometer* hero_;
    CircularGaugeView* rightFlank_;
    GearStripView* gearStrip_;
    QTimer hideTimer_;
    QVariantAnimation* fade_ = nullptr;
    bool showChrome_ = true;
    double chromeOpacity_ = 1;
    bool shownOnce_ = false;
    bool animated_ = true;
    QPixmap backdrop_;
};

} // namespace veq
