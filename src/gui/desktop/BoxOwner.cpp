#include "gui/desktop/BoxOwner.h"

#include <QApplication>
#include <QWidget>

namespace grize {

QWidget* messageBoxOwner() {
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowType() == Qt::Window) {
            return window;
        }
    }
    return nullptr;
}

}  // namespace grize
