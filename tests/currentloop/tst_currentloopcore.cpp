#include <QTest>
class CurrentLoopCoreTest : public QObject {
    Q_OBJECT
};
QTEST_GUILESS_MAIN(CurrentLoopCoreTest)
#include "tst_currentloopcore.moc"
