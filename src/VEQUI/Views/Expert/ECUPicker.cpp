#include "VEQUI/Views/Expert/ECUPicker.hpp"

#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace veq {

QString fitKeepingHeader(const QString& entry, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(entry) <= width) return entry;
    const qsizetype split = entry.lastIndexOf(QStringLiteral(" \u00B7 "));
    if (split < 0) return metrics.elidedText(entry, Qt::ElideRight, width);
    const QString header = entry.mid(split);
    const int room = width - metrics.horizontalAdvance(header);
    if (room < metrics.horizontalAdvance(QStringLiteral("\u2026"))) return metrics.elidedText(entry, Qt::ElideRight, width);
    return metrics.elidedText(entry.left(split), Qt::ElideRight, room) + header;
}

int ECUPicker::textWidth(const QStyleOptionComboBox& option) const {
    // The style draws the entry one pixel in from each side of its field.
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width() - 2;
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
