#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace grize {

// A picture drawn at 1x and again at 2x (NAME.xpm and NAME@2x.xpm, made by
// draw_pictures.py), compiled in as XPM data.
struct Picture {
    const char* const* normal;
    const char* const* twice;
};

// Qt takes the drawing that fits the screen's pixel ratio instead of
// enlarging the small one. QImage reads XPM data itself; going through
// QImageReader would first look up every image plugin on the system, which
// cost the window's start a few milliseconds.
inline QIcon sharpPicture(const Picture& picture) {
    QIcon icon(QPixmap::fromImage(QImage(picture.normal)));
    QImage twice(picture.twice);
    twice.setDevicePixelRatio(2);
    icon.addPixmap(QPixmap::fromImage(twice));
    return icon;
}

}  // namespace grize
