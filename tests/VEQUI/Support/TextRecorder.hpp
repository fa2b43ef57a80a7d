#pragma once

#include <QFont>
#include <QPaintDevice>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QWidget;

// Reading back the texts a widget paints: a paint device whose engine draws nothing and records
// every text item handed to it with its font, its glyph bounds and the clip it was painted under.
namespace veq::testing {

struct RecordedText {
    QString text;
    QFont font;
    QRectF bounds;              // glyph bounds, accents included, in the device's coordinates
    std::optional<QRectF> clip; // the painter's clip, when it had one, in the device's coordinates
};

class TextRecorder : public QPaintDevice {
public:
    explicit TextRecorder(QSize size);
    ~TextRecorder() override;

    QPaintEngine* paintEngine() const override;
    const std::vector<RecordedText>& texts() const;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    QSize size_;
    std::unique_ptr<Engine> engine_;
};

// The texts `widget` paints itself (its children not included), the texts it keeps in cached
// images included, in the widget's coordinates.
std::vector<RecordedText> paintedTexts(QWidget& widget);

} // namespace veq::testing
