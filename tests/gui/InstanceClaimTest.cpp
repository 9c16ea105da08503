// The single-instance claim on Windows, a named mutex: a refused start must
// not keep it alive.
#include <QObject>
#include <QTest>

#include "TestRegistry.h"
#include "gui/QtWindowServices.h"

using namespace grize;

class InstanceClaimTest : public QObject {
    Q_OBJECT

  private slots:
    void onlyTheFirstInstanceRuns() {
        auto first = std::make_unique<QtWindowServices>("");
        QVERIFY(!first->otherInstanceRunning());
        QtWindowServices second("");
        QVERIFY(second.otherInstanceRunning());
        first.reset();
        QtWindowServices third("");
        QVERIFY(!third.otherInstanceRunning());
    }
};

GRIZE_APP_TEST(InstanceClaimTest);

#include "InstanceClaimTest.moc"
