#include "gui/WindowAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "gui/MainWindow.h"

namespace grize {

namespace {

QAccessibleInterface* windowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(MainWindow::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
    }
    return nullptr;
}

}  // namespace

void installWindowAccessibility() {
    QAccessible::installFactory(windowAccessible);
}

}  // namespace grize
