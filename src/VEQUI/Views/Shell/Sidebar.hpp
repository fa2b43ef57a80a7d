#pragma once

#include "VEQUI/Model/AppSection.hpp"

#include <QAbstractButton>
#include <QColor>
#include <QWidget>

#include <vector>

class QLabel;

namespace veq {

class PlainButton;

// One section of the sidebar: its icon and title, on the accent while it is the chosen one.
class SidebarRow : public QAbstractButton {
public:
    explicit SidebarRow(AppSection section, QWidget* parent = nullptr);

    AppSection section() const { return section_; }
    void setSelected(bool selected);
    bool isSelected() const { return selected_; }
    void setAccent(const QColor& accent);
    const QColor& accent() const { return accent_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AppSection section_;
    bool selected_ = false;
    QColor accent_;
};

// The live interface's left column: the brand, one row per built section, and the footer
// actions (full-screen gauges, hide the menu, disconnect) at the bottom.
class Sidebar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 210;

    explicit Sidebar(const std::vector<AppSection>& sections, QWidget* parent = nullptr);

    void setSelected(AppSection section);
    void setAccent(const QColor& accent);

    const std::vector<SidebarRow*>& rows() const { return rows_; }

Q_SIGNALS:
    void sectionChosen(AppSection section);
    void fullScreenRequested();
    void hideRequested();
    void disconnectRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* brand_;
    std::vector<SidebarRow*> rows_;
    PlainButton* fullScreen_;
};

} // namespace veq
