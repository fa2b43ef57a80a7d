#include "VEQUI/Views/Kit/SidebarButtonInset.hpp"

#include "VEQUI/Model/AppModel.hpp"

#include <QWidget>

namespace veq::SidebarButtonInset {

int of(const AppModel& model) { return model.sidebarHidden() ? cornerMargin + buttonSide : 0; }

void follow(AppModel& model, QWidget& header) {
    const auto apply = [&model, &header] {
        QMargins margins = header.contentsMargins();
        margins.setLeft(of(model));
        header.setContentsMargins(margins);
    };
    apply();
    QObject::connect(&model, &AppModel::sidebarHiddenChanged, &header, apply);
}

} // namespace veq::SidebarButtonInset
