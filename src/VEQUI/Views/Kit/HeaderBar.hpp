#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <string>
#include <string_view>

class QLabel;

namespace veq {

// The bar that opens a list screen: its title on the left (after a symbol, on screens that
// have one) and a short summary on the right, on the raised surface.
class HeaderBar : public QWidget {
public:
    // The title is named "headerTitle", the summary `summaryName`.
    HeaderBar(const QString& title, const QString& summaryName, QWidget* parent = nullptr);

    void setSummary(const QString& text, const QColor& color);
    QLabel* summary() const { return summary_; }

    // A symbol before the title, in `tint`; the first call places it.
    void setSymbol(std::string_view symbol, const QColor& tint);
    const QColor& symbolTint() const { return symbolTint_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* summary_;
    QWidget* symbol_ = nullptr;
    std::string symbolName_;
    QColor symbolTint_;
};

} // namespace veq
