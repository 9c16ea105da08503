// Prints the X clipboard's text: the Xvfb test copies a message box's text
// with Ctrl+C and reads it back here.
#include <QClipboard>
#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QTextStream(stdout) << QGuiApplication::clipboard()->text();
    return 0;
}
