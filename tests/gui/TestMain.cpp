#include <QApplication>
#include <QStyle>
#include <QTest>
#include <cstring>

#include "TestRegistry.h"
#include "gui/WindowAccessibility.h"

// Runs every registered test class, or only the one named first:
//   app_tests [ClassName] [Qt Test options]
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setQuitOnLastWindowClosed(false);
    // As the program does in main.
    grize::installWindowAccessibility();

    const char* only = nullptr;
    if (argc > 1 && argv[1][0] != '-') {
        only = argv[1];
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    int failed = 0;
    bool ran = false;
    for (const auto& entry : grize::test::registry()) {
        if (only != nullptr && std::strcmp(only, entry.name) != 0) {
            continue;
        }
        ran = true;
        auto test = entry.make();
        failed += QTest::qExec(test.get(), argc, argv);
    }
    if (!ran) {
        qCritical("no test class named %s", only);
        return 1;
    }
    return failed == 0 ? 0 : 1;
}
