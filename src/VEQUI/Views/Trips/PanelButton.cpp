#include "VEQUI/Views/Trips/PanelButton.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QPushButton>

namespace veq {

QPushButton* makePanelButton(const QString& title, const QString& objectName) {
    auto* button = new QPushButton(title);
    button->setObjectName(objectName);
    button->setFont(VEQ::label(12, QFont::DemiBold));
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton{background:%1;color:%2;border:1px solid %3;border-radius:6px;"
                                         "padding:5px 6px;}QPushButton:pressed{background:%3;}"
                                         "QPushButton:disabled{color:%4;}")
                              .arg(VEQ::surface2().name(), VEQ::textPrimary().name(), VEQ::stroke().name(),
                                   VEQ::textSecondary().name()));
    return button;
}

} // namespace veq
