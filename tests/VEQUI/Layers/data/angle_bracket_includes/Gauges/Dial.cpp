#include <QWidget>
#include <VEQUI/Views/Shell/MainWindow.hpp>
