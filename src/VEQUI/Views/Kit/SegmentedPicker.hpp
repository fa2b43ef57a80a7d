#pragma once

#include "VEQUI/Views/Kit/RoundedPanel.hpp"

#include <QFont>
#include <QString>
#include <QStringList>

#include <functional>

class QButtonGroup;
class QPushButton;

namespace veq {

// A row of exclusive segments on a rounded track, the first selected at the start: the terminal's
// modes, the expert's tabs.
class SegmentedPicker : public RoundedPanel {
public:
    // What differs between the screens' pickers; the track and the colours do not.
    struct Look {
        QString name;        // the track's object name
        QString segmentName; // each segment's
        QFont font;
        int horizontalPadding; // on each side of a title
        int cornerRadius;      // of the selected segment
    };

    SegmentedPicker(const QStringList& titles, int width, const Look& look, QWidget* parent = nullptr);

    int currentIndex() const;
    void setCurrentIndex(int index);
    QPushButton* segment(int index) const;
    // Runs on every choice made by the user or by setCurrentIndex.
    std::function<void(int)> onChange;

private:
    QButtonGroup* group_;
};

} // namespace veq
