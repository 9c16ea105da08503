// The least a Qt Widgets program does to show a window: what the window
// start-up benchmark holds Grize against. Built twice: empty, and with one
// label, which shows what the first text costs (loading the fonts).
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.resize(236, 131);
#ifdef GRIZE_MINIMAL_WITH_TEXT
    QLabel label(QStringLiteral("Password:"), &window);
#endif
    window.show();
    return QApplication::exec();
}
