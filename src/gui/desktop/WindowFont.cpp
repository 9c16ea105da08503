#include "gui/desktop/WindowFont.h"

#include <QString>

#include "gui/desktop/DesktopServices.h"

namespace grize {

QFont windowFont(double points, bool bold) {
    QFont font(QString::fromStdString(windowFontFamily()));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}  // namespace grize
