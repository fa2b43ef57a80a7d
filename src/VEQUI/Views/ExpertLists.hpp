#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <string>

class QScrollArea;
class QVBoxLayout;

// Pieces shared by the expert screens' lists.
namespace veq::ExpertLists {

QColor withOpacity(QColor color, double opacity);

// The bar that opens the "Sauvegardes" and "Journal" tabs: a symbol in the accent, a sentence,
// and a file-manager button on the right.
QWidget* makeInfoBar(const QString& name, std::string symbol, const QColor& accent, const QString& text,
                     QWidget* button);

// The centred empty state of a list: a symbol, a title and, when given, a dimmer line.
QWidget* makeEmptyState(std::string symbol, int symbolSize, const QString& title, int titleSize,
                        const QString& detail = {});

// A scroll view whose content is a column in `column`, transparent over the screen.
QScrollArea* makeScroll(const QString& name, QVBoxLayout*& column, int margin, int spacing);

} // namespace veq::ExpertLists
