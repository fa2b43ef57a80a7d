#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;

namespace veq {

// The bar that opens a diagnostics screen: its title on the left and a short summary on the
// right, on the raised surface.
class HeaderBar : public QWidget {
public:
    // The title is named "headerTitle", the summary `summaryName`.
    HeaderBar(const QString& title, const QString& summaryName, QWidget* parent = nullptr);

    void setSummary(const QString& text, const QColor& color);
    QLabel* summary() const { return summary_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* summary_;
};

} // namespace veq
