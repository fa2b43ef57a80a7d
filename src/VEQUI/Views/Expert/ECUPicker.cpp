#include "VEQUI/Views/Expert/ECUPicker.hpp"

#include <QFontMetrics>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace veq {

namespace {

// "Module de porte conducteur · 7B2" within `width`: the ECU's name gives up its last letters
// for "…", the header after the last " · " stays whole.
QString fitKeepingHeader(const QString& entry, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(entry) <= width) return entry;
    const qsizetype split = entry.lastIndexOf(QStringLiteral(" \u00B7 "));
    if (split < 0) return metrics.elidedText(entry, Qt::ElideRight, width);
    const QString header = entry.mid(split);
    const int room = width - metrics.horizontalAdvance(header);
    if (room < metrics.horizontalAdvance(QStringLiteral("\u2026"))) return metrics.elidedText(entry, Qt::ElideRight, width);
    return metrics.elidedText(entry.left(split), Qt::ElideRight, room) + header;
}

} // namespace

int ECUPicker::textWidth(const QStyleOptionComboBox& option) const {
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    return field.width() - 2 * textInset;
}

QString ECUPicker::shownText() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return fitKeepingHeader(option.currentText, fontMetrics(), textWidth(option));
}

void ECUPicker::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = fitKeepingHeader(option.currentText, fontMetrics(), textWidth(option));
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

} // namespace veq
