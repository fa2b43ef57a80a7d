#pragma once

#include <QColor>

// The fixed dark palette of every screen. Each colour is made once, on first use from any
// thread, and shared; all are sRGB and opaque.
namespace veq::VEQ {

const QColor& background();    // window and screen backgrounds
const QColor& surface1();      // cards and tiles, gauge hub
const QColor& surface2();      // gauge tracks, inner panels
const QColor& stroke();        // borders, unlit lamps
const QColor& accent();        // the day accent
const QColor& nightAccent();   // the accent in night mode: the warning colour itself
const QColor& warning();       // warning zone, estimated values
const QColor& critical();      // faults, critical zone, refusals
const QColor& confirm();       // success, valid state
const QColor& textPrimary();   // values and main text
const QColor& textSecondary(); // labels, captions, missing values

} // namespace veq::VEQ
