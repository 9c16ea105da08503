#pragma once

#include <QIcon>
#include <QString>

namespace grize {

// A picture drawn at 1x and again at 2x (NAME@2x.xpm beside NAME.xpm, both
// made by draw_pictures.py): Qt then takes the one that fits the screen's
// pixel ratio instead of enlarging the small one.
inline QIcon sharpPicture(const QString& path) {
    QIcon icon;
    icon.addFile(path);
    QString twice = path;
    twice.insert(path.lastIndexOf(QLatin1Char('.')), QLatin1String("@2x"));
    icon.addFile(twice);
    return icon;
}

}  // namespace grize
