#pragma once

#include "VEQUI/Model/AppModel.hpp"

#include <QMainWindow>

namespace veq {

class RootView;

// The application's one window, "Oskavel Car": 1280 x 800 at first, never smaller than the root
// view's 1080 x 680, with the root view as its whole content.
class MainWindow : public QMainWindow {
public:
    static constexpr QSize kDefaultSize{1280, 800};

    explicit MainWindow(AppModel::Environment environment = AppModel::Environment::standard(),
                        QWidget* parent = nullptr);

    RootView& rootView() const { return *root_; }

private:
    RootView* root_;
};

} // namespace veq
