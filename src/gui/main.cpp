#include <QApplication>
#include <QStyle>
#include <cstdlib>
#include <string>
#include <thread>

#include "gui/MainWindow.h"
#include "gui/Platform.h"
#include "gui/QtWindowServices.h"
#include "gui/WindowAccessibility.h"
#include "gui/desktop/DesktopServices.h"
#include "gui/desktop/WindowFont.h"
#include "gui/settings/QtWindowSettings.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/Interrupts.h"

int main(int argc, char** argv) {
    // An interruption removes the scratch files of a run under way; first,
    // before Qt starts threads of its own.
    grize::installInterruptCleanupThread();
    std::thread fonts = grize::preloadFonts();
    // The whole argument text is the target path: Qt must not take any of it
    // for an option of its own (a file named "-reverse", say).
    std::string commandLine = grize::commandLineText(argc, argv);
    const std::string platform(
        grize::preferredPlatform(std::getenv("QT_QPA_PLATFORM"), std::getenv("XDG_SESSION_TYPE"),
                                 std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY")));
    if (!platform.empty()) {
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    // The layout is fixed to the pixel: one style and its light palette on
    // every desktop.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setFont(grize::windowFont());
    if (fonts.joinable()) {
        fonts.join();
    }

    grize::installWindowAccessibility();
    grize::QtWindowServices services(std::move(commandLine));
    grize::QtWindowSettings settings;
    grize::MainWindow window(services, settings, grize::defaultFileSystem());
    if (!window.start()) {
        return 0;
    }
    return QApplication::exec();
}
