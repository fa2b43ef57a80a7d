#pragma once

#include <QComboBox>
#include <QFontMetrics>
#include <QString>

namespace veq {

// "Module de porte conducteur · 7B2" within `width`: the ECU's name gives up its last letters
// for "…", the header after the last " · " stays whole.
QString fitKeepingHeader(const QString& entry, const QFontMetrics& metrics, int width);

// The scanner's picker of ECUs: its shown entry always ends with the header it selects, however
// long the ECU's name.
class ECUPicker : public QComboBox {
public:
    using QComboBox::QComboBox;

    // The selected entry as drawn at the picker's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int textWidth(const QStyleOptionComboBox& option) const;
};

} // namespace veq
