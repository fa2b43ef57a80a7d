#include "VEQUI/Views/Shell/MainWindow.hpp"

#include "VEQUI/Views/Shell/RootView.hpp"

namespace veq {

MainWindow::MainWindow(AppModel::Environment environment, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Oskavel Car"));
    root_ = new RootView(std::move(environment));
    setCentralWidget(root_);
    setMinimumSize(RootView::kMinimumSize);
    resize(kDefaultSize);
}

} // namespace veq
