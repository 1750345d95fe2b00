// The probe dialog taken down with the focus in each of its boxes, built with the address and
// undefined-behaviour sanitizers: the focus moves while the dialog is hidden and destroyed, and any
// handler that then reaches a destroyed member stops this program with a report.

#include "RecordingPrompter.h"
#include "probe/ProbeDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace regprobe;

class ProbeTeardownTest : public QObject {
    Q_OBJECT

private slots:
    void teardownWithAFocusedBox_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("closedFirst"); // closed by the user, then destroyed
        for (const char* box :
             {"portCombo", "baudCombo", "dataBitsCombo", "stopBitsCombo", "parityCombo"}) {
            QTest::addRow("%s, destroyed while shown", box) << QString(box) << false;
            QTest::addRow("%s, closed first", box) << QString(box) << true;
        }
    }
    void teardownWithAFocusedBox() {
        QFETCH(QString, box);
        QFETCH(bool, closedFirst);
        probetest::RecordingPrompter prompter;
        // Opened and closed a few times, as a user does; each round must leave nothing behind.
        for (int round = 0; round < 3; ++round) {
            auto* dialog = new ProbeDialog(&prompter);
            dialog->show();
            QApplication::setActiveWindow(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            auto* combo = dialog->findChild<QComboBox*>(box);
            QVERIFY(combo);
            combo->setFocus();
            QTRY_VERIFY(combo->hasFocus());
            // A text typed but not yet taken over, as when the user closes in mid-choice.
            combo->lineEdit()->setText(combo->itemText(combo->count() - 1));
            if (closedFirst) {
                dialog->close();
                QVERIFY(!dialog->isVisible());
            }
            delete dialog;
            QCoreApplication::processEvents();
        }
        QVERIFY(prompter.messages.isEmpty());
    }
};

QTEST_MAIN(ProbeTeardownTest)
#include "tst_probeteardown.moc"
