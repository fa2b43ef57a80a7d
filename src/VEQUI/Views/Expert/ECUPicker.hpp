#pragma once

#include <QComboBox>
#include <QString>

namespace veq {

// The scanner's picker of ECUs: its shown entry always ends with the header it selects, however
// long the ECU's name.
class ECUPicker : public QComboBox {
public:
    using QComboBox::QComboBox;

    // The style draws a picker's entry this many pixels in from each side of its field.
    static constexpr int textInset = 1;

    // The selected entry as drawn at the picker's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int textWidth(const QStyleOptionComboBox& option) const;
};

} // namespace veq
