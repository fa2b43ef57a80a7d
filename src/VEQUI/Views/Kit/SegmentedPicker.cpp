#include "VEQUI/Views/Kit/SegmentedPicker.hpp"

#include "VEQUI/Model/VEQTheme.hpp"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

namespace veq {

SegmentedPicker::SegmentedPicker(const QStringList& titles, int width, const Look& look, QWidget* parent)
    : RoundedPanel(8, VEQ::surface2(), parent), group_(new QButtonGroup(this)) {
    setObjectName(look.name);
    setFixedWidth(width);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    const QString style = QStringLiteral("QPushButton{background:transparent;color:%1;border:none;border-radius:%4px;"
                                         "padding:3px %5px;}QPushButton:checked{background:%2;color:%3;}")
                              .arg(VEQ::textSecondary().name(), VEQ::stroke().name(), VEQ::textPrimary().name())
                              .arg(look.cornerRadius)
                              .arg(look.horizontalPadding);
    // One sheet for the track: its rules reach every segment.
    setStyleSheet(style);
    for (int i = 0; i < titles.size(); ++i) {
        auto* button = new QPushButton(titles[i]);
        button->setObjectName(look.segmentName);
        button->setCheckable(true);
        button->setFont(look.font);
        button->setCursor(Qt::PointingHandCursor);
        group_->addButton(button, i);
        row->addWidget(button, 1);
    }
    if (!titles.isEmpty()) group_->button(0)->setChecked(true);
    connect(group_, &QButtonGroup::idClicked, this, [this](int index) {
        if (onChange) onChange(index);
    });
}

int SegmentedPicker::currentIndex() const { return group_->checkedId(); }

void SegmentedPicker::setCurrentIndex(int index) {
    if (QAbstractButton* button = group_->button(index)) {
        button->setChecked(true);
        if (onChange) onChange(index);
    }
}

QPushButton* SegmentedPicker::segment(int index) const { return qobject_cast<QPushButton*>(group_->button(index)); }

} // namespace veq
