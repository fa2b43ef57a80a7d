#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

class QWidget;

// Texts whose width is the layout's to give: wrapped onto as many lines as that width needs, or
// kept on one line and ended with "…".
namespace veq {

// Wraps within whatever width its layout gives it (its height follows that width); never cut.
QLabel* makeFlowingLabel(const QString& text, const QFont& font, const QColor& colour, const QString& objectName,
                         QWidget* parent = nullptr);

// One line of text that ends in "…" when its width is too short; text() keeps the whole text.
class ElidedLabel : public QLabel {
public:
    ElidedLabel(const QString& text, const QFont& font, const QColor& colour, const QString& objectName,
                QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The line as drawn at the label's present width.
    QString shownText() const;
};

} // namespace veq
