#include "VEQUI/Views/Kit/ClampedText.hpp"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace veq {

ClampedText::ClampedText(const QString& text, const QFont& font, const QColor& colour, int maximumLines,
                         const QString& objectName, QWidget* parent)
    : QWidget(parent), text_(text), colour_(colour), maximumLines_(std::max(1, maximumLines)) {
    setFont(font);
    if (!objectName.isEmpty()) setObjectName(objectName);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QStringList ClampedText::shownLines(int width) const {
    QStringList lines;
    if (text_.isEmpty() || width <= 0) return lines;
    QTextLayout layout(text_, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() + 1 == maximumLines_) {
            // The last line allowed takes the rest of the text, elided to the width.
            const QString rest = text_.mid(line.textStart()).simplified();
            lines << QFontMetrics(font()).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        lines << text_.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

int ClampedText::heightForWidth(int width) const {
    const auto count = std::max<qsizetype>(1, shownLines(width).size());
    return static_cast<int>(count) * QFontMetrics(font()).lineSpacing();
}

QSize ClampedText::sizeHint() const {
    const QFontMetrics metrics(font());
    const int width = std::min(metrics.horizontalAdvance(text_), 400);
    return {width, heightForWidth(width)};
}

QSize ClampedText::minimumSizeHint() const { return {QFontMetrics(font()).horizontalAdvance(QStringLiteral("\u2026")), QFontMetrics(font()).lineSpacing()}; }

void ClampedText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(colour_);
    const int step = QFontMetrics(font()).lineSpacing();
    int y = 0;
    for (const QString& line : shownLines(width())) {
        painter.drawText(QRect(0, y, width(), step), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += step;
    }
}

} // namespace veq
