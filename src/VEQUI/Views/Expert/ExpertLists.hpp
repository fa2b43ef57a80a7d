#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <string>

class QLayout;
class QScrollArea;
class QVBoxLayout;

// Pieces shared by the expert screens' lists.
namespace veq::ExpertLists {

QColor withOpacity(QColor color, double opacity);

// Takes a part off the screen now and deletes it once the event loop runs again: one of its
// buttons may be the one whose click led to its replacement.
void retire(QWidget* part);
// Puts `fresh` where `part` stands in `layout`, retires the old one and keeps the new one.
void replacePart(QLayout* layout, QWidget*& part, QWidget* fresh);
// The same once there is a part; before the first one, adds `fresh` at the end of `column` with
// `stretch`.
void showPart(QVBoxLayout* column, QWidget*& part, QWidget* fresh, int stretch);

// A plain widget drawn on one fill, for the bars of the screens.
QWidget* makeFilled(const QString& name, const QColor& fill);

// The line under each row of a list: the stroke at 40 %.
QWidget* makeRowDivider();

// The bar that opens the "Sauvegardes" and "Journal" tabs: a symbol in the accent, a sentence,
// and a file-manager button on the right.
QWidget* makeInfoBar(const QString& name, std::string symbol, const QColor& accent, const QString& text,
                     QWidget* button);

// The centred empty state of a list: a symbol, a title and, when given, a dimmer line.
QWidget* makeEmptyState(std::string symbol, int symbolSize, const QString& title, int titleSize,
                        const QString& detail = {});

// A scroll view whose content is a column in `column`, transparent over the screen; its scroll bar
// shows only while the column is taller than the view.
QScrollArea* makeScroll(const QString& name, QVBoxLayout*& column, int margin, int spacing);

} // namespace veq::ExpertLists
