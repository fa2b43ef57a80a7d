#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

namespace veq {

// A text wrapped within the width its layout gives it, shown on at most `maximumLines` lines;
// the last line shown ends in "…" when the text goes on. text() keeps the whole text.
class ClampedText : public QWidget {
public:
    ClampedText(const QString& text, const QFont& font, const QColor& colour, int maximumLines,
                const QString& objectName = {}, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    const QColor& colour() const { return colour_; }
    // The lines shown at `width`, the last one elided when the text is cut.
    QStringList shownLines(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor colour_;
    int maximumLines_;
};

} // namespace veq
