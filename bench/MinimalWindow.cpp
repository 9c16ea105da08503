// The least a Qt Widgets program does to show a window: what the window
// start-up benchmark holds Grize against.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.resize(236, 131);
    window.show();
    return QApplication::exec();
}
